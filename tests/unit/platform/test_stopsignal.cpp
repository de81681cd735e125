// The stop signal of quorvet-cli's watch: noted instead of ending the
// process, and the wait it cuts short.

#include "platform/StopSignal.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>

namespace {

using Clock = std::chrono::steady_clock;

TEST(StopSignal, WaitsItsTimeUnlessAStopIsAskedFor) {
    const platform::TStopSignal stop;
    EXPECT_FALSE(stop.Requested());
    const auto start = Clock::now();
    EXPECT_FALSE(stop.WaitFor(120));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(120));
    EXPECT_FALSE(stop.WaitFor(-5)); // a negative wait is none
    platform::TStopSignal::Request();
    const auto asked = Clock::now();
    EXPECT_TRUE(stop.WaitFor(60000));
    EXPECT_LT(Clock::now() - asked, std::chrono::seconds(5));
}

TEST(StopSignal, ANewObjectStartsUnasked) {
    platform::TStopSignal::Request();
    const platform::TStopSignal stop;
    EXPECT_FALSE(stop.Requested());
}

#ifndef _WIN32
TEST(StopSignal, InterruptAndTerminationAreNotedNotFatal) {
    for (int sig : {SIGINT, SIGTERM}) {
        const platform::TStopSignal stop;
        ASSERT_EQ(std::raise(sig), 0);
        EXPECT_TRUE(stop.WaitFor(1000)) << sig;
    }
    // A broken pipe is left to the failing write.
    const platform::TStopSignal stop;
    ASSERT_EQ(std::raise(SIGPIPE), 0);
    EXPECT_FALSE(stop.Requested());
}
#endif

} // namespace
