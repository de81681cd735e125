#include "base/uDeviceText.h"

namespace {

// The length of the valid UTF-8 sequence at text[i] and its character, or 0
// when the bytes there are not one.
std::size_t Utf8Sequence(std::string_view text, std::size_t i, char32_t& c) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned char b0 = byte(0);
    if (b0 < 0x80) {
        c = b0;
        return 1;
    }
    std::size_t length = 0;
    char32_t min = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        c = b0 & 0x1F;
        min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        c = b0 & 0x0F;
        min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        c = b0 & 0x07;
        min = 0x10000;
    } else {
        return 0; // a continuation byte, C0/C1 (overlong lead) or F5-FF
    }
    if (text.size() - i < length)
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (byte(k) & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return length;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::u32string DecodeDeviceText(std::string_view bytes) {
    std::u32string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t c = 0;
        const std::size_t length = Utf8Sequence(bytes, i, c);
        if (length == 0) {
            // Not UTF-8: every byte is one character, from the start.
            text.clear();
            for (char b : bytes)
                text += static_cast<char32_t>(static_cast<unsigned char>(b));
            return text;
        }
        text += c;
        i += length;
    }
    return text;
}

std::string DeviceTextToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char32_t c : DecodeDeviceText(bytes))
        AppendUtf8(out, c);
    return out;
}

bool IsControlCharacter(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0xFDD0 && c <= 0xFDEF) || c == 0x2028 ||
           c == 0x2029;
}

std::string VisibleText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char32_t c : DecodeDeviceText(bytes)) {
        if (c < 0x20)
            c += 0x2400; // U+2400 SYMBOL FOR NULL ... U+241F SYMBOL FOR UNIT SEPARATOR
        else if (c == 0x7F)
            c = 0x2421; // SYMBOL FOR DELETE
        else if (IsControlCharacter(c))
            c = 0xFFFD;
        AppendUtf8(out, c);
    }
    return out;
}
