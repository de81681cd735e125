#include "CliOutput.h"

#include <gtest/gtest.h>

namespace {

std::vector<TXportPar> Sample() {
    TXportPar a;
    a.IP = "10.77.1.10";
    a.MAC = "00-20-4A-01-02-03";
    a.Firmware = "1-4-5.02";
    a.Description = "Boiler \"room\"";
    a.DeviceType = "QT101";
    a.AdapterIP = "10.77.1.1";
    TXportPar b;
    b.IP = "10.77.2.20";
    b.StatusChar = "A";
    b.Description = std::string("bad\x1b[2J\n\xE9", 9);
    b.AdapterIP = "10.77.2.1";
    return {a, b};
}

} // namespace

TEST(CliOutput, TableIsAlignedAndSafe) {
    EXPECT_EQ(
        DeviceTable(Sample()),
        "IP          MAC                Firmware  Type   Status  Adapter    Description\n"
        "10.77.1.10  00-20-4A-01-02-03  1-4-5.02  QT101          10.77.1.1  Boiler \"room\"\n"
        "10.77.2.20  N/A                N/A       N/A    A       10.77.2.1  bad?[2J?\xC3\xA9\n"
        "2 device(s) found.\n");
    EXPECT_EQ(DeviceTable({}), "IP  MAC  Firmware  Type  Status  Adapter  Description\n"
                               "0 device(s) found.\n");
}

TEST(CliOutput, JsonHasAllSevenFieldsEscaped) {
    EXPECT_EQ(DeviceJson(Sample()),
              "[\n"
              "  {\"IP\": \"10.77.1.10\", \"MAC\": \"00-20-4A-01-02-03\", \"Firmware\": "
              "\"1-4-5.02\", \"Description\": \"Boiler \\\"room\\\"\", \"DeviceType\": \"QT101\", "
              "\"StatusChar\": \"\", \"AdapterIP\": \"10.77.1.1\"},\n"
              "  {\"IP\": \"10.77.2.20\", \"MAC\": \"N/A\", \"Firmware\": \"N/A\", "
              "\"Description\": \"bad\\u001b[2J\\n\\u00e9\", \"DeviceType\": \"N/A\", "
              "\"StatusChar\": \"A\", \"AdapterIP\": \"10.77.2.1\"}\n"
              "]\n");
    EXPECT_EQ(DeviceJson({}), "[]\n");
    EXPECT_EQ(JsonString(std::string("\0\\", 2)), "\"\\u0000\\\\\"");
}
