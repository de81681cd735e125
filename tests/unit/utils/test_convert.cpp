#include "utils/uUtilsConvert.h"

#include "base/uErrors.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <utility>

namespace {

using Bytes = std::array<std::uint8_t, 4>;

TEST(Convert, IsValidIPTable) {
    const std::pair<std::string, bool> cases[] = {
        {"192.168.1.50", true},
        {"0.0.0.0", true},
        {"255.255.255.255", true},
        {"010.001.000.099", true}, // leading zeros are accepted
        {"192.168.1.256", false},
        {"192.168.1", false},
        {"192.168.1.50.7", false},
        {"1.2.3.4 ", false},
        {" 1.2.3.4", false},
        {"1.2.3.4\n", false},
        {"1.2.3.4\r\n5.6.7.8", false},
        {"1234.1.1.1", false},
        {"1..2.3", false},
        {"1.2.3.", false},
        {".1.2.3", false},
        {"1.2.3.-4", false},
        {"+1.2.3.4", false},
        {"1.2.3.4x", false},
        {"999.1.1.1", false},
        {"", false},
        {"...", false},
        {std::string("1.2.3.4\0", 8), false},
        {std::string(1 << 20, '1'), false},
        {"\xff\xfe.1.1.1", false},
        {"١.2.3.4", false}, // a non-ASCII digit is no decimal digit here
    };
    for (const auto& [text, valid] : cases)
        EXPECT_EQ(IsValidIP(text), valid) << '"' << text.substr(0, 40) << '"';
}

TEST(Convert, IsValidMACTable) {
    const std::pair<std::string, bool> cases[] = {
        {"00-11-22-33-aa-BB", true},    {"00-20-4A-01-02-03", true},
        {"ff-FF-fF-Ff-00-99", true},    {"00:11:22:33:44:55", false},
        {"00.11.22.33.44.55", false},   {"00 11 22 33 44 55", false},
        {"0-11-22-33-44-55", false},    {"00-11-22-33-44-55-66", false},
        {"00-11-22-33-44-5", false},    {"00-11-22-33-44-55\n", false},
        {"00-11-22-33-44-5g", false},   {"00--11-22-33-44-55", false},
        {"001122334455", false},        {"", false},
        {std::string(17, '\0'), false}, {std::string(1 << 20, 'a'), false},
    };
    for (const auto& [text, valid] : cases)
        EXPECT_EQ(IsValidMAC(text), valid) << '"' << text.substr(0, 40) << '"';
}

TEST(Convert, IPToBytesFirstNumberToByteZero) {
    Bytes b{};
    ASSERT_TRUE(IPToBytes("192.168.1.50", b));
    EXPECT_EQ(b, (Bytes{0xC0, 0xA8, 0x01, 0x32}));
    ASSERT_TRUE(IPToBytes("010.0.0.255", b));
    EXPECT_EQ(b, (Bytes{10, 0, 0, 255}));
}

TEST(Convert, IPToBytesLeavesBytesOnInvalidText) {
    for (const char* text : {"192.168.1.256", "1.2.3", "", "a.b.c.d"}) {
        Bytes b{1, 2, 3, 4};
        EXPECT_FALSE(IPToBytes(text, b)) << text;
        EXPECT_EQ(b, (Bytes{1, 2, 3, 4})) << text;
    }
}

TEST(Convert, BytesToStrKeepsZeroBytesAndRefusesEmptyCounts) {
    const std::uint8_t zeros[4] = {0, 0, 0, 0};
    std::string out = "stale";
    EXPECT_EQ(BytesToStr(zeros, 4, out), 4);
    EXPECT_EQ(out, std::string(4, '\0'));

    const std::uint8_t some[3] = {0xC0, 0x00, 0xFF};
    EXPECT_EQ(BytesToStr(some, 3, out), 3);
    EXPECT_EQ(out, std::string("\xC0\0\xFF", 3));

    for (int count : {0, -1, -1000}) {
        out = "stale";
        EXPECT_EQ(BytesToStr(some, count, out), 0);
        EXPECT_TRUE(out.empty());
    }
    EXPECT_EQ(BytesToStr(nullptr, 4, out), 0);
}

TEST(Convert, HexStr2BinStrIpSetupPrefix) {
    std::string out;
    HexStr2BinStr("000000FC49502D53455455500000", out);
    ASSERT_EQ(out.size(), 14u);
    EXPECT_EQ(out.substr(0, 4), std::string("\0\0\0\xFC", 4));
    EXPECT_EQ(out.substr(4, 8), "IP-SETUP");
    EXPECT_EQ(out.substr(12), std::string(2, '\0'));

    HexStr2BinStr("aAbB", out);
    EXPECT_EQ(out, "\xAA\xBB");
    HexStr2BinStr("", out);
    EXPECT_TRUE(out.empty());
}

TEST(Convert, HexStr2BinStrFailures) {
    std::string out = "stale";
    try {
        HexStr2BinStr(std::string(27, '0'), out);
        FAIL() << "odd length accepted";
    } catch (const EConvertError&) {
        FAIL() << "odd length must raise the general error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "HexStr length error. (HexStr2BinStr)");
    }
    EXPECT_TRUE(out.empty());

    // A bad pair raises the conversion failure with the bytes so far kept.
    const std::pair<std::string, std::string> bad[] = {
        {"0102zz04", std::string("\x01\x02", 2)},
        {"01 2", std::string("\x01", 1)},
        {"-1", ""},
        {"+1", ""},
        {"0x", ""},
        {std::string("00\0\0", 4), std::string(1, '\0')},
    };
    for (const auto& [hex, sofar] : bad) {
        out = "stale";
        EXPECT_THROW(HexStr2BinStr(hex, out), EConvertError) << hex;
        EXPECT_EQ(out, sofar) << hex;
    }
    try {
        HexStr2BinStr("0G", out);
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'$0G' is not a valid integer value");
    }
}

TEST(IntegerParser, DecimalAndHexForms) {
    struct Case {
        const char* text;
        std::optional<int> value;
    } cases[] = {
        {"250", 250},
        {"0", 0},
        {"-1", -1},
        {"+12", 12},
        {"$FA", 250},
        {"$fa", 250},
        {"0xFA", 250},
        {"0XfA", 250},
        {"-$10", -16},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", std::nullopt},
        {"$80000000", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"abc", std::nullopt},
        {"12ms", std::nullopt},
        {"1 000", std::nullopt},
        {"$", std::nullopt},
        {"0x", std::nullopt},
        {"-", std::nullopt},
        {"$G1", std::nullopt},
        {"1.5", std::nullopt},
        {"0x0x1", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StrToIntOpt(c.text), c.value) << c.text;
    EXPECT_EQ(StrToIntDef("nope", 1000), 1000);
}

TEST(IntegerParser, DecimalAndHexPartsOfTheDeviceList) {
    const std::pair<std::string, std::optional<long long>> decimal[] = {
        {"0", 0},
        {"192", 192},
        {"+7", 7},
        {"-7", -7},
        {"007", 7},
        {"9223372036854775807", 9223372036854775807LL},
        {"-9223372036854775808", -9223372036854775807LL - 1},
        {"9223372036854775808", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"+", std::nullopt},
        {"+-7", std::nullopt},
        {"--7", std::nullopt},
        {" 7", std::nullopt},
        {"7 ", std::nullopt},
        {"0x10", std::nullopt},
        {"1.5", std::nullopt},
        {"\xD9\xA1", std::nullopt}, // a non-ASCII digit
    };
    for (const auto& [text, value] : decimal)
        EXPECT_EQ(ParseDecimal(text), value) << '"' << text << '"';
    const std::pair<std::string, std::optional<long long>> hex[] = {
        {"0F", 15},
        {"ff", 255},
        {"4a", 74},
        {"7FFFFFFFFFFFFFFF", 0x7FFFFFFFFFFFFFFFLL},
        {"8000000000000000", std::nullopt},
        {"", std::nullopt},
        {"-1", std::nullopt},
        {"+1", std::nullopt},
        {"0x1", std::nullopt},
        {"GG", std::nullopt},
        {"1 ", std::nullopt},
    };
    for (const auto& [text, value] : hex)
        EXPECT_EQ(ParseHex(text), value) << '"' << text << '"';
}

} // namespace
