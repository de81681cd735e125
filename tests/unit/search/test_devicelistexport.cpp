// The device list's text forms as the window's clipboard and files get them.

#include "search/uDeviceListExport.h"

#include <gtest/gtest.h>

namespace {

TXportPar Device(const std::string& ip, const std::string& description) {
    TXportPar d;
    d.IP = ip;
    d.MAC = "00-20-4A-01-02-03";
    d.Firmware = "1-4-5.02";
    d.DeviceType = "QT101";
    d.StatusChar = "A";
    d.AdapterIP = "10.77.1.1";
    d.Description = description;
    return d;
}

// Splits text into rows of fields at the given separators.
std::vector<std::vector<std::string>> Split(const std::string& text, char field, char row) {
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    for (const char c : text) {
        if (c == row)
            rows.push_back(std::vector<std::string>(1));
        else if (c == field)
            rows.back().emplace_back();
        else
            rows.back().back() += c;
    }
    rows.pop_back(); // after the last line end
    return rows;
}

} // namespace

TEST(DeviceListExport, TsvHasHeaderAndOneLinePerDevice) {
    const std::vector<TXportPar> devices = {Device("10.77.1.10", "Boiler room"),
                                            Device("10.77.1.12", "")};
    EXPECT_EQ(DeviceTsv(devices),
              "IP\tMAC\tFirmware\tDescription\tDeviceType\tStatusChar\tAdapterIP\n"
              "10.77.1.10\t00-20-4A-01-02-03\t1-4-5.02\tBoiler room\tQT101\tA\t10.77.1.1\n"
              "10.77.1.12\t00-20-4A-01-02-03\t1-4-5.02\t\tQT101\tA\t10.77.1.1\n");
    EXPECT_EQ(DeviceTsv({}), "IP\tMAC\tFirmware\tDescription\tDeviceType\tStatusChar\tAdapterIP\n");
}

TEST(DeviceListExport, TsvKeepsRowsWholeWhateverTheDeviceSends) {
    // Tabs, line breaks and escape sequences from a device are shown as
    // symbols; Latin-1 bytes become UTF-8.
    const std::vector<TXportPar> devices = {
        Device("10.77.1.10", std::string("a\tb\r\nc\x1b[2J\n\xE9", 12)),
        Device("10.77.1.11", "next")};
    const std::string tsv = DeviceTsv(devices);
    const auto rows = Split(tsv, '\t', '\n');
    ASSERT_EQ(rows.size(), 3u);
    for (const auto& row : rows)
        EXPECT_EQ(row.size(), 7u);
    EXPECT_EQ(rows[1][3], "a\xE2\x90\x89"
                          "b\xE2\x90\x8D\xE2\x90\x8A"
                          "c\xE2\x90\x9B[2J\xE2\x90\x8A\xC3\xA9");
    EXPECT_EQ(rows[2][3], "next");
    EXPECT_EQ(tsv.find('\r'), std::string::npos);
}

TEST(DeviceListExport, CsvKeepsSeparatorsInsideTheirField) {
    // A comma or tab in a description stays inside its quoted field: every
    // row has seven fields once quotes are honoured.
    const std::string csv = DeviceCsv({Device("10.77.1.10", "Hall 3, pump\t2")});
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < csv.size(); ++i) {
        const char c = csv[i];
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && c == ',')
            fields.emplace_back();
        else if (!quoted && c == '\r')
            fields.emplace_back(); // row end counts as a separator here
        else if (c != '\n')
            fields.back() += c;
    }
    ASSERT_EQ(fields.size(), 15u); // 7 + 7 fields, then the empty rest
    EXPECT_EQ(fields[10], "Hall 3, pump\t2");
}

TEST(DeviceListExport, JsonStringEscapesOutsidePrintableAscii) {
    EXPECT_EQ(JsonString(std::string("a\"\\\t\x01\xC3\xBC\xF0\x9F\x98\x80", 11)),
              "\"a\\\"\\\\\\t\\u0001\\u00fc\\ud83d\\ude00\"");
}
