#include "utils/uUtilsConvert.h"

#include "base/uErrors.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace {

// The value of the whole text as digits of the base: no sign, no prefix.
std::optional<unsigned long long> ParseDigits(std::string_view text, int base) {
    if (text.empty())
        return std::nullopt;
    unsigned long long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

// The magnitude with its sign, when T holds it.
template <class T>
std::optional<T> WithSign(std::optional<unsigned long long> magnitude, bool negative) {
    if (!magnitude)
        return std::nullopt;
    const auto max = static_cast<unsigned long long>(std::numeric_limits<T>::max());
    if (*magnitude > max + (negative ? 1 : 0))
        return std::nullopt;
    if (!negative || *magnitude == 0)
        return static_cast<T>(*magnitude);
    // -(m - 1) - 1: the most negative value has no positive counterpart.
    return static_cast<T>(-static_cast<T>(*magnitude - 1) - 1);
}

// Takes a leading "+" or "-" off the text; true for "-".
bool TakeSign(std::string_view& text) {
    if (text.empty() || (text.front() != '+' && text.front() != '-'))
        return false;
    const bool negative = text.front() == '-';
    text.remove_prefix(1);
    return negative;
}

// Parses "^(\d{1,3}\.){3}\d{1,3}$" over the whole text into four numbers.
// Matched by hand: the text may be anything a user pastes, of any size.
bool ParseDotted(const std::string& text, std::array<int, 4>& parts) {
    if (text.size() > 15) // longest match: 4 x 3 digits + 3 dots
        return false;
    const char* pos = text.data();
    const char* end = text.data() + text.size();
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (pos == end || *pos != '.')
                return false;
            ++pos;
        }
        unsigned value = 0;
        const auto [stop, error] = std::from_chars(pos, std::min(pos + 3, end), value);
        if (error != std::errc() || stop == pos)
            return false;
        parts[static_cast<std::size_t>(i)] = static_cast<int>(value);
        pos = stop;
    }
    return pos == end;
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
    for (std::size_t i = 0; i < text.size(); i += 3) {
        if (!ParseDigits(std::string_view(text).substr(i, 2), 16))
            return false;
        if (i + 2 < text.size() && text[i + 2] != '-')
            return false;
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
        const auto byte = ParseDigits(std::string_view(hex).substr(i, 2), 16);
        if (!byte)
            throw EConvertError("'$" + hex.substr(i, 2) + "' is not a valid integer value");
        out += static_cast<char>(*byte);
    }
}

std::optional<long long> ParseDecimal(std::string_view text) {
    const bool negative = TakeSign(text);
    return WithSign<long long>(ParseDigits(text, 10), negative);
}

std::optional<long long> ParseHex(std::string_view text) {
    return WithSign<long long>(ParseDigits(text, 16), false);
}

std::optional<int> StrToIntOpt(std::string_view text) {
    const bool negative = TakeSign(text);
    int base = 10;
    if (!text.empty() && text.front() == '$') {
        base = 16;
        text.remove_prefix(1);
    } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    return WithSign<int>(ParseDigits(text, base), negative);
}

int StrToIntDef(std::string_view text, int def) {
    return StrToIntOpt(text).value_or(def);
}
