// The system facts' parsers, and (POSIX) the bounded run of a tool whose
// output is read.
#include "platform/Process.h"
#include "platform/SystemState.h"

#include <chrono>
#include <gtest/gtest.h>

namespace {

TEST(SystemState, EffectiveCapabilitiesOfAStatusText) {
    const std::string status = "Name:\tquorvet-cli\nCapInh:\t0000000000001000\n"
                               "CapEff:\t0000000000001000\n";
    EXPECT_TRUE(platform::EffectiveCapabilityHeld(status, 12)); // CAP_NET_ADMIN
    EXPECT_FALSE(platform::EffectiveCapabilityHeld(status, 13));
    EXPECT_TRUE(platform::EffectiveCapabilityHeld("CapEff:\t000001ffffffffff\n", 40));
    EXPECT_FALSE(platform::EffectiveCapabilityHeld("CapInh:\t0000000000001000\n", 12));
    for (const char* bad : {"CapEff:\t\n", "CapEff:\tzz\n", "CapEff:\t00000000000010000\n"})
        EXPECT_FALSE(platform::EffectiveCapabilityHeld(bad, 12)) << bad;
    EXPECT_FALSE(platform::EffectiveCapabilityHeld(status, 64));
}

TEST(SystemState, DefaultRouteOfARouteTable) {
    const std::string header =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
    const std::string subnet = "qv0\t00014D0A\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n";
    EXPECT_FALSE(platform::RouteTableHasDefault(header + subnet));
    EXPECT_TRUE(platform::RouteTableHasDefault(
        header + subnet + "qv0\t00000000\t01014D0A\t0003\t0\t0\t0\t00000000\t0\t0\t0\n"));
    EXPECT_FALSE(platform::RouteTableHasDefault(header)); // the header alone
    EXPECT_FALSE(platform::RouteTableHasDefault(""));
}

#ifndef _WIN32
using Clock = std::chrono::steady_clock;

TEST(RunForOutput, TheOutputOfAProgramThatEnds) {
    const auto r =
        platform::RunForOutput("sh -c \"echo ruleset; echo err >&2; exit 3\"", 5000, 1024);
    EXPECT_TRUE(r.Started);
    EXPECT_EQ(r.Wait, platform::TProcessWait::Ended);
    EXPECT_EQ(r.ExitStatus, 3);
    EXPECT_EQ(r.Text, "ruleset\n"); // standard error is not part of it

    const auto missing = platform::RunForOutput("/nonexistent/nft list ruleset", 5000, 1024);
    EXPECT_FALSE(missing.Started);
    EXPECT_EQ(missing.Text, "");
}

TEST(RunForOutput, AToolThatHangsOrFloodsIsStoppedWithinItsBounds) {
    auto start = Clock::now();
    auto r = platform::RunForOutput("sh -c \"echo early; exec sleep 30\"", 300, 1024);
    EXPECT_EQ(r.Wait, platform::TProcessWait::TimedOut);
    EXPECT_EQ(r.Text, "early\n");
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));

    // Closes its output but stays: still bounded.
    start = Clock::now();
    r = platform::RunForOutput("sh -c \"exec sleep 30 >/dev/null\"", 300, 1024);
    EXPECT_EQ(r.Wait, platform::TProcessWait::TimedOut);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));

    start = Clock::now();
    r = platform::RunForOutput("yes", 20000, 10000);
    EXPECT_EQ(r.Wait, platform::TProcessWait::TimedOut);
    EXPECT_EQ(r.Text.size(), 10000u);
    EXPECT_EQ(r.Text.substr(0, 4), "y\ny\n");
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));

    // Output that never pauses does not outrun the time limit.
    start = Clock::now();
    r = platform::RunForOutput("sh -c \"while :; do echo y; done\"", 300, std::size_t(1) << 30);
    EXPECT_EQ(r.Wait, platform::TProcessWait::TimedOut);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
}
#endif

} // namespace
