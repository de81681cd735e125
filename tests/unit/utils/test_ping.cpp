// Loopback only: 127.0.0.1 answers, 0.0.0.0 is never sent to. Silent
// addresses and name lookups are tested inside the private test network.
#include "utils/uPing.h"

#include "base/uErrors.h"
#include "platform/Icmp.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::array<std::uint8_t, 4>;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(ResolveHostAddress, DottedTextWithoutLookup) {
    const std::pair<std::string, Bytes> cases[] = {
        {"192.168.1.50", {0xC0, 0xA8, 0x01, 0x32}},
        {"127.0.0.1", {127, 0, 0, 1}},
        {"010.001.0.9", {10, 1, 0, 9}}, // decimal, as the address is sent
        {"192.168.1.256", {0, 0, 0, 0}},
        {"1.2.3", {0, 0, 0, 0}},
        {"1234", {0, 0, 0, 0}},
        {"...", {0, 0, 0, 0}},
        {"", {0, 0, 0, 0}},
        {std::string("127.0.0.1\0x", 11), {0, 0, 0, 0}},
        {std::string(300, 'a'), {0, 0, 0, 0}}, // too long for a host name
    };
    for (const auto& [host, expected] : cases) {
        Bytes addr{9, 9, 9, 9};
        EXPECT_NO_THROW(ResolveHostAddress(host, addr));
        EXPECT_EQ(addr, expected) << host.substr(0, 20);
    }
}

TEST(PingHost, LoopbackAnswersFirstAttemptWithoutPause) {
    std::uint32_t rtt = 99;
    std::uint8_t ttl = 0;
    const auto start = Clock::now();
    ASSERT_TRUE(PingHost("127.0.0.1", 1000, 3, rtt, ttl));
    EXPECT_LT(MsSince(start), 400); // no 500 ms pause
    EXPECT_LT(rtt, 400u);
    EXPECT_GT(ttl, 0);
}

TEST(PingHost, EachSocketKindMatchesItsReply) {
    int opened = 0;
    for (platform::TIcmpKind kind : {platform::TIcmpKind::Datagram, platform::TIcmpKind::Raw}) {
        auto icmp = platform::TIcmpEcho::Open(kind);
        if (!icmp)
            continue; // not allowed to this user here; the network test forces both
        ++opened;
        EXPECT_EQ(icmp->Kind(), kind);
        for (int i = 0; i < 3; ++i) {
            std::uint32_t rtt = 0;
            std::uint8_t ttl = 0;
            EXPECT_TRUE(icmp->Echo({127, 0, 0, 1}, 1000, rtt, ttl)) << int(kind);
            EXPECT_EQ(ttl, 64) << int(kind);
        }
    }
    EXPECT_GT(opened, 0);
}

TEST(PingHost, UnusableAddressCostsOnlyThePausePerAttempt) {
    // 0.0.0.0 is what a failed lookup gives; it must not reach this host.
    struct Case {
        const char* host;
        std::uint8_t attempts;
        long long minMs;
        long long maxMs;
    };
    const Case cases[] = {
        {"0.0.0.0", 1, 480, 900},
        {"192.168.1.256", 0, 480, 900}, // 0 attempts act as 1
        {"0.0.0.0", 2, 980, 1500},
    };
    for (const Case& c : cases) {
        std::uint32_t rtt = 7;
        std::uint8_t ttl = 7;
        const auto start = Clock::now();
        EXPECT_FALSE(PingHost(c.host, 200, c.attempts, rtt, ttl)) << c.host;
        const long long took = MsSince(start);
        EXPECT_GE(took, c.minMs) << c.host;
        EXPECT_LT(took, c.maxMs) << c.host;
        EXPECT_EQ(rtt, 0u);
        EXPECT_EQ(ttl, 0);
    }
}

// The fake ping program (fakeping.cpp) with its log in a temporary file.
class PingProgramEcho : public testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/qv-fakeping-XXXXXX";
        const int fd = ::mkstemp(name);
        ASSERT_GE(fd, 0);
        ::close(fd);
        log_ = name;
        ::setenv("QV_FAKEPING_LOG", log_.c_str(), 1);
        ::setenv("QV_FAKEPING_ANSWERS", "127.0.0.1,10.1.2.3", 1);
        ::unsetenv("QV_FAKEPING_STATUS");
    }
    void TearDown() override {
        ::unsetenv("QV_FAKEPING_LOG");
        ::unsetenv("QV_FAKEPING_ANSWERS");
        ::unsetenv("QV_FAKEPING_STATUS");
        std::remove(log_.c_str());
    }
    // The argument lines of every run so far.
    std::vector<std::string> Runs() const {
        std::vector<std::string> lines;
        std::ifstream in(log_);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    std::string log_;
};

TEST_F(PingProgramEcho, OneRunPerRequestWithTheTimeOutInSeconds) {
    auto echo = platform::OpenPingProgram(QV_FAKEPING);
    ASSERT_NE(echo, nullptr);
    EXPECT_EQ(echo->Kind(), platform::TIcmpKind::Program);
    std::uint32_t rtt = 99;
    std::uint8_t ttl = 99;
    EXPECT_TRUE(echo->Echo({10, 1, 2, 3}, 1500, rtt, ttl));
    EXPECT_EQ(ttl, 0); // the program's report is not read
    EXPECT_FALSE(echo->Echo({10, 1, 2, 4}, 200, rtt, ttl));
    EXPECT_FALSE(echo->Echo({10, 1, 2, 4}, 0, rtt, ttl));
    // Any status but 0 is no reply ("network unreachable" ends with 2).
    ::setenv("QV_FAKEPING_STATUS", "2", 1);
    EXPECT_FALSE(echo->Echo({10, 1, 2, 4}, 200, rtt, ttl));
    EXPECT_FALSE(echo->Echo({0, 0, 0, 0}, 200, rtt, ttl)); // never run
    // Opening checks that the program can ping at all, on loopback.
    EXPECT_EQ(Runs(), (std::vector<std::string>{
                          "-n -q -c 1 -s 32 -W 1.000 127.0.0.1",
                          "-n -q -c 1 -s 32 -W 1.500 10.1.2.3",
                          "-n -q -c 1 -s 32 -W 0.200 10.1.2.4",
                          "-n -q -c 1 -s 32 -W 0.001 10.1.2.4", // 0 would wait for ever
                          "-n -q -c 1 -s 32 -W 0.200 10.1.2.4",
                      }));
}

TEST_F(PingProgramEcho, UnusableProgramIsNoFallback) {
    EXPECT_EQ(platform::OpenPingProgram(""), nullptr);
    EXPECT_EQ(platform::OpenPingProgram("/nonexistent/ping"), nullptr);
    EXPECT_EQ(platform::OpenPingProgram(std::string(QV_FAKEPING) + "\""), nullptr);
    EXPECT_EQ(platform::OpenPingProgram("/etc/hostname"), nullptr); // not executable
    // A program that cannot ping loopback (no privilege of its own) could not
    // tell an address in use from a free one.
    ::setenv("QV_FAKEPING_ANSWERS", "", 1);
    ::setenv("QV_FAKEPING_STATUS", "2", 1);
    EXPECT_EQ(platform::OpenPingProgram(QV_FAKEPING), nullptr);
    EXPECT_EQ(Runs().size(), 1u);
}

TEST(PingProgramPath, SeamThenEnvironmentThenSystem) {
    ::unsetenv("QUORVET_PING_PROGRAM");
    EXPECT_EQ(PingProgram(), platform::SystemPingProgram());
    ::setenv("QUORVET_PING_PROGRAM", "", 1);
    EXPECT_EQ(PingProgram(), ""); // set but empty: none
    ::setenv("QUORVET_PING_PROGRAM", "/opt/ping", 1);
    EXPECT_EQ(PingProgram(), "/opt/ping");
    OverridePingProgram("/seam/ping");
    EXPECT_EQ(PingProgram(), "/seam/ping");
    OverridePingProgram(std::nullopt);
    ::unsetenv("QUORVET_PING_PROGRAM");
}

// Runs in a child: with no file descriptors left, no ICMP socket opens; and
// no ping program to fall back to (a program that cannot run is no fallback
// either, see PingProgramEcho.UnusableProgramIsNoFallback).
[[noreturn]] void PingWithoutDescriptors() {
    OverridePingProgram("");
    rlimit saved{};
    getrlimit(RLIMIT_NOFILE, &saved);
    rlimit none = saved;
    none.rlim_cur = 0;
    setrlimit(RLIMIT_NOFILE, &none);
    std::uint32_t rtt = 0;
    std::uint8_t ttl = 0;
    try {
        PingHost("127.0.0.1", 100, 1, rtt, ttl);
    } catch (const Exception& e) {
        // Descriptors back first: sanitizer checks need some.
        setrlimit(RLIMIT_NOFILE, &saved);
        std::_Exit(e.Message() == "Invalid handle" ? 0 : 2);
    }
    std::_Exit(3);
}

TEST(PingHostDeathTest, NoSocketRaisesInvalidHandle) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(PingWithoutDescriptors(), ::testing::ExitedWithCode(0), "");
}

} // namespace
