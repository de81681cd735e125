// The replies decoded into a device entry.
#include "device/uXPortReplies.h"

#include "support/DeviceReplies.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string Reply130(std::size_t offset, const std::string& text, char status = 'A') {
    std::string r(130, '\0');
    r.replace(offset, text.size(), text);
    r[81] = status;
    return r;
}

} // namespace

TEST(Decoding, TXportParDefaults) {
    TXportPar p;
    EXPECT_EQ(p.IP, "");
    EXPECT_EQ(p.MAC, "N/A");
    EXPECT_EQ(p.Firmware, "N/A");
    EXPECT_EQ(p.Description, "");
    EXPECT_EQ(p.DeviceType, "N/A");
    EXPECT_EQ(p.StatusChar, "");
    EXPECT_EQ(p.AdapterIP, "N/A");
}

TEST(Decoding, FirmwareText) {
    EXPECT_EQ(FirmwareText(1, 4, 5, 2), "1-4-5.02");
    EXPECT_EQ(FirmwareText(1, 4, 5, 10), "1-4-5.10");
    EXPECT_EQ(FirmwareText(255, 255, 255, 255), "255-255-255.255");
    EXPECT_EQ(FirmwareText(0, 0, 0, 0), "0-0-0.00");
}

TEST(Decoding, MacText) {
    std::string r(30, '\0');
    const unsigned char mac[] = {0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0xFF};
    for (int i = 0; i < 6; ++i)
        r[static_cast<std::size_t>(24 + i)] = static_cast<char>(mac[i]);
    EXPECT_EQ(DecodeMacText(r), "0A-1B-2C-3D-4E-FF");
    EXPECT_EQ(DecodeMacText(r + "x"), "N/A");
    EXPECT_EQ(DecodeMacText(r.substr(0, 29)), "N/A");
    EXPECT_EQ(DecodeMacText(""), "N/A");
}

TEST(Decoding, FirmwareRuleAndVersionLimits) {
    struct Case {
        const char* firmware;
        bool inInfo;
    } cases[] = {
        {"1-4-4.255", false},
        {"1-4-5.00", true},
        {"1-4-4.99", false},
        {"1-255-0.00", true},
        {"2-5-1.255", false},
        {"2-5-2.00", true},
        {"4-4-1.255", false},
        {"4-4-2.00", true},
        {"3-0-0.00", true},
        {"5-0-0.00", true},
        {"6-1-0.03", true},
        {"7-0-0.00", true},
        {"8-0-0.00", true},
        {"9-0-0.00", true},
        {"0-9-9.99", false},
        {"10-9-9.99", false},
        {"255-1-1.01", false},
        {"257-4-5.00", true}, // 257 mod 256 = kind 1
        {"N/A", true},
        {"1-4-4", true},
        {"1-4-4.1.1", true},
        {"1-x-4.01", true},
        {"", true},
        {"1--4.01", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HasDescriptionInInfoReply(c.firmware), c.inInfo) << c.firmware;
}

TEST(Decoding, DescriptionRules) {
    const std::string d65(65, 'D');
    std::string longer = Reply130(4, d65 + "EXTRA");
    EXPECT_EQ(DecodeDescriptionText(longer, 4, "6-1-0.00"), d65);
    EXPECT_EQ(DecodeDescriptionText(Reply130(36, d65 + "Z", 'D'), 36, "1-4-4.255"), d65);
    EXPECT_EQ(DecodeDescriptionText(Reply130(4, "Boiler"), 4, "6-1-0.00"), "Boiler");
    EXPECT_EQ(DecodeDescriptionText(Reply130(4, ""), 4, "6-1-0.00"), "");
    // Kinds and versions without a description.
    EXPECT_EQ(DecodeDescriptionText(Reply130(4, "x"), 4, "3-9-9.99"), "");
    EXPECT_EQ(DecodeDescriptionText(Reply130(4, "x"), 4, "5-6-0.00"), "x");
    EXPECT_EQ(DecodeDescriptionText(Reply130(4, "x"), 4, "5-5-1.22"), "");
    EXPECT_EQ(DecodeDescriptionText(Reply130(4, "x"), 4, "5-5-1.23"), "x");
    EXPECT_EQ(DecodeDescriptionText(Reply130(4, "x"), 4, "5-0-0.00"), "");
    EXPECT_EQ(DecodeDescriptionText(Reply130(4, "x"), 4, "N/A"), "x");
    // Only 130-byte replies carry one.
    EXPECT_EQ(DecodeDescriptionText(Reply130(4, "x") + "y", 4, "6-1-0.00"), "");
    EXPECT_EQ(DecodeDescriptionText(Reply130(4, "x").substr(0, 129), 4, "6-1-0.00"), "");
    // 8-bit characters stay as they are.
    EXPECT_EQ(DecodeDescriptionText(Reply130(4, "M\xE9\xF8"), 4, "6-1-0.00"), "M\xE9\xF8");
}

TEST(Decoding, StatusCharOnlyForKindSix) {
    EXPECT_EQ(DecodeStatusCharText(Reply130(4, "x", 'A'), "6-1-0.03"), "A");
    EXPECT_EQ(DecodeStatusCharText(Reply130(4, "x", 'A'), "262-1-0.03"), "A"); // 262 mod 256
    EXPECT_EQ(DecodeStatusCharText(Reply130(4, "x", 'A'), "1-4-5.02"), "");
    EXPECT_EQ(DecodeStatusCharText(Reply130(4, "x", 'A'), "+6-1-0.03"), "");
    EXPECT_EQ(DecodeStatusCharText(Reply130(4, "x", 'A'), "N/A"), "");
    EXPECT_EQ(DecodeStatusCharText(Reply130(4, "x", 'A') + "!", "6-1-0.03"), "");
    EXPECT_EQ(DecodeStatusCharText(Reply130(4, "x", '\xC1'), "6-1-0.03"), "\xC1");
}

TEST(Decoding, IntoTheEntry) {
    TXportPar e = NewDeviceEntry();
    EXPECT_EQ(e.MAC, "N/A");
    EXPECT_EQ(e.AdapterIP, "N/A");
    DecodeMac(e, Discovery(0x12, 0x34));
    EXPECT_EQ(e.MAC, "00-20-4A-00-12-34");
    DecodeMac(e, Discovery(0x12, 0x34) + "x");
    EXPECT_EQ(e.MAC, "N/A");

    // Kind and model go to the lookup; the firmware rule reads the text back.
    std::vector<std::pair<int, int>> asked;
    const TTypeNameLookup lookup = [&](int kind, int model) {
        asked.emplace_back(kind, model);
        return std::string("T") + std::to_string(model);
    };
    const std::string info = Reply(5, 5, 1, 23, 200, "Five", XPortInfoDescriptionOffset, 'S');
    DecodeInfoReply(e, info, lookup);
    EXPECT_EQ(e.Firmware, "5-5-1.23");
    EXPECT_EQ(e.DeviceType, "T200");
    EXPECT_EQ(asked, (std::vector<std::pair<int, int>>{{5, 200}}));
    DecodeDescription(e, info, XPortInfoDescriptionOffset);
    DecodeStatusChar(e, info);
    EXPECT_EQ(e.Description, "Five");
    EXPECT_EQ(e.StatusChar, "");

    // A reply of another length sets both back to "N/A" without a lookup;
    // description and status need a 130-byte reply too.
    DecodeInfoReply(e, info.substr(0, 129), lookup);
    EXPECT_EQ(e.Firmware, "N/A");
    EXPECT_EQ(e.DeviceType, "N/A");
    EXPECT_EQ(asked.size(), 1u);
    DecodeDescription(e, info + "!", XPortInfoDescriptionOffset);
    EXPECT_EQ(e.Description, "");

    // Kind 6: the status byte of the last reply, here the setup reply.
    TXportPar six = NewDeviceEntry();
    DecodeInfoReply(six, Reply(6, 1, 0, 3, 6, "x", XPortInfoDescriptionOffset, 'A'), {});
    EXPECT_EQ(six.DeviceType, "N/A"); // no lookup given
    const std::string setup = Reply(0, 0, 0, 0, 0, "Setup", XPortSetupDescriptionOffset, '0');
    DecodeDescription(six, setup, XPortSetupDescriptionOffset);
    DecodeStatusChar(six, setup);
    EXPECT_EQ(six.Description, "Setup");
    EXPECT_EQ(six.StatusChar, "0");
}
