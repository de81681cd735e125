// How device bytes are read and shown: UTF-8 when valid, else Latin-1, and
// no control character reaching a terminal, a log line or a text widget.

#include "base/uDeviceText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string U8(const char8_t* text) {
    return reinterpret_cast<const char*>(text);
}

TEST(DeviceText, Utf8WhenValidElseEveryByteLatin1) {
    struct Case {
        std::string bytes, utf8;
    };
    const Case cases[] = {
        {"Boiler room", "Boiler room"},
        {"K\xC3\xBChlraum", U8(u8"Kühlraum")},             // UTF-8 stays
        {"K\xFChlraum", U8(u8"Kühlraum")},                 // Latin-1 ü
        {"\xC3\xBC and \xFC", U8(u8"Ã¼ and ü")},           // one bad byte: the whole text Latin-1
        {"\xE2\x82\xAC \xF0\x9F\x98\x80", U8(u8"€ 😀")},    // three and four bytes
        {"\xC3", U8(u8"Ã")},                               // cut short
        {"\xC0\xAF", U8(u8"À¯")},                          // overlong '/'
        {"\xE0\x80\xAF", U8(u8"à\u0080¯")},                // overlong, three bytes
        {"\xED\xA0\x80", U8(u8"í\u00A0\u0080")},           // a surrogate
        {"\xF4\x90\x80\x80", U8(u8"ô\u0090\u0080\u0080")}, // above U+10FFFF
        {"\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},          // U+10FFFF itself
        {"\xEF\xBF\xBD", "\xEF\xBF\xBD"},                  // a real U+FFFD is UTF-8 too
        {"\x9B", "\xC2\x9B"},                              // a C1 byte alone
        {std::string("a\0b", 3), std::string("a\0b", 3)},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DeviceTextToUtf8(c.bytes), c.utf8) << c.bytes;
        EXPECT_EQ(DeviceTextToUtf8(c.utf8), c.utf8) << "the result is valid UTF-8: " << c.bytes;
    }
    EXPECT_EQ(DecodeDeviceText("\xE2\x82\xAC\xF0\x9F\x98\x80"), U"€😀");
    EXPECT_EQ(DecodeDeviceText("\xE2\x82"), U"\u00E2\u0082");
}

TEST(DeviceText, EveryControlClassIsShownNotActedOn) {
    struct Case {
        std::string bytes, shown;
    };
    const Case cases[] = {
        // C0 and DEL by their symbols, wherever they are.
        {"a\r\nb", U8(u8"a␍␊b")},
        {"\x1B[2J\x07", U8(u8"␛[2J␇")},
        {std::string("\0\t\x1F\x7F", 4), U8(u8"␀␉␟␡")},
        // C1 as Latin-1 bytes and as UTF-8.
        {"\x9B"
         "2J\x9D",
         U8(u8"\uFFFD2J\uFFFD")},
        {"\xC2\x9B"
         "2J\xC2\x9D\xC2\x85",
         U8(u8"\uFFFD2J\uFFFD\uFFFD")},
        {"\xC2\x80\xC2\x9F", U8(u8"\uFFFD\uFFFD")},
        // The edges around C1, DEL and the text widget's block marks.
        {"\x7E\xC2\xA0", "\x7E\xC2\xA0"},
        {U8(u8"\uFDCF\uFDD0\uFDD1\uFDEF\uFDF0"), U8(u8"\uFDCF\uFFFD\uFFFD\uFFFD\uFDF0")},
        // Line and paragraph separators; their neighbours stay.
        {U8(u8"\u2027\u2028\u2029\u202A"), U8(u8"\u2027\uFFFD\uFFFD\u202A")},
        // Printable texts pass exactly.
        {U8(u8"Kühlraum 3 – Süd"), U8(u8"Kühlraum 3 – Süd")},
        {"K\xFChlraum\r\n", U8(u8"Kühlraum␍␊")},
    };
    for (const Case& c : cases) {
        const std::string shown = VisibleText(c.bytes);
        EXPECT_EQ(shown, c.shown) << c.bytes;
        EXPECT_EQ(VisibleText(shown), shown) << "twice is once: " << c.bytes;
    }
}

TEST(DeviceText, ControlCharacterBoundaries) {
    for (char32_t c : {0x00u, 0x1Fu, 0x7Fu, 0x80u, 0x9Fu, 0xFDD0u, 0xFDEFu, 0x2028u, 0x2029u})
        EXPECT_TRUE(IsControlCharacter(c)) << std::hex << static_cast<unsigned>(c);
    for (char32_t c : {0x20u, 0x7Eu, 0xA0u, 0xFDCFu, 0xFDF0u, 0x2027u, 0x202Au, 0xFFFDu, 0x2400u})
        EXPECT_FALSE(IsControlCharacter(c)) << std::hex << static_cast<unsigned>(c);
}

} // namespace
