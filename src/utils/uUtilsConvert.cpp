#include "utils/uUtilsConvert.h"

#include "base/uErrors.h"

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Value of a hex digit, or -1.
int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Parses "^(\d{1,3}\.){3}\d{1,3}$" over the whole text into four numbers.
// Matched by hand: the text may be anything a user pastes, of any size.
bool ParseDotted(const std::string& text, std::array<int, 4>& parts) {
    if (text.size() > 15) // longest match: 4 x 3 digits + 3 dots
        return false;
    std::size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != '.')
                return false;
            ++pos;
        }
        int value = 0;
        std::size_t digits = 0;
        while (pos < text.size() && IsDigit(text[pos]) && digits < 3) {
            value = value * 10 + (text[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0)
            return false;
        parts[static_cast<std::size_t>(i)] = value;
    }
    return pos == text.size();
}

} // namespace

bool IsValidIP(const std::string& text) {
    std::array<int, 4> parts{};
    if (!ParseDotted(text, parts))
        return false;
    for (int p : parts)
        if (p < 0 || p > 255)
            return false;
    return true;
}

bool IsValidMAC(const std::string& text) {
    if (text.size() != 17)
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i % 3 == 2) {
            if (text[i] != '-')
                return false;
        } else if (HexValue(text[i]) < 0) {
            return false;
        }
    }
    return true;
}

bool IPToBytes(const std::string& text, std::array<std::uint8_t, 4>& bytes) {
    if (!IsValidIP(text))
        return false;
    std::array<int, 4> parts{};
    ParseDotted(text, parts);
    for (std::size_t i = 0; i < 4; ++i)
        bytes[i] = static_cast<std::uint8_t>(parts[i]);
    return true;
}

int BytesToStr(const std::uint8_t* bytes, int count, std::string& out) {
    out.clear();
    // A count below 1 would otherwise run past the bytes.
    if (bytes == nullptr || count < 1)
        return 0;
    out.assign(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(count));
    return count;
}

void HexStr2BinStr(const std::string& hex, std::string& out) {
    out.clear();
    if (hex.size() % 2 != 0)
        throw Exception("HexStr length error. (HexStr2BinStr)");
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexValue(hex[i]);
        const int low = HexValue(hex[i + 1]);
        if (high < 0 || low < 0)
            throw EConvertError("'$" + hex.substr(i, 2) + "' is not a valid integer value");
        out += static_cast<char>(high * 16 + low);
    }
}
