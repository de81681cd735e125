// Checks the simulator and the test network from the computer's side, with a
// plain UDP client: every reply field, every fault switch, both ways of
// changing an address, and that no datagram can bring the simulator down.

#include "common/TestNet.h"

#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <regex>
#include <set>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kPort = 30718;

struct TRx {
    std::string data;
    std::string from;
    int port = 0;
    Clock::duration after{};
};

std::string Bytes(std::initializer_list<int> b) {
    std::string s;
    for (int v : b)
        s += static_cast<char>(v);
    return s;
}

const std::string kDiscovery = Bytes({0, 0, 0, 0xF6});
const std::string kInfo = Bytes({0, 0, 0, 0xE4});
const std::string kSetup = Bytes({0, 0, 0, 0xE6});

std::string Hex(const std::string& bytes) {
    static const char* hex = "0123456789ABCDEF";
    std::string s;
    for (unsigned char c : bytes) {
        s += hex[c >> 4];
        s += hex[c & 15];
    }
    return s;
}

// A UDP socket bound to one local address, port chosen by the system.
class TUdp {
public:
    explicit TUdp(const std::string& local) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        EXPECT_GE(fd_, 0);
        const int one = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
        const int big = 4 << 20;
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
        sockaddr_in a = Addr(local, 0);
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a), 0) << local;
        socklen_t len = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    ~TUdp() { ::close(fd_); }
    TUdp(const TUdp&) = delete;
    TUdp& operator=(const TUdp&) = delete;

    int Port() const { return port_; }

    void Send(const std::string& ip, const std::string& data) {
        sockaddr_in to = Addr(ip, kPort);
        sent_ = Clock::now();
        ASSERT_EQ(
            ::sendto(fd_, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
            static_cast<ssize_t>(data.size()))
            << ip << ": " << std::strerror(errno);
    }

    // One datagram or nothing; a zero-length datagram is a datagram.
    std::optional<TRx> Receive(std::chrono::milliseconds timeout) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0)
            return std::nullopt;
        static char buf[70000];
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t n =
            ::recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0)
            return std::nullopt;
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
        return TRx{std::string(buf, static_cast<std::size_t>(n)), text, ntohs(from.sin_port),
                   Clock::now() - sent_};
    }

    // Everything until the line has been quiet for `quiet`, 2.5 s at most (a
    // chattering device is never quiet).
    std::vector<TRx> Collect(std::chrono::milliseconds quiet) {
        std::vector<TRx> out;
        const auto end = Clock::now() + 2500ms;
        while (Clock::now() < end) {
            auto rx = Receive(quiet);
            if (!rx)
                break;
            out.push_back(*rx);
        }
        return out;
    }

    std::vector<TRx> Ask(const std::string& ip, const std::string& request,
                         std::chrono::milliseconds quiet = 250ms) {
        Send(ip, request);
        return Collect(quiet);
    }

private:
    static sockaddr_in Addr(const std::string& ip, int port) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        ::inet_pton(AF_INET, ip.c_str(), &a.sin_addr);
        return a;
    }
    int fd_ = -1;
    int port_ = 0;
    Clock::time_point sent_ = Clock::now();
};

unsigned Byte(const std::string& s, std::size_t i) {
    return static_cast<unsigned char>(s.at(i));
}

std::string Mac(const std::string& reply) {
    char buf[18];
    std::snprintf(buf, sizeof buf, "%02X-%02X-%02X-%02X-%02X-%02X", Byte(reply, 24),
                  Byte(reply, 25), Byte(reply, 26), Byte(reply, 27), Byte(reply, 28),
                  Byte(reply, 29));
    return buf;
}

std::string IpSetup(int mac5, int mac6, std::array<int, 4> ip) {
    return Bytes({0, 0, 0, 0xFC}) + "IP-SETUP" +
           Bytes({0, 0, mac5, mac6, ip[0], ip[1], ip[2], ip[3]});
}

struct TListed {
    int adapter;
    std::string ip;
    bool silent;
};

// The devices of the running network and the computer's adapter addresses,
// read back from its description.
std::vector<TListed> ListedDevices(std::vector<std::string>& adapters) {
    std::vector<TListed> out;
    std::ifstream f(std::string(std::getenv("QVNET_DIR")) + "/netfile");
    std::string line;
    const std::regex adapter(R"(^\s*adapter\s+([0-9.]+)/)");
    const std::regex device(R"(^\s*device\s+(\d+)\s)");
    const std::regex ip(R"(\sip=(\S+))");
    const std::regex from(R"(\sfrom=(\S+))");
    while (std::getline(f, line)) {
        std::smatch m, mi, mf;
        if (std::regex_search(line, m, adapter))
            adapters.push_back(m[1]);
        if (!std::regex_search(line, m, device) || !std::regex_search(line, mi, ip))
            continue;
        const bool hasFrom = std::regex_search(line, mf, from);
        out.push_back({std::stoi(m[1]), hasFrom ? mf[1].str() : mi[1].str(),
                       std::regex_search(line, std::regex(R"(\ssilent(\s|$))"))});
    }
    return out;
}

// Must come first: the address tests move devices.
TEST(Broadcast, EveryListedDeviceAnswersOnItsAdapterOnly) {
    std::vector<std::string> adapters;
    const auto devices = ListedDevices(adapters);
    ASSERT_FALSE(devices.empty());
    std::map<int, std::set<std::string>> expected;
    for (const auto& d : devices)
        if (!d.silent)
            expected[d.adapter].insert(d.ip);
    for (const auto& [adapter, ips] : expected) {
        ASSERT_LE(static_cast<std::size_t>(adapter), adapters.size());
        TUdp udp(adapters[static_cast<std::size_t>(adapter - 1)]);
        std::set<std::string> got;
        for (const auto& rx : udp.Ask("255.255.255.255", kDiscovery, 1000ms))
            got.insert(rx.from);
        EXPECT_EQ(got, ips) << "adapter " << adapter;
        std::printf("adapter %d: %zu devices answered\n", adapter, got.size());
    }
}

TEST(Broadcast, EveryDeviceOfTheSegmentLogsTheQueryExactly) {
    TDevsimLog log;
    const auto mark = log.Mark();
    TUdp udp("10.77.1.1");
    udp.Ask("255.255.255.255", kDiscovery, 600ms);
    const std::string from = "10.77.1.1:" + std::to_string(udp.Port());
    const auto rx = log.Select(
        [&](const TDevsimLine& l) { return l.kind == "RX" && l.Get("from") == from; }, mark);
    std::set<std::string> devs;
    for (const auto& l : rx) {
        EXPECT_EQ(l.Get("to"), "255.255.255.255");
        EXPECT_EQ(l.Get("len"), "4");
        EXPECT_EQ(l.Get("data"), "000000F6");
        devs.insert(l.Get("dev"));
    }
    // Silent devices hear it too; devices of other adapters do not.
    EXPECT_EQ(devs.size(), 9u);
    EXPECT_TRUE(devs.count("10.77.1.17"));
    EXPECT_FALSE(devs.count("10.77.2.21"));
}

TEST(Replies, EveryFieldOfAnOrdinaryDevice) {
    TUdp udp("10.77.1.1");
    auto disc = udp.Ask("10.77.1.10", kDiscovery);
    ASSERT_EQ(disc.size(), 1u);
    EXPECT_EQ(disc[0].from, "10.77.1.10");
    EXPECT_EQ(disc[0].port, kPort);
    std::string want(30, '\0');
    want[3] = static_cast<char>(0xF7);
    want.replace(24, 6, Bytes({0x00, 0x20, 0x4A, 0x01, 0x02, 0x03}));
    EXPECT_EQ(Hex(disc[0].data), Hex(want));

    auto info = udp.Ask("10.77.1.10", kInfo);
    ASSERT_EQ(info.size(), 1u);
    want.assign(130, '\0');
    want[3] = static_cast<char>(0xE5);
    want.replace(4, 11, "Boiler room");
    want.replace(81, 6, Bytes({'A', 1, 4, 5, 2, 8}));
    EXPECT_EQ(Hex(info[0].data), Hex(want));

    auto setup = udp.Ask("10.77.1.10", kSetup);
    ASSERT_EQ(setup.size(), 1u);
    want.assign(130, '\0');
    want[3] = static_cast<char>(0xE7);
    want.replace(36, 10, "Setup desc");
    want[81] = 'A';
    EXPECT_EQ(Hex(setup[0].data), Hex(want));
}

TEST(Replies, FullLengthDescriptionsFillAndStatusByte) {
    TUdp udp("10.77.1.1");
    auto info = udp.Ask("10.77.1.11", kInfo);
    ASSERT_EQ(info.size(), 1u);
    const std::string& r = info[0].data;
    ASSERT_EQ(r.size(), 130u);
    EXPECT_EQ(r.substr(4, 65), "I2345678901234567890123456789012345678901234567890123456789012345");
    EXPECT_EQ(Byte(r, 69), 0xEEu); // no terminator after 65 bytes, the fill follows
    EXPECT_EQ(Byte(r, 81), 0x5Au);
    EXPECT_EQ(Byte(r, 82), 6u);
    EXPECT_EQ(Byte(r, 87), 0xEEu);
    EXPECT_EQ(Byte(r, 0), 0u);

    auto setup = udp.Ask("10.77.1.11", kSetup);
    ASSERT_EQ(setup.size(), 1u);
    const std::string& s = setup[0].data;
    ASSERT_EQ(s.size(), 130u);
    std::string desc = "S2345678901234567890123456789012345678901234567890123456789012345";
    desc[81 - 36] = 0x5A; // the status byte lies inside the description and wins
    EXPECT_EQ(s.substr(36, 65), desc);
    EXPECT_EQ(Byte(s, 101), 0xEEu);
    EXPECT_EQ(Byte(s, 35), 0xEEu);

    auto quoted = udp.Ask("10.77.1.18", kInfo);
    ASSERT_EQ(quoted.size(), 1u);
    EXPECT_EQ(quoted[0].data.substr(4, 14), std::string("quote \" and \xE9") + '\0');
}

struct TFaultCase {
    const char* name;
    const char* ip;
    std::string request;
    std::size_t count;  // replies
    int length;         // of each reply
    int minMs, maxMs;   // when the first reply arrives (the wait for none)
    const char* source; // the reply's sender
};

TEST(Faults, EverySwitchShapesTheReplies) {
    const TFaultCase cases[] = {
        {"plain discovery", "10.77.1.10", kDiscovery, 1, 30, 0, 150, "10.77.1.10"},
        {"delay before discovery", "10.77.1.12", kDiscovery, 1, 30, 290, 600, "10.77.1.12"},
        {"delay before info", "10.77.1.12", kInfo, 1, 130, 290, 600, "10.77.1.12"},
        {"delay before setup", "10.77.1.12", kSetup, 1, 130, 290, 600, "10.77.1.12"},
        {"disc_delay", "10.77.1.13", kDiscovery, 1, 30, 390, 700, "10.77.1.13"},
        {"disc_delay spares info", "10.77.1.13", kInfo, 1, 130, 0, 150, "10.77.1.13"},
        {"dup", "10.77.1.14", kDiscovery, 3, 30, 0, 150, "10.77.1.14"},
        {"dup spares info", "10.77.1.14", kInfo, 1, 130, 0, 150, "10.77.1.14"},
        {"disc_len", "10.77.1.15", kDiscovery, 1, 29, 0, 150, "10.77.1.15"},
        {"info_len", "10.77.1.15", kInfo, 1, 131, 0, 150, "10.77.1.15"},
        {"setup_len 0", "10.77.1.15", kSetup, 1, 0, 0, 150, "10.77.1.15"},
        {"no_info", "10.77.1.16", kInfo, 0, 0, 0, 300, ""},
        {"no_setup", "10.77.1.16", kSetup, 0, 0, 0, 300, ""},
        {"no_info still discovered", "10.77.1.16", kDiscovery, 1, 30, 0, 150, "10.77.1.16"},
        {"silent discovery", "10.77.1.17", kDiscovery, 0, 0, 0, 300, ""},
        {"silent info", "10.77.1.17", kInfo, 0, 0, 0, 300, ""},
        {"silent setup", "10.77.1.17", kSetup, 0, 0, 0, 300, ""},
        {"from discovery", "10.77.1.18", kDiscovery, 1, 30, 0, 150, "10.77.1.118"},
        {"from info", "10.77.1.18", kInfo, 1, 130, 0, 150, "10.77.1.118"},
        {"unknown command", "10.77.1.10", Bytes({0, 0, 0, 0xE5}), 0, 0, 0, 300, ""},
        {"request too long", "10.77.1.10", kDiscovery + '\0', 0, 0, 0, 300, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TUdp udp("10.77.1.1");
        const auto rx = udp.Ask(c.ip, c.request, std::chrono::milliseconds(c.maxMs + 300));
        ASSERT_EQ(rx.size(), c.count);
        for (const auto& r : rx) {
            EXPECT_EQ(static_cast<int>(r.data.size()), c.length);
            EXPECT_EQ(r.from, c.source);
            EXPECT_EQ(r.port, kPort);
        }
        if (!rx.empty()) {
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(rx[0].after);
            EXPECT_GE(ms.count(), c.minMs);
            EXPECT_LE(ms.count(), c.maxMs);
        }
        if (c.length >= 30 && c.request == kDiscovery) {
            for (const auto& r : rx)
                EXPECT_EQ(Mac(r.data).substr(0, 8), "00-20-4A");
        }
    }
}

TEST(Faults, ChatterRepeatsTheDiscoveryReply) {
    TUdp udp("10.77.3.1");
    udp.Send("10.77.3.30", kDiscovery);
    std::vector<TRx> rx;
    const auto end = Clock::now() + 650ms;
    while (Clock::now() < end)
        if (auto r = udp.Receive(50ms))
            rx.push_back(*r);
    EXPECT_GE(rx.size(), 4u); // the answer and one per 100 ms after it
    EXPECT_LE(rx.size(), 8u);
    for (const auto& r : rx)
        EXPECT_EQ(Mac(r.data), "00-20-4A-03-30-30");
}

TEST(IpChange, IpSetupMovesOnlyTheDeviceWithThatMacSuffix) {
    TDevsimLog log;
    auto mark = log.Mark();
    TUdp udp("10.77.2.1");
    const std::string datagram = IpSetup(0x21, 0x21, {10, 77, 2, 121});
    udp.Send("255.255.255.255", datagram);
    auto change = log.WaitFor([](const TDevsimLine& l) { return l.kind == "IPCHANGE"; }, 10s, mark);
    ASSERT_TRUE(change);
    EXPECT_EQ(change->Get("dev"), "10.77.2.21");
    EXPECT_EQ(change->Get("mac"), "00-20-4A-02-21-21");
    EXPECT_EQ(change->Get("new"), "10.77.2.121");
    EXPECT_EQ(change->Get("via"), "ipsetup");

    // Logged exactly as sent, by every device of the segment.
    const std::string from = "10.77.2.1:" + std::to_string(udp.Port());
    const auto rx = log.Select(
        [&](const TDevsimLine& l) { return l.kind == "RX" && l.Get("from") == from; }, mark);
    EXPECT_EQ(rx.size(), 4u);
    for (const auto& l : rx) {
        EXPECT_EQ(l.Get("data"), "000000FC49502D5345545550000021210A4D0279");
        EXPECT_EQ(l.Get("len"), "20");
        EXPECT_EQ(l.Get("to"), "255.255.255.255");
    }

    auto moved = udp.Ask("10.77.2.121", kDiscovery);
    ASSERT_EQ(moved.size(), 1u);
    EXPECT_EQ(moved[0].from, "10.77.2.121");
    EXPECT_EQ(Mac(moved[0].data), "00-20-4A-02-21-21");
    EXPECT_TRUE(udp.Ask("10.77.2.21", kDiscovery).empty());
    // 10.77.2.24 shares the fifth octet only and stays.
    EXPECT_EQ(udp.Ask("10.77.2.24", kDiscovery).size(), 1u);
    EXPECT_EQ(log.Select([](const TDevsimLine& l) { return l.kind == "IPCHANGE"; }, mark).size(),
              1u);
}

TEST(IpChange, DhcpTakesTheConfiguredAddressOrKeepsTheOldOne) {
    TDevsimLog log;
    TUdp udp("10.77.2.1");
    auto mark = log.Mark();
    udp.Send("255.255.255.255", IpSetup(0x22, 0x22, {0, 0, 0, 0}));
    auto dhcp = log.WaitFor([](const TDevsimLine& l) { return l.kind == "IPCHANGE"; }, 10s, mark);
    ASSERT_TRUE(dhcp);
    EXPECT_EQ(dhcp->Get("new"), "10.77.2.122");
    EXPECT_EQ(dhcp->Get("via"), "dhcp");
    EXPECT_EQ(udp.Ask("10.77.2.122", kDiscovery).size(), 1u);

    mark = log.Mark();
    udp.Send("255.255.255.255", IpSetup(0x23, 0x23, {0, 0, 0, 0}));
    auto kept = log.WaitFor([](const TDevsimLine& l) { return l.kind == "IPCHANGE"; }, 10s, mark);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->Get("new"), "10.77.2.23");
    EXPECT_EQ(udp.Ask("10.77.2.23", kDiscovery).size(), 1u);

    // Addresses no device can take are refused.
    mark = log.Mark();
    udp.Send("255.255.255.255", IpSetup(0x23, 0x23, {255, 255, 255, 255}));
    auto refused = log.WaitFor([](const TDevsimLine& l) { return l.kind == "IGNORED"; }, 10s, mark);
    ASSERT_TRUE(refused);
    EXPECT_EQ(udp.Ask("10.77.2.23", kDiscovery).size(), 1u);
}

TEST(IpChange, ArpEntryAndConnectionToPortOneMoveTheDevice) {
    TDevsimLog log;
    const auto mark = log.Mark();
    ASSERT_EQ(std::system("ip neigh replace 10.77.2.123 lladdr 00:20:4a:02:23:23 dev qv1 nud "
                          "permanent"),
              0);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(1);
    ::inet_pton(AF_INET, "10.77.2.123", &to.sin_addr);
    ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
    pollfd p{fd, POLLOUT, 0};
    ::poll(&p, 1, 3000); // refused once the device holds the address
    ::close(fd);
    auto change = log.WaitFor([](const TDevsimLine& l) { return l.kind == "IPCHANGE"; }, 10s, mark);
    ASSERT_TRUE(change);
    EXPECT_EQ(change->Get("mac"), "00-20-4A-02-23-23");
    EXPECT_EQ(change->Get("new"), "10.77.2.123");
    EXPECT_EQ(change->Get("via"), "arp");

    TUdp udp("10.77.2.1");
    auto moved = udp.Ask("255.255.255.255", kDiscovery, 500ms);
    std::set<std::string> from;
    for (const auto& r : moved)
        from.insert(r.from);
    EXPECT_TRUE(from.count("10.77.2.123"));
    EXPECT_FALSE(from.count("10.77.2.23"));
}

TEST(Robustness, GarbageOfAnyLengthLeavesEveryDeviceWorking) {
    TDevsimLog log;
    const auto mark = log.Mark();
    TUdp udp("10.77.1.1");
    std::mt19937 rng(4711);
    std::vector<std::size_t> lengths = {0,  1,   3,   4,   5,    19,   20,   21,
                                        30, 129, 130, 131, 1472, 1473, 9000, 65507};
    for (int k = 0; k < 200; ++k)
        lengths.push_back(rng() % 2000);
    int sent = 0;
    for (std::size_t len : lengths) {
        std::string junk(len, '\0');
        for (auto& c : junk)
            c = static_cast<char>(rng());
        if (len >= 4)
            junk[0] = junk[1] = junk[2] = 0; // also near-miss requests
        udp.Send(sent % 2 ? "10.77.1.10" : "255.255.255.255", junk);
        ++sent;
        std::this_thread::sleep_for(1ms); // a flood would only test the socket buffers
    }
    udp.Collect(300ms);
    auto last = log.WaitFor(
        [&](const TDevsimLine& l) {
            return l.kind == "RX" && l.Get("dev") == "10.77.1.10" &&
                   l.Get("len") == std::to_string(lengths.back());
        },
        3s, mark);
    EXPECT_TRUE(last);
    const auto big = log.Select(
        [](const TDevsimLine& l) { return l.kind == "RX" && l.Get("len") == "65507"; }, mark);
    ASSERT_FALSE(big.empty());
    EXPECT_EQ(big[0].Get("data").size(), 2u * 65507);
    EXPECT_TRUE(log.Select([](const TDevsimLine& l) { return l.kind == "FATAL"; }).empty());
    for (const char* ip : {"10.77.1.10", "10.77.1.11", "10.77.1.14"})
        EXPECT_FALSE(udp.Ask(ip, kDiscovery).empty()) << ip;
}

struct TBadFile {
    const char* text;
    const char* message;
};

TEST(Description, MalformedLinesAreRefusedNamingLineAndField) {
    const TBadFile cases[] = {
        {"device 1 ip=10.0.0.2 mac=00-20-4A-00-00-01 kind=256", ":1: field 'kind'"},
        {"# c\n\ndevice 1 ip=10.0.0.300 mac=00-20-4A-00-00-01", ":3: field 'ip'"},
        {"device 1 mac=00-20-4A-00-00-01", ":1: field 'ip': missing"},
        {"device 1 ip=10.0.0.2 mac=00-20-4A-00-00", ":1: field 'mac'"},
        {"device 1 ip=10.0.0.2 mac=00-20-4A-00-00-01 version=1.2", ":1: field 'version'"},
        {"device 1 ip=10.0.0.2 mac=00-20-4A-00-00-01 info=\"open",
         ":1: field 'info': missing closing quote"},
        {"device 1 ip=10.0.0.2 mac=00-20-4A-00-00-01 "
         "setup=\"123456789012345678901234567890123456789012345678901234567890123456\"",
         ":1: field 'setup': description is 66 bytes"},
        {"device 1 ip=10.0.0.2 mac=00-20-4A-00-00-01 status=AB", ":1: field 'status'"},
        {"device 1 ip=10.0.0.2 mac=00-20-4A-00-00-01 colour=red", ":1: field 'colour': unknown"},
        {"device 1 ip=10.0.0.2 mac=00-20-4A-00-00-01 silent=1", ":1: field 'silent'"},
        {"device 1 ip=10.0.0.2 mac=00-20-4A-00-00-01 delay=-5", ":1: field 'delay'"},
        {"adapter 10.0.0.1/24\ndevice 2 ip=10.0.0.2 mac=00-20-4A-00-00-01", ":2: field 'device'"},
        {"device 1 ip=10.0.0.2 mac=00-20-4A-00-00-01\ndevice 1 ip=10.0.0.2 mac=00-20-4A-00-00-02",
         ":2: field 'ip'"},
        {"adapter 10.0.0.1/33", ":1: field 'adapter'"},
        {"computer 10.0.0.1", ":1: unknown line"},
    };
    char dir[] = "/tmp/qvdescXXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string path = std::string(dir) + "/bad" + std::to_string(n++) + ".net";
        std::ofstream(path) << c.text << "\n";
        const std::string cmd = std::string(DEVSIM_PATH) + " --plan " + path + " 2>&1";
        FILE* p = ::popen(cmd.c_str(), "r");
        ASSERT_NE(p, nullptr);
        std::string out;
        char buf[512];
        while (std::fgets(buf, sizeof buf, p))
            out += buf;
        const int status = ::pclose(p);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << out;
        EXPECT_NE(out.find(path + c.message), std::string::npos) << out;
        ::unlink(path.c_str());
    }
    ::rmdir(dir);
}

} // namespace

int main(int argc, char** argv) {
    RequireTestNetwork();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
