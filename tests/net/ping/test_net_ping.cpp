// Ping inside the private test network: 10.77.41.10 is a simulated device
// (its namespace answers echo requests), 10.77.41.96-99 are unused.
#include "utils/uPing.h"

#include "common/TestNet.h"
#include "platform/Icmp.h"

#include <chrono>
#include <fstream>
#include <future>
#include <gtest/gtest.h>

namespace {

using Clock = std::chrono::steady_clock;

const char* const Device = "10.77.41.10";
// Unused addresses, a fresh one per case: an address whose neighbour
// lookup has already failed may be refused at once on the next send.
const char* const Unused[] = {"10.77.41.99", "10.77.41.98", "10.77.41.97", "10.77.41.96"};

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(NetPing, AnsweringAddressFirstAttemptNoPause) {
    std::uint32_t rtt = 99;
    std::uint8_t ttl = 0;
    const auto start = Clock::now();
    ASSERT_TRUE(PingHost(Device, 500, 3, rtt, ttl));
    EXPECT_LT(MsSince(start), 450); // one request, no 500 ms pause
    EXPECT_LT(rtt, 450u);
    EXPECT_EQ(ttl, 64);
}

TEST(NetPing, SilentAddressCostsAttemptsTimesTimeoutPlusPause) {
    struct Case {
        std::uint32_t timeoutMs;
        std::uint8_t attempts;
        long long expectedMs;
        const char* host;
    };
    const Case cases[] = {
        {500, 3, 3000, Unused[0]}, {200, 1, 700, Unused[1]}, {200, 0, 700, Unused[2]}};
    for (const Case& c : cases) {
        std::uint32_t rtt = 5;
        std::uint8_t ttl = 5;
        const auto start = Clock::now();
        EXPECT_FALSE(PingHost(c.host, c.timeoutMs, c.attempts, rtt, ttl));
        const long long took = MsSince(start);
        EXPECT_GE(took, c.expectedMs - 60) << int(c.attempts);
        EXPECT_LT(took, c.expectedMs + 600) << int(c.attempts);
        EXPECT_EQ(rtt, 0u);
        EXPECT_EQ(ttl, 0);
    }
}

TEST(NetPing, UnresolvableNameGivesZeroAddressAndNoAnswer) {
    std::array<std::uint8_t, 4> addr{1, 1, 1, 1};
    ResolveHostAddress("qv-no-such-host.invalid", addr);
    EXPECT_EQ(addr, (std::array<std::uint8_t, 4>{0, 0, 0, 0}));
    std::uint32_t rtt = 0;
    std::uint8_t ttl = 0;
    EXPECT_FALSE(PingHost("qv-no-such-host.invalid", 300, 1, rtt, ttl));
}

// Both socket kinds, each while the other kind pings another address: a
// socket must take only the reply to its own request. The datagram kind is
// allowed for root in this namespace only (the setting is per namespace).
TEST(NetPing, BothSocketKindsMatchOnlyTheirOwnReply) {
    {
        std::ofstream range("/proc/sys/net/ipv4/ping_group_range");
        range << "0 2147483647\n";
    }
    using platform::TIcmpKind;
    for (TIcmpKind kind : {TIcmpKind::Datagram, TIcmpKind::Raw}) {
        auto answering = platform::TIcmpEcho::Open(kind);
        auto silent = platform::TIcmpEcho::Open(kind);
        ASSERT_TRUE(answering && silent) << "cannot open ICMP socket kind " << int(kind);
        auto quiet = std::async(std::launch::async, [&] {
            std::uint32_t rtt = 0;
            std::uint8_t ttl = 0;
            return silent->Echo({10, 77, 41, 96}, 800, rtt, ttl);
        });
        for (int i = 0; i < 5; ++i) {
            std::uint32_t rtt = 0;
            std::uint8_t ttl = 0;
            EXPECT_TRUE(answering->Echo({10, 77, 41, 10}, 500, rtt, ttl)) << int(kind);
            EXPECT_EQ(ttl, 64);
        }
        EXPECT_FALSE(quiet.get()) << "a reply to another request was taken, kind " << int(kind);
    }
}

} // namespace

int main(int argc, char** argv) {
    RequireTestNetwork(); // aborts outside the private network
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
