#pragma once
// The device list's rules that need no window: row ordering, the device kind
// of a firmware text, row marking and the production-address filter. The
// search dialog applies them; they are tested on their own.

#include "base/uAsciiText.h" // CompareText: the text comparison of the list

#include <optional>
#include <string>

// The compare functions return <0, 0 or >0 like strcmp; a text they cannot
// read is compared with CompareText.
int CompareIPAddress(const std::string& a, const std::string& b);
int CompareMACAddress(const std::string& a, const std::string& b);
int CompareFirmware(const std::string& a, const std::string& b);
// Device kind: the number in front of the first "-" of a firmware text.
std::optional<int> DeviceKindStrict(const std::string& firmware);
int DeviceKindLenient(const std::string& firmware);
// Whether a row is drawn in the normal text colour (false: dimmed).
bool IsRowActive(const std::string& firmware, const std::string& statusChar);
// Production addresses: last number in 50-75, 97-99, 101-206 or 220-243.
bool IsProductionAddress(const std::string& ip);
