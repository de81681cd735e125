// The system side of the ARP-table way: the neighbour command line and the
// bounded connection attempt (loopback only).

#include "platform/Neighbour.h"
#include "platform/Process.h"
#include "support/FakeIPChangeServices.h"

#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using platform::AdapterRecord;

struct TCommandCase {
    const char* name;
    const char* ip;
    std::vector<AdapterRecord> adapters;
    const char* dev; // nullptr: refused
};

class NeighbourCommand : public testing::TestWithParam<TCommandCase> {};

TEST_P(NeighbourCommand, EntryOnTheAdapterThatReachesTheAddress) {
    const TCommandCase& c = GetParam();
    if (!c.dev) {
        EXPECT_THROW(platform::StaticNeighbourCommandLine(c.ip, "00-20-4a-01-02-0F", c.adapters),
                     Exception);
        return;
    }
    const std::string line =
        platform::StaticNeighbourCommandLine(c.ip, "00-20-4a-01-02-0F", c.adapters);
    // Split the way the process runner splits it: no shell, fixed arguments.
    const std::vector<std::string> args = platform::SplitCommandLine(line);
    ASSERT_EQ(args.size(), 10u) << line;
    EXPECT_TRUE(args[0] == "ip" ||
                (args[0].size() > 3 && args[0].substr(args[0].size() - 3) == "/ip"))
        << args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    EXPECT_EQ(rest,
              (std::vector<std::string>{"neigh", "replace", c.ip, "lladdr", "00:20:4a:01:02:0F",
                                        "dev", c.dev, "nud", "permanent"}));
}

INSTANTIATE_TEST_SUITE_P(
    Neighbour, NeighbourCommand,
    testing::Values(TCommandCase{"FirstSubnetMatch",
                                 "10.77.2.20",
                                 {Adapter("qv0", {{"10.77.1.1", "255.255.255.0"}}),
                                  Adapter("qv1", {{"10.77.2.1", "255.255.255.0"}}),
                                  Adapter("qv2", {{"10.77.0.1", "255.255.0.0"}})},
                                 "qv1"},
                    TCommandCase{"SecondAddressOfAnAdapter",
                                 "172.16.5.5",
                                 {Adapter("eth0", {{"10.0.0.2", "255.0.0.0"},
                                                   {"172.16.0.1", "255.255.0.0"}})},
                                 "eth0"},
                    // An adapter without a configured address reaches nothing.
                    TCommandCase{"UnconfiguredAdapterSkipped",
                                 "10.1.1.1",
                                 {Adapter("qv0", {{"0.0.0.0", "0.0.0.0"}}),
                                  Adapter("br-lan", {{"10.1.1.254", "255.255.255.0"}})},
                                 "br-lan"},
                    TCommandCase{"NoSubnetContainsIt",
                                 "192.168.7.7",
                                 {Adapter("qv0", {{"10.77.1.1", "255.255.255.0"}})},
                                 nullptr},
                    // A name that would change how the line is split is refused.
                    TCommandCase{"QuoteInInterfaceName",
                                 "10.77.1.5",
                                 {Adapter("a\"b", {{"10.77.1.1", "255.255.255.0"}})},
                                 nullptr}),
    [](const testing::TestParamInfo<TCommandCase>& info) { return info.param.name; });

struct TSocket {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ~TSocket() {
        if (fd >= 0)
            ::close(fd);
    }
    int BindLoopback() {
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0)
            return -1;
        socklen_t len = sizeof sa;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
        return ntohs(sa.sin_port);
    }
};

TEST(ConnectAttempt, ListeningPortConnects) {
    TSocket server;
    const int port = server.BindLoopback();
    ASSERT_GT(port, 0);
    ASSERT_EQ(::listen(server.fd, 4), 0);
    EXPECT_EQ(platform::TcpConnectAttempt("127.0.0.1", port, 2000),
              platform::TConnectOutcome::Connected);
}

TEST(ConnectAttempt, ClosedPortIsRefused) {
    int port = 0;
    {
        TSocket probe;
        port = probe.BindLoopback();
    }
    ASSERT_GT(port, 0);
    EXPECT_EQ(platform::TcpConnectAttempt("127.0.0.1", port, 2000),
              platform::TConnectOutcome::Refused);
}

TEST(ConnectAttempt, SilentPeerEndsAtTheTimeLimit) {
    // A listener whose accept queue is full drops further SYNs: the attempt
    // gets no answer at all, like a host that never replies.
    TSocket server;
    const int port = server.BindLoopback();
    ASSERT_GT(port, 0);
    ASSERT_EQ(::listen(server.fd, 0), 0);
    std::vector<std::unique_ptr<TSocket>> fillers;
    for (int i = 0; i < 4; ++i) {
        fillers.push_back(std::make_unique<TSocket>());
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(static_cast<std::uint16_t>(port));
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        timeval tv{0, 200000};
        ::setsockopt(fillers.back()->fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        ::connect(fillers.back()->fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    }
    const auto start = std::chrono::steady_clock::now();
    const auto outcome = platform::TcpConnectAttempt("127.0.0.1", port, 300);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    EXPECT_EQ(outcome, platform::TConnectOutcome::NoAnswer);
    EXPECT_GE(ms, 250);
    EXPECT_LT(ms, 1500);
}

} // namespace
