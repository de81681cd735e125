// Letter case of ASCII texts: only a-z and A-Z change, whatever the bytes
// around them, so that multi-byte characters pass through untouched.

#include "base/uAsciiText.h"

#include <gtest/gtest.h>

#include <string>

TEST(AsciiText, OnlyAsciiLettersChangeCase) {
    EXPECT_EQ(UpperAscii(std::string("kaven-Loggers_1 \xC3\xA9\xE9z")),
              "KAVEN-LOGGERS_1 \xC3\xA9\xE9Z");
    EXPECT_EQ(UpperAscii('q'), 'Q');
    EXPECT_EQ(UpperAscii('\xE9'), '\xE9');
    EXPECT_EQ(LowerAscii('Q'), 'q');
    EXPECT_EQ(LowerAscii('\xC9'), '\xC9');
    EXPECT_EQ(LowerAscii('@'), '@');
    EXPECT_EQ(UpperAscii('`'), '`');
}

TEST(AsciiText, CompareAndSameTextIgnoreAsciiCaseOnly) {
    EXPECT_EQ(CompareText("Software", "SOFTWARE"), 0);
    EXPECT_TRUE(SameText("GlobalTypes", "globaltypes"));
    EXPECT_FALSE(SameText("Softwar", "Software"));
    EXPECT_FALSE(SameText("\xC3\xA9", "\xC3\x89")); // é and É are not ASCII
    EXPECT_LT(CompareText("abc", "ABD"), 0);
    EXPECT_LT(CompareText("AB", "ab "), 0); // the beginning comes first
    EXPECT_GT(CompareText("b", "A"), 0);
    // Byte values decide past ASCII: bytes above 127 come after letters, and
    // '_' (95) after the upper-case letters it is compared against.
    EXPECT_LT(CompareText("Z", "\xC3\xA9"), 0);
    EXPECT_GT(CompareText("_", "a"), 0);
    EXPECT_EQ(CompareText(std::string("a\0b", 3), std::string("A\0B", 3)), 0);
}
