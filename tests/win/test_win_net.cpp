// The Windows build inside the private test network (tests/win/nine.net),
// under Wine: the adapter table, ping, the process runner and the search.

#include "WinTestPaths.h"
#include "base/uErrors.h"
#include "search/IPInfo.h"
#include "search/uXPortSearch.h"
#include "utils/uPing.h"
#include "utils/uUtilsWinAPI.h"

// Windows headers in the order they need (winsock2.h before windows.h).
// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(WinNetAdapters, NineAdaptersNeedMoreThanTheFirstBufferAndAllAreListed) {
    std::vector<unsigned char> buffer(5120);
    ULONG size = static_cast<ULONG>(buffer.size());
    EXPECT_EQ(GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size),
              static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
    EXPECT_GT(size, 5120u);

    std::vector<std::string> list;
    ASSERT_NO_THROW(GetAdapterAddresses(list));
    std::vector<std::string> expected;
    for (int i = 1; i <= 9; ++i)
        expected.push_back("10.77." + std::to_string(i) + ".1");
    EXPECT_EQ(list, expected);
}

TEST(WinNetPing, DeviceAnswersAndAFreeAddressDoesNot) {
    std::uint32_t rtt = 99;
    std::uint8_t ttl = 0;
    EXPECT_TRUE(PingHost("10.77.1.10", 500, 3, rtt, ttl));
    EXPECT_GT(ttl, 0);
    // Answered at the first attempt: no 500 ms pause follows.
    auto start = Clock::now();
    EXPECT_TRUE(PingHost("10.77.1.10", 500, 3, rtt, ttl));
    EXPECT_LT(MsSince(start), 900);
    // A silent device still owns its address.
    EXPECT_TRUE(PingHost("10.77.1.11", 500, 1, rtt, ttl));

    start = Clock::now();
    EXPECT_FALSE(PingHost("10.77.1.99", 500, 2, rtt, ttl));
    const long long elapsed = MsSince(start);
    EXPECT_GE(elapsed, 950); // two waits of up to 500 ms, each followed by the pause
    EXPECT_LT(elapsed, 4000);
    EXPECT_EQ(rtt, 0u);
    EXPECT_EQ(ttl, 0);
    EXPECT_FALSE(PingHost("no-such-host.invalid", 200, 1, rtt, ttl));
}

TEST(WinNetProcess, MissingProgramAndVersionOfTheTool) {
    try {
        RunAndWait("qv-missing-tool 10.77.1.10 1", true, 1000);
        ADD_FAILURE() << "started";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Unable to Create Process \"qv-missing-tool 10.77.1.10 1\"");
    }
    EXPECT_EQ(TWinAPIUtils::GetFileVersion(CliProgram()), "1.0.0.0");
}

TEST(WinNetSearch, EveryAdapterIsSearched) {
    TXportSearch engine;
    engine.ReadTimeout = 300;
    ASSERT_NO_THROW(engine.Search());
    std::vector<std::string> found;
    for (const TXportPar& d : engine.Devices())
        found.push_back(d.IP + " " + d.MAC + " " + d.AdapterIP);
    // The silent device does not answer; the duplicate reply counts once.
    EXPECT_EQ(found, (std::vector<std::string>{"10.77.1.10 00-20-4A-00-09-01 10.77.1.1",
                                               "10.77.2.10 00-20-4A-00-09-03 10.77.2.1",
                                               "10.77.4.10 00-20-4A-00-09-04 10.77.4.1",
                                               "10.77.9.10 00-20-4A-00-09-05 10.77.9.1"}));
}

} // namespace

int main(int argc, char** argv) {
    // It sends: it must run as the computer of a qvnet network (through
    // tests/win/wine-run, which checks the interfaces).
    const char* id = std::getenv("QVNET_ID");
    if (id == nullptr || *id == '\0') {
        std::fprintf(stderr, "FATAL: QVNET_ID is not set. This test sends datagrams and must run "
                             "inside the private test network: tests/net/qvnet run NETFILE -- "
                             "tests/win/wine-run <test>\n");
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
