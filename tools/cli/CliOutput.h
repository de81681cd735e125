#pragma once
// Rendering of a device list for the command line: an aligned table for
// people, JSON for scripts.

#include "search/uXPortSearch.h"

#include <string>
#include <vector>

// Device texts come from the network: control characters are shown as "?"
// so that a reply cannot drive the terminal.
std::string PrintableText(const std::string& text);
// A JSON string literal; bytes above 127 are taken as Latin-1 characters, so
// the output is valid UTF-8 whatever a device sends.
std::string JsonString(const std::string& text);

std::string DeviceTable(const std::vector<TXportPar>& devices);
std::string DeviceJson(const std::vector<TXportPar>& devices);
