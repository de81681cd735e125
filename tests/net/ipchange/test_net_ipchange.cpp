// The IP change engine inside a private test network: the real link,
// adapter list, ping, process runner and connection attempt against
// quorvet-devsim. Each group runs in its own network (see CMakeLists.txt);
// none of this may run outside one.
#include "base/uErrors.h"
#include "common/TestNet.h"
#include "ipchange/uXPortIPChange.h"
#include "ipchange/uXPortIPChangeStrings.h"
#include "search/uXPortSearch.h"
#include "utils/uUtilsWinAPI.h"

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace IPChangeStrings;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string Mac1 = "00-20-4A-01-02-03"; // 10.77.1.10 behind qv0
const std::string Mac2 = "00-20-4A-01-02-05"; // 10.77.1.11 behind qv0
const std::string Mac3 = "00-20-4A-01-02-04"; // 10.77.2.20 behind qv1

long long MsSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// IP-SETUP datagrams the simulated devices received (RX of 20 bytes).
std::vector<TDevsimLine> IpSetupsReceived() {
    return TDevsimLog().Select(
        [](const TDevsimLine& l) { return l.kind == "RX" && l.Get("len") == "20"; });
}

// Tests of one group share the network: pass a Mark() to look only at newer lines.
std::vector<TDevsimLine> AddressChanges(std::size_t from = 0) {
    return TDevsimLog().Select([](const TDevsimLine& l) { return l.kind == "IPCHANGE"; }, from);
}

std::optional<TDevsimLine> WaitForChange(const std::string& mac) {
    return TDevsimLog().WaitFor(
        [&](const TDevsimLine& l) { return l.kind == "IPCHANGE" && l.Get("mac") == mac; }, 3s);
}

// The sending adapter of an RX line ("10.77.1.1:40000" -> "10.77.1.1").
std::string FromAddress(const TDevsimLine& l) {
    const std::string from = l.Get("from");
    return from.substr(0, from.find(':'));
}

const TXportPar* Find(const std::vector<TXportPar>& devices, const std::string& ip) {
    for (const TXportPar& d : devices)
        if (d.IP == ip)
            return &d;
    return nullptr;
}

std::vector<TXportPar> SearchAgain() {
    TXportSearch search;
    search.ReadTimeout = 300;
    search.Search();
    return search.Devices();
}

struct TNeighbour {
    std::string mac; // lower case with colons, as the kernel shows it
    std::string dev;
    bool permanent = false;
};

// The computer's ARP table as the kernel lists it.
std::optional<TNeighbour> Neighbour(const std::string& ip) {
    std::ifstream in("/proc/net/arp");
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string addr, hwType, flags, mac, mask, dev;
        fields >> addr >> hwType >> flags >> mac >> mask >> dev;
        if (addr != ip)
            continue;
        constexpr unsigned long Permanent = 0x04; // ATF_PERM
        return TNeighbour{mac, dev, (std::stoul(flags, nullptr, 16) & Permanent) != 0};
    }
    return std::nullopt;
}

struct TOutcome {
    bool ok = false;
    std::string message;
    int code = -1;
};

TOutcome Change(TXPortIPChange& engine, const std::string& mac, const std::string& ip,
                const std::string& adapter) {
    TOutcome o;
    o.ok = engine.ChangeIP(mac, ip, adapter, o.message, o.code);
    return o;
}

// The 20 bytes as the simulator logs them.
std::string ExpectedHex(const std::string& suffix, const std::string& addressHex) {
    return "000000FC49502D53455455500000" + suffix + addressHex;
}

TEST(OneAdapter, DatagramThroughTheFoundAdapterOnlyAndTheDeviceMoves) {
    TXPortIPChange engine;
    const TOutcome o = Change(engine, Mac1, "10.77.1.50", "10.77.1.1");
    EXPECT_TRUE(o.ok);
    EXPECT_EQ(o.code, 2);
    EXPECT_EQ(o.message, SIPChangeRequestSent);
    const auto change = WaitForChange(Mac1);
    ASSERT_TRUE(change) << "device did not take the address";
    EXPECT_EQ(change->Get("new"), "10.77.1.50");
    EXPECT_EQ(change->Get("via"), "ipsetup");

    // One datagram, broadcast from the adapter's address; both devices on
    // that segment see it, the one behind the other adapter does not.
    const auto rx = IpSetupsReceived();
    ASSERT_EQ(rx.size(), 2u);
    for (const TDevsimLine& l : rx) {
        EXPECT_EQ(FromAddress(l), "10.77.1.1");
        EXPECT_EQ(l.Get("to"), "255.255.255.255");
        EXPECT_EQ(l.Get("data"), ExpectedHex("0203", "0A4D0132"));
    }
    EXPECT_EQ(rx[0].Get("from"), rx[1].Get("from"));
    EXPECT_EQ(AddressChanges().size(), 1u);

    const auto devices = SearchAgain();
    const TXportPar* moved = Find(devices, "10.77.1.50");
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->MAC, Mac1);
    EXPECT_EQ(moved->AdapterIP, "10.77.1.1");
    EXPECT_EQ(Find(devices, "10.77.1.10"), nullptr);
    EXPECT_NE(Find(devices, "10.77.1.11"), nullptr);
}

TEST(AllAdapters, OneDatagramPerAdapterAndTheDeviceMoves) {
    TXPortIPChange engine;
    engine.AllAdapters = true;
    // The found-through adapter is not used in this mode.
    const TOutcome o = Change(engine, Mac3, "10.77.2.50", "");
    EXPECT_TRUE(o.ok);
    EXPECT_EQ(o.code, 2);
    ASSERT_TRUE(WaitForChange(Mac3));

    std::map<std::string, std::set<std::string>> fromByDevice; // device -> senders
    std::set<std::string> sockets;                             // sender address:port
    for (const TDevsimLine& l : IpSetupsReceived()) {
        EXPECT_EQ(l.Get("data"), ExpectedHex("0204", "0A4D0232"));
        fromByDevice[l.Get("mac")].insert(FromAddress(l));
        sockets.insert(l.Get("from"));
    }
    // Two sends, one per adapter, each seen only on its own segment.
    EXPECT_EQ(sockets.size(), 2u);
    EXPECT_EQ(fromByDevice[Mac1], (std::set<std::string>{"10.77.1.1"}));
    EXPECT_EQ(fromByDevice[Mac2], (std::set<std::string>{"10.77.1.1"}));
    EXPECT_EQ(fromByDevice[Mac3], (std::set<std::string>{"10.77.2.1"}));
    EXPECT_EQ(IpSetupsReceived().size(), 3u);

    const auto devices = SearchAgain();
    const TXportPar* moved = Find(devices, "10.77.2.50");
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->MAC, Mac3);
    EXPECT_EQ(moved->AdapterIP, "10.77.2.1");
}

TEST(Dhcp, ZeroAddressLetsTheDeviceTakeItsDhcpAddress) {
    TXPortIPChange engine;
    const TOutcome o = Change(engine, Mac3, "0.0.0.0", "10.77.2.1");
    EXPECT_TRUE(o.ok);
    EXPECT_EQ(o.code, 2);
    const auto change = WaitForChange(Mac3);
    ASSERT_TRUE(change);
    EXPECT_EQ(change->Get("via"), "dhcp");
    EXPECT_EQ(change->Get("new"), "10.77.2.77");
    const auto rx = IpSetupsReceived();
    ASSERT_EQ(rx.size(), 1u);
    EXPECT_EQ(rx[0].Get("data"), ExpectedHex("0204", "00000000"));
    EXPECT_NE(Find(SearchAgain(), "10.77.2.77"), nullptr);
}

TEST(Arp, PermanentEntryThenPortOneAndTheDeviceAnswersThere) {
    TXPortIPChange engine;
    engine.ArpOnly = true;
    const TOutcome o = Change(engine, Mac1, "10.77.1.60", "10.77.1.1");
    EXPECT_TRUE(o.ok);
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.message, SIPChangeTemporary);

    const auto entry = Neighbour("10.77.1.60");
    ASSERT_TRUE(entry) << "no neighbour entry";
    EXPECT_EQ(entry->mac, "00:20:4a:01:02:03");
    EXPECT_EQ(entry->dev, "qv0");
    EXPECT_TRUE(entry->permanent);

    // The simulator moves only on a TCP SYN to port 1 sent to its MAC.
    const auto change = WaitForChange(Mac1);
    ASSERT_TRUE(change);
    EXPECT_EQ(change->Get("via"), "arp");
    EXPECT_EQ(change->Get("new"), "10.77.1.60");
    EXPECT_TRUE(IpSetupsReceived().empty());

    std::uint32_t rtt = 0;
    std::uint8_t ttl = 0;
    EXPECT_TRUE(PingHost("10.77.1.60", 500, 3, rtt, ttl));
    const auto devices = SearchAgain();
    const TXportPar* moved = Find(devices, "10.77.1.60");
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->MAC, Mac1);
}

TEST(Arp, AddressThatNeverAnswersEndsWithinTheBound) {
    // No device has this MAC: the connection attempt gets no answer at all.
    const std::size_t mark = TDevsimLog().Mark();
    TXPortIPChange engine;
    engine.ArpOnly = true;
    const auto start = Clock::now();
    const TOutcome o = Change(engine, "00-20-4A-0F-0F-0F", "10.77.1.99", "");
    const long long ms = MsSince(start);
    // The attempt's outcome is not examined: the entry was made.
    EXPECT_EQ(o.code, 0);
    // Ping (about 3 s) plus an attempt bounded at 3 s, with room to spare.
    EXPECT_LT(ms, 9000);
    ASSERT_TRUE(Neighbour("10.77.1.99"));
    EXPECT_TRUE(Neighbour("10.77.1.99")->permanent);
    EXPECT_TRUE(AddressChanges(mark).empty());
}

// A runner whose commands end without effect, as for a user without the
// rights to change the ARP table.
class TIneffectiveRunner : public TProcessRunner {
public:
    bool RunAndWait(const std::string& commandLine, bool, int) override {
        lines.push_back(commandLine);
        return true;
    }
    std::vector<std::string> lines;
};

TEST(Arp, EntryNotMadeIsAnErrorAndNoAttemptFollows) {
    const std::size_t mark = TDevsimLog().Mark();
    TIneffectiveRunner runner;
    TXPortIPChangeServices services;
    services.Runner = &runner;
    TXPortIPChange engine(std::move(services));
    engine.ArpOnly = true;
    const TOutcome o = Change(engine, Mac2, "10.77.1.70", "");
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.message, SIPChangeError);
    ASSERT_EQ(runner.lines.size(), 1u);
    EXPECT_NE(runner.lines[0].find(" neigh replace 10.77.1.70 lladdr 00:20:4A:01:02:05 dev qv0 "),
              std::string::npos)
        << runner.lines[0];
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(AddressChanges(mark).empty());
}

struct TInUseCase {
    const char* ip;
    bool arp;
};

TEST(InUse, AnsweringAddressIsRefusedAndNothingIsSentOrRun) {
    for (const TInUseCase& c : {
             TInUseCase{"10.77.1.11", false}, // another device
             TInUseCase{"10.77.1.11", true},
             TInUseCase{"10.77.1.10", false}, // the device's own address
             TInUseCase{"10.77.2.1", true},   // the computer's own adapter
         }) {
        TXPortIPChange engine;
        engine.ArpOnly = c.arp;
        const TOutcome o = Change(engine, Mac1, c.ip, "10.77.1.1");
        EXPECT_FALSE(o.ok) << c.ip;
        EXPECT_EQ(o.code, 1) << c.ip;
        EXPECT_EQ(o.message, SIPChangeIPExists) << c.ip;
        const auto entry = Neighbour(c.ip);
        EXPECT_FALSE(entry && entry->permanent) << c.ip;
    }
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(IpSetupsReceived().empty());
    EXPECT_TRUE(AddressChanges().empty());
}

TEST(Syntax, Octet256IsPingedThenRefused) {
    for (bool arp : {false, true}) {
        TXPortIPChange engine;
        engine.ArpOnly = arp;
        const auto start = Clock::now();
        const TOutcome o = Change(engine, Mac1, "192.168.1.256", "10.77.1.1");
        // Three attempts, each followed by its pause, came first.
        EXPECT_GE(MsSince(start), 1400);
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(o.code, 1);
        EXPECT_EQ(o.message, SIPChangeIPSyntax);
    }
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(IpSetupsReceived().empty());
    EXPECT_TRUE(AddressChanges().empty());
}

TEST(ThreeAdapters, SecondUnusableSendsOneDatagramAndFails) {
    TXPortIPChangeServices services;
    services.AdapterAddresses = [](std::vector<std::string>& list) {
        GetAdapterAddresses(list);
        // The second adapter loses its address after the list was read.
        if (!RunAndWait("ip addr del 10.77.2.1/24 dev qv1", true, 5000))
            throw Exception("ip addr del did not end");
    };
    TXPortIPChange engine(std::move(services));
    engine.AllAdapters = true;
    const TOutcome o = Change(engine, "00-20-4A-03-03-10", "10.77.3.50", "");
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.message, SIPChangeError);
    std::this_thread::sleep_for(300ms);
    const auto rx = IpSetupsReceived();
    ASSERT_EQ(rx.size(), 1u);
    EXPECT_EQ(FromAddress(rx[0]), "10.77.1.1");
    EXPECT_EQ(rx[0].Get("mac"), "00-20-4A-03-01-10");
    EXPECT_TRUE(AddressChanges().empty());
}

struct TCliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Who runs the tool: root, or the unprivileged user "nobody" (setpriv), and
// the ping program it may fall back to (QUORVET_PING_PROGRAM; unset: the
// system's).
struct TCliUser {
    bool nobody = false;
    std::optional<std::string> pingProgram;
};

// Runs quorvet-cli with arguments (no shell): exit status, stdout, stderr.
TCliRun RunCliAs(const std::vector<std::string>& args, const TCliUser& user = {}) {
    TCliRun r;
    const std::string errFile = std::string(std::getenv("QVNET_DIR")) + "/cli-stderr.txt";
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return r;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        const int errFd = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (errFd >= 0) {
            ::dup2(errFd, 2);
            ::close(errFd);
        }
        if (user.pingProgram)
            ::setenv("QUORVET_PING_PROGRAM", user.pingProgram->c_str(), 1);
        // The change record goes to the run's folder, not the tester's home.
        ::setenv("XDG_STATE_HOME", (std::string(std::getenv("QVNET_DIR")) + "/state").c_str(), 1);
        std::vector<std::string> words;
        if (user.nobody)
            words = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
        words.push_back(QV_CLI_PATH);
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    char buf[512];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buf, sizeof buf)) > 0)
        r.out.append(buf, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream errIn(errFile);
    r.err.assign(std::istreambuf_iterator<char>(errIn), std::istreambuf_iterator<char>());
    return r;
}

std::pair<int, std::string> RunCli(const std::vector<std::string>& args) {
    const TCliRun r = RunCliAs(args);
    return {r.status, r.out};
}

TEST(Cli, ExitStatusFollowsTheOutcome) {
    // Sent and seen at the new address, in either way, is done (0).
    auto [rc, out] =
        RunCli({"change-ip", "--mac", Mac3, "--ip", "10.77.2.55", "--adapter", "10.77.2.1"});
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(out, "Request of IP address change was successfully sent.\n"
                   "Verified: the device 00-20-4A-01-02-04 answers at its new address "
                   "10.77.2.55.\n");
    ASSERT_TRUE(WaitForChange(Mac3));

    std::tie(rc, out) = RunCli({"change-ip", "--mac", Mac1, "--arp", "--ip", "10.77.1.61"});
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(out, "IP address was temporarily assigned to MAC\nTo make IP change permanent you "
                   "must change IP adress in device setup!\n"
                   "Verified: the device 00-20-4A-01-02-03 answers at its new address "
                   "10.77.1.61.\n");
    ASSERT_TRUE(WaitForChange(Mac1));

    std::tie(rc, out) = RunCli({"change-ip", "--mac", Mac2, "--ip", "10.77.1.61"});
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(out, "Selected IP address already exists.\n");

    std::tie(rc, out) = RunCli({"change-ip", "--mac", Mac2});
    EXPECT_EQ(rc, 2);
    EXPECT_TRUE(out.empty());

    const auto devices = SearchAgain();
    EXPECT_NE(Find(devices, "10.77.2.55"), nullptr);
    EXPECT_NE(Find(devices, "10.77.1.61"), nullptr);
}

TEST(Syntax, AddressesNoDeviceCanHaveAreRefusedWithTheirReason) {
    struct TCase {
        std::vector<std::string> args;
        std::string cause;
    };
    const TCase cases[] = {
        // The device answers behind qv0: its subnet's broadcast address.
        {{"--mac", Mac1, "--ip", "10.77.1.255"},
         "10.77.1.255 is the broadcast address of the subnet of adapter 10.77.1.1/24."},
        {{"--mac", Mac1, "--ip", "10.77.2.0", "--all-adapters"},
         "10.77.2.0 is the network address of the subnet of adapter 10.77.2.1/24."},
        {{"--mac", Mac1, "--ip", "255.255.255.255", "--adapter", "10.77.1.1"},
         "255.255.255.255 is the broadcast address of every network."},
        {{"--mac", Mac1, "--ip", "224.0.0.1", "--arp"}, "224.0.0.1 is a multicast address."},
    };
    const std::size_t mark = TDevsimLog().Mark();
    for (const TCase& c : cases) {
        std::vector<std::string> args = {"change-ip"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const TCliRun r = RunCliAs(args);
        EXPECT_EQ(r.status, 1) << c.cause;
        EXPECT_EQ(r.out, "IP address syntax error.\nWrite correct IP address, please.\n");
        EXPECT_EQ(r.err, c.cause + "\n");
    }
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(
        TDevsimLog()
            .Select([](const TDevsimLine& l) { return l.kind == "RX" && l.Get("len") == "20"; },
                    mark)
            .empty());
    EXPECT_TRUE(AddressChanges(mark).empty());
    EXPECT_FALSE(Neighbour("224.0.0.1").has_value());
    // The device is still where it was.
    EXPECT_NE(Find(SearchAgain(), "10.77.1.10"), nullptr);
}

// ---- defaultroute.net: the default route leaves through the other adapter --

const std::string RoutedMac = "00-20-4A-05-01-10"; // 10.77.1.10 behind qv0

TEST(DefaultRoute, WithoutAdapterTheSystemPicksTheRoutesAdapter) {
    // What change-ip did before it searched: the unbound datagram follows the
    // default route, to the other segment, and the device stays.
    TXPortIPChange engine;
    const TOutcome o = Change(engine, RoutedMac, "10.77.1.40", "");
    EXPECT_EQ(o.code, 2);
    std::this_thread::sleep_for(300ms);
    const auto rx = IpSetupsReceived();
    ASSERT_EQ(rx.size(), 1u);
    EXPECT_EQ(rx[0].Get("dev"), "10.77.2.10");
    EXPECT_TRUE(AddressChanges().empty());
}

TEST(DefaultRoute, ChangeIpSendsThroughTheAdapterTheDeviceAnswersOn) {
    const std::size_t mark = TDevsimLog().Mark();
    const TCliRun r = RunCliAs({"change-ip", "--mac", RoutedMac, "--ip", "10.77.1.50"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Request of IP address change was successfully sent.\n"
                     "Verified: the device 00-20-4A-05-01-10 answers at its new address "
                     "10.77.1.50.\n");
    EXPECT_EQ(r.err, "");
    const auto rx = TDevsimLog().Select(
        [](const TDevsimLine& l) { return l.kind == "RX" && l.Get("len") == "20"; }, mark);
    ASSERT_EQ(rx.size(), 1u);
    EXPECT_EQ(rx[0].Get("dev"), "10.77.1.10");
    EXPECT_EQ(FromAddress(rx[0]), "10.77.1.1");
    const auto changes = AddressChanges(mark);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].Get("new"), "10.77.1.50");
}

// ---- cli.net: verification, shared MAC suffix, a normal user ---------------

const std::string TakesMac = "00-20-4A-06-01-10";   // 10.77.1.10
const std::string IgnoresMac = "00-20-4A-06-01-11"; // 10.77.1.11, ignores IP-SETUP
const std::string TwinA = "00-20-4A-06-01-12";      // 10.77.1.12
const std::string TwinB = "00-20-4A-07-01-12";      // 10.77.1.13
const std::string FarMac = "00-20-4A-06-02-10";     // 10.77.2.10 behind qv1
const std::string SentLine = "Request of IP address change was successfully sent.\n";

TEST(Verify, SeenAtTheNewAddressOrNot) {
    TCliRun r = RunCliAs({"change-ip", "--mac", TakesMac, "--ip", "10.77.1.51"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, SentLine + "Verified: the device 00-20-4A-06-01-10 answers at its new "
                                "address 10.77.1.51.\n");
    // The change is on record with the address the search found before.
    std::ifstream record(std::string(std::getenv("QVNET_DIR")) +
                         "/state/KavenLoggers/Quorvet/changes.log");
    const std::string recorded((std::istreambuf_iterator<char>(record)),
                               std::istreambuf_iterator<char>());
    EXPECT_NE(recorded.find("[i] IP change: MAC 00-20-4A-06-01-10, 10.77.1.10 -> 10.77.1.51, way "
                            "IP-SETUP, adapter 10.77.1.1, done: " +
                            SentLine.substr(0, SentLine.size() - 1) + "\r\n"),
              std::string::npos)
        << recorded;

    // The datagram reaches the device, which keeps its address: searched
    // again for the bounded window, then reported.
    const auto start = Clock::now();
    r = RunCliAs({"change-ip", "--mac", IgnoresMac, "--ip", "10.77.1.52"});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_EQ(r.out, SentLine + "Not verified: the device 00-20-4A-06-01-11 was not seen at "
                                "10.77.1.52 within 5 s; it still answers at 10.77.1.11.\n");
    EXPECT_LT(MsSince(start), 20000);
    EXPECT_EQ(IpSetupsReceived().size(), 8u); // four devices behind qv0, twice

    // Skipped on request: done once sent.
    r = RunCliAs({"change-ip", "--mac", IgnoresMac, "--ip", "10.77.1.53", "--no-verify"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, SentLine);
}

TEST(SharedSuffix, RefusedNamingTheOtherDeviceThenForced) {
    // The MAC as 'ip link' prints it.
    TCliRun r = RunCliAs({"change-ip", "--mac", "00:20:4a:06:01:12", "--ip", "10.77.1.70"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "quorvet-cli change-ip: the device 00-20-4A-07-01-12 at 10.77.1.13 (adapter "
                     "10.77.1.1) has the same last two MAC octets (01-12) and would take the new "
                     "address too.\n"
                     "quorvet-cli change-ip: nothing was sent; add --force to send anyway.\n");
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(IpSetupsReceived().empty());

    r = RunCliAs({"change-ip", "--mac", "00:20:4a:06:01:12", "--ip", "10.77.1.70", "--force"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("warning: the device 00-20-4A-07-01-12"), std::string::npos) << r.err;
    // Both take it: what the refusal was about.
    const auto changes = AddressChanges();
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ((std::set<std::string>{changes[0].Get("mac"), changes[1].Get("mac")}),
              (std::set<std::string>{TwinA, TwinB}));
    for (const auto& c : changes)
        EXPECT_EQ(c.Get("new"), "10.77.1.70");
}

// ICMP datagram sockets for a group of users, in the computer's namespace
// only (the kernel's default there is "1 0": nobody); restored on leaving.
class TPingGroupRange {
public:
    explicit TPingGroupRange(const std::string& range) { Write(range); }
    ~TPingGroupRange() { Write("1 0"); }
    TPingGroupRange(const TPingGroupRange&) = delete;
    TPingGroupRange& operator=(const TPingGroupRange&) = delete;

private:
    static void Write(const std::string& range) {
        std::ofstream("/proc/sys/net/ipv4/ping_group_range") << range << "\n";
        std::ifstream in("/proc/sys/net/ipv4/ping_group_range");
        std::string a, b;
        in >> a >> b;
        if (a + " " + b != range)
            throw std::runtime_error("ping_group_range stays " + a + " " + b);
    }
};

const TCliUser NobodyWithoutPingProgram{true, std::string()};
const TCliUser NobodyWithSystemPing{true, std::nullopt};

// An address in use is refused, proving the ping works for this user; a free
// one is taken.
void ExpectPingThenChange(const std::string& mac, const std::string& inUse, const std::string& free,
                          const TCliUser& user) {
    TCliRun r = RunCliAs({"change-ip", "--mac", mac, "--ip", inUse}, user);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "Selected IP address already exists.\n");
    r = RunCliAs({"change-ip", "--mac", mac, "--ip", free}, user);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, SentLine + "Verified: the device " + mac + " answers at its new address " +
                         free + ".\n");
}

TEST(NonRoot, WithPingAllowedForTheGroupTheChangeWorks) {
    TPingGroupRange allowed("65534 65534"); // nogroup
    // No ping program: the datagram socket alone must do.
    ExpectPingThenChange(TakesMac, "10.77.1.11", "10.77.1.54", NobodyWithoutPingProgram);
}

TEST(NonRoot, WithoutItTheSystemPingProgramChecksTheAddress) {
    ExpectPingThenChange(FarMac, "10.77.2.1", "10.77.2.50", NobodyWithSystemPing);
}

TEST(NonRoot, NeitherWayToPingGivesTheCauseAndSendsNothing) {
    const std::size_t mark = TDevsimLog().Mark();
    const TCliRun r =
        RunCliAs({"change-ip", "--mac", FarMac, "--ip", "10.77.2.60"}, NobodyWithoutPingProgram);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "IP address change error.\n");
    EXPECT_EQ(r.err, std::string(SIPChangeCausePing) + "\n");
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(TDevsimLog()
                    .Select([](const TDevsimLine& l) { return l.Get("len") == "20"; }, mark)
                    .empty());
}

TEST(NonRoot, ArpWayWithoutTheRightGivesTheCause) {
    const TCliRun r = RunCliAs({"change-ip", "--mac", IgnoresMac, "--arp", "--ip", "10.77.1.61"},
                               NobodyWithSystemPing);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "IP address change error.\n");
    // After whatever the system's tool said, the cause on a line of its own.
    EXPECT_NE(r.err.find(std::string(SIPChangeCauseArpRights) + "\n"), std::string::npos) << r.err;
    const auto entry = Neighbour("10.77.1.61");
    EXPECT_FALSE(entry && entry->permanent);
}

} // namespace

int main(int argc, char** argv) {
    RequireTestNetwork();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
