#pragma once
// Checks and conversions of the address texts users type and the device
// protocol needs. Text and byte strings are std::string; byte strings may
// hold zero bytes.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Dotted IPv4 text: four groups of 1-3 decimal digits, each 0..255; leading
// zeros are accepted. Never raises.
bool IsValidIP(const std::string& text);

// Six pairs of hex digits (either case) joined by single hyphens. Never raises.
bool IsValidMAC(const std::string& text);

// bytes[i] := i-th dotted number. Returns false and leaves bytes unchanged when
// the text is not a valid address.
bool IPToBytes(const std::string& text, std::array<std::uint8_t, 4>& bytes);

// out := the count bytes as characters; returns how many were appended
// (0 for a count below 1 or no bytes).
int BytesToStr(const std::uint8_t* bytes, int count, std::string& out);

// out := the bytes spelled by the hex text, two digits per byte.
// Raises Exception "HexStr length error. (HexStr2BinStr)" on odd length and
// EConvertError on a pair that is not two hex digits; out then holds the
// bytes converted so far.
void HexStr2BinStr(const std::string& hex, std::string& out);

// Integers of texts that settings files, devices and users write. Each takes
// the whole text (no blanks around it) and gives nullopt for anything else,
// or for a value out of the result's range.
//
// An optional sign, then decimal digits.
std::optional<long long> ParseDecimal(std::string_view text);
// Hexadecimal digits of either case; no sign, no prefix.
std::optional<long long> ParseHex(std::string_view text);
// The settings file's integer: an optional sign, then decimal digits, or
// hexadecimal digits after "$" or "0x"; the range of a 32-bit int.
std::optional<int> StrToIntOpt(std::string_view text);
int StrToIntDef(std::string_view text, int def);
