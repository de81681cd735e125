// The part of the platform layer both systems share: the address texts of the
// ARP-table way are checked before the system is asked for anything.

#include "base/uErrors.h"
#include "platform/Neighbour.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using platform::TMacAddress;

std::string MessageOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "(no exception)";
}

TEST(MacAddress, SixHexPairsJoinedByTheGivenSeparator) {
    TMacAddress mac{};
    ASSERT_TRUE(platform::ParseMacAddress("00-20-4a-01-02-0F", '-', mac));
    EXPECT_EQ(mac, (TMacAddress{0x00, 0x20, 0x4A, 0x01, 0x02, 0x0F}));
    // The form of the system's own neighbour table.
    ASSERT_TRUE(platform::ParseMacAddress("ff:Fe:00:9a:b7:c8", ':', mac));
    EXPECT_EQ(mac, (TMacAddress{0xFF, 0xFE, 0x00, 0x9A, 0xB7, 0xC8}));
}

TEST(MacAddress, AnythingElseIsRefusedAndLeavesTheBytes) {
    for (const char* text : {"", "00-20-4a-01-02", "00-20-4a-01-02-0F-", "00:20:4a:01:02:0F",
                             "0g-20-4a-01-02-0F", " 0-20-4a-01-02-0F", "+0-20-4a-01-02-0F",
                             "00-20-4a-01-02-0F\n", "0020-4a-01-02-0F-1", "00-20-4a-01-02 0F"}) {
        TMacAddress mac{1, 2, 3, 4, 5, 6};
        EXPECT_FALSE(platform::ParseMacAddress(text, '-', mac)) << '"' << text << '"';
        EXPECT_EQ(mac, (TMacAddress{1, 2, 3, 4, 5, 6})) << '"' << text << '"';
    }
}

TEST(NeighbourEntry, AddressTextsAreCheckedBeforeTheCommandIsWritten) {
    platform::AdapterRecord adapter;
    adapter.Name = "qv0";
    adapter.Addresses = {{"10.77.1.1", "255.255.255.0"}};
    const std::vector<platform::AdapterRecord> adapters{adapter};
    const std::string mac = "00-20-4A-01-02-03";

    EXPECT_EQ(
        MessageOf([&] { platform::StaticNeighbourCommandLine("10.77.1.300", mac, adapters); }),
        "Invalid IP address \"10.77.1.300\"");
    EXPECT_EQ(MessageOf([&] { platform::StaticNeighbourCommandLine("", mac, adapters); }),
              "Invalid IP address \"\"");
    // A MAC text that could add arguments to the command never reaches it.
    for (const std::string bad : {"00-20-4A-01-02", "00:20:4A:01:02:03", "00-20-4A-01-02-03 x"})
        EXPECT_EQ(
            MessageOf([&] { platform::StaticNeighbourCommandLine("10.77.1.5", bad, adapters); }),
            "Invalid MAC address \"" + bad + "\"");
    EXPECT_EQ(MessageOf([&] { platform::StaticNeighbourCommandLine("10.77.2.5", mac, adapters); }),
              "No adapter reaches 10.77.2.5");
    EXPECT_EQ(MessageOf([&] { platform::StaticNeighbourCommandLine("10.77.1.5", mac, {}); }),
              "No adapter reaches 10.77.1.5");

    // Texts that name no entry find none, without reading the table.
    EXPECT_FALSE(platform::StaticNeighbourPresent("10.77.1.300", mac));
    EXPECT_FALSE(platform::StaticNeighbourPresent("10.77.1.5", "00-20-4A-01-02"));
}

TEST(ConnectionAttempt, AnAddressOrPortOutOfRangeIsRefusedBeforeAnySocket) {
    EXPECT_EQ(MessageOf([] { platform::TcpConnectAttempt("", 1, 100); }),
              "Invalid IP address \"\"");
    EXPECT_EQ(MessageOf([] { platform::TcpConnectAttempt("127.0.0.256", 1, 100); }),
              "Invalid IP address \"127.0.0.256\"");
    for (int port : {-1, 65536})
        EXPECT_EQ(MessageOf([port] { platform::TcpConnectAttempt("127.0.0.1", port, 100); }),
                  "Invalid IP address \"127.0.0.1\"")
            << port;
}

} // namespace
