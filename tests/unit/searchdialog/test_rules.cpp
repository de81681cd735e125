// The device list's ordering, marking and filter rules, without a window.

#include "searchdialog/rules/uDeviceListRules.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

int SignOf(int v) {
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

struct TCompareCase {
    const char* name;
    const char* kind; // ip, mac, fw or text
    std::string a, b;
    int expected; // sign
};

TEST(DeviceListRules, Comparisons) {
    const TCompareCase cases[] = {
        {"ip numeric", "ip", "10.0.0.2", "10.0.0.10", -1},
        {"ip first octet", "ip", "10.0.0.10", "192.168.0.1", -1},
        {"ip equal", "ip", "192.168.1.9", "192.168.1.9", 0},
        {"ip wrong parts: text", "ip", "9.1.1", "10.0.0.1", 1},
        {"ip not a number: text", "ip", "1.2.3.x", "1.2.3.4", 1},
        {"mac hex", "mac", "00-20-4A-00-00-0F", "00-20-4A-00-00-10", -1},
        {"mac case", "mac", "0a-1b-2c-3d-4e-5f", "0A-1B-2C-3D-4E-5F", 0},
        {"mac N/A last", "mac", "N/A", "FF-FF-FF-FF-FF-FF", 1},
        {"mac bad part: text", "mac", "00-20-4A-00-00-GG", "00-20-4A-00-00-01", 1},
        {"fw kind", "fw", "5-2-3.04", "6-1-0.01", -1},
        {"fw minor", "fw", "6-1-0.01", "6-1-0.10", -1},
        {"fw minor 05<10", "fw", "6-1-2.05", "6-1-2.10", -1},
        {"fw major", "fw", "6-1-10.00", "6-1-9.99", 1},
        {"fw N/A after", "fw", "N/A", "6-1-0.10", 1},
        {"fw before N/A", "fw", "6-1-0.10", "N/A", -1},
        {"fw equal", "fw", "1-4-5.02", "1-4-5.02", 0},
        {"fw no dot: text", "fw", "1-4-502", "1-4-5.02", 1},
        // Three parts against four: text both ways round, or the order
        // would not be one (a sort may then run off the list).
        {"fw three against four parts: text", "fw", "10-0-0.00", "9-0-0-0.00", -1},
        {"fw four against three parts: text", "fw", "9-0-0-0.00", "10-0-0.00", 1},
        {"text case-blind", "text", "abc", "ABD", -1},
        {"text prefix first", "text", "AB", "ab ", -1},
        {"text bytes", "text", "Z", "\xC3\xA9", -1},
        {"text empty", "text", "", "", 0},
    };
    for (const TCompareCase& c : cases) {
        const std::string kind = c.kind;
        int r = 0;
        if (kind == "ip") {
            r = CompareIPAddress(c.a, c.b);
        } else if (kind == "mac") {
            r = CompareMACAddress(c.a, c.b);
        } else if (kind == "fw") {
            r = CompareFirmware(c.a, c.b);
        } else {
            r = CompareText(c.a, c.b);
        }
        EXPECT_EQ(SignOf(r), c.expected) << c.name;
    }
}

TEST(DeviceListRules, RowMarks) {
    struct TCase {
        const char* name;
        std::string firmware, status;
        bool active;
        int strictKind; // -1: unreadable
    };
    const TCase cases[] = {
        {"kind 1", "1-4-5.02", "", true, 1},
        {"kind 7", "7-0-1.00", "", true, 7},
        {"kind 9", "9-1-1.01", "", true, 9},
        {"N/A", "N/A", "", false, -1},
        {"kind 0", "0-1-0.01", "", false, 0},
        {"kind 8", "8-1-0.01", "", false, 8},
        {"kind 12", "12-1-0.01", "", false, 12},
        {"kind 6 status 0", "6-1-2.05", "0", true, 6},
        {"kind 6 status A", "6-1-2.05", "A", false, 6},
        {"kind 6 no status", "6-1-2.05", "", false, 6},
        {"huge kind", "99999999999999999999-1-0.01", "", false, -1},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(IsRowActive(c.firmware, c.status), c.active) << c.name;
        const auto kind = DeviceKindStrict(c.firmware);
        EXPECT_EQ(kind ? *kind : -1, c.strictKind) << c.name;
    }
}

TEST(DeviceListRules, KindReadings) {
    // Strict takes a sign; lenient counts anything but digits as kind 0.
    EXPECT_EQ(DeviceKindStrict("+6-1-0.00"), 6);
    EXPECT_EQ(DeviceKindStrict("-1-0.00"), std::nullopt); // the kind part is empty
    EXPECT_EQ(DeviceKindLenient("+6-1-0.00"), 0);
    EXPECT_EQ(DeviceKindLenient("6"), 6);
    EXPECT_EQ(DeviceKindLenient("99999999999-1-0.00"), INT_MAX);
}

TEST(DeviceListRules, ProductionAddresses) {
    const std::vector<std::pair<int, bool>> cases = {
        {49, false},  {50, true},   {75, true},  {76, false},  {96, false},  {97, true},
        {99, true},   {100, false}, {101, true}, {206, true},  {207, false}, {213, false},
        {219, false}, {220, true},  {243, true}, {244, false}, {250, false}};
    for (const auto& [last, production] : cases) {
        const std::string ip = "192.168.1." + std::to_string(last);
        EXPECT_EQ(IsProductionAddress(ip), production) << ip;
    }
    EXPECT_FALSE(IsProductionAddress("192.168.1")) << "not an address";
}

} // namespace
