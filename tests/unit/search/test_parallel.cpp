// The parallel search against the sequential one on scripted networks: the
// same Devices, the same log lines, the same error, the same requests per
// adapter. The fake links are safe to use from several threads.
#include "base/uErrors.h"
#include "search/uXPortSearch.h"
#include "support/DeviceReplies.h"
#include "support/FakeSearchNet.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace {

using Dev = TFakeDevice;

const std::string ZeroLength = "UDP Receive Error = 0.";
const std::string TooLong = "Socket Error # 90\r\nMessage too long";

Dev Kind6(const std::string& ip, int macLo, const std::string& text) {
    return {ip, Discovery(0, macLo), 1, Reply(6, 1, 0, 3, macLo % 2 ? 6 : 0, text, 4, 'A'), {}};
}

struct Topology : TFakeTopology {
    const char* name = "";
    std::vector<std::string> adapters;
};

Topology Topo(const char* name, std::vector<std::string> adapters,
              std::map<std::string, std::vector<Dev>> devices) {
    Topology t;
    t.name = name;
    t.adapters = std::move(adapters);
    t.devices = std::move(devices);
    return t;
}

struct Line {
    bool masked;
    int categories;
    int level;
    std::string text;
    bool operator==(const Line&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Line& l) {
    return os << (l.masked ? "M" : "L") << l.categories << "/" << l.level << " " << l.text;
}

struct Log : TLogSink {
    void WriteLine(std::uint8_t level, const std::string& text) override {
        lines.push_back({false, 0, level, text});
    }
    void WriteLineMasked(std::uint8_t categories, std::uint8_t level,
                         const std::string& text) override {
        lines.push_back({true, categories, level, text});
    }
    std::vector<Line> lines;
};

struct Outcome {
    std::vector<TXportPar> devices;
    std::vector<Line> lines;
    std::string error;
    std::map<std::string, std::vector<std::string>> ops;
    int maxLiveLinks = 0;
};

Outcome RunSearch(const Topology& t, bool sequential) {
    TFakeSearchNet net(t);
    Log log;
    TXportSearch search;
    search.Sequential = sequential;
    search.Log = &log;
    search.AdapterAddressProvider = [&] { return t.adapters; };
    search.LinkFactory = [&] { return net.NewLink(); };
    Outcome out;
    try {
        search.Search();
    } catch (const Exception& e) {
        out.error = e.what();
    }
    out.devices = search.Devices();
    out.lines = log.lines;
    out.ops = net.adapterOps;
    out.maxLiveLinks = net.maxLiveLinks;
    return out;
}

void ExpectSameDevices(const std::vector<TXportPar>& want, const std::vector<TXportPar>& got) {
    ASSERT_EQ(want.size(), got.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        const TXportPar &w = want[i], &g = got[i];
        EXPECT_EQ(std::tie(w.IP, w.MAC, w.Firmware, w.Description, w.DeviceType, w.StatusChar,
                           w.AdapterIP),
                  std::tie(g.IP, g.MAC, g.Firmware, g.Description, g.DeviceType, g.StatusChar,
                           g.AdapterIP))
            << "entry " << i;
    }
}

const std::string A1 = "10.77.1.1", A2 = "10.77.2.1", A3 = "10.77.3.1", A4 = "10.77.4.1";

std::vector<Topology> Topologies() {
    const std::string noMac(29, 'n');
    Dev needsSetup{"10.77.1.11", Discovery(1, 0x11), 1, Reply(1, 4, 4, 255, 0, "x", 4),
                   Reply(0, 0, 0, 0, 0, "From setup", 36)};
    Dev noSetup = needsSetup;
    noSetup.ip = "10.77.2.12";
    noSetup.discovery = Discovery(2, 0x12);
    noSetup.setup.reset();
    Dev silentInfo{"10.77.2.13", Discovery(2, 0x13), 1, std::nullopt, std::nullopt};
    Dev twice = Kind6("10.77.1.12", 0x21, "Twice");
    twice.copies = 3;
    Dev onTwo = Kind6("10.77.1.30", 0x30, "On two");
    Dev onTwoAgain = onTwo;
    onTwoAgain.ip = "10.77.3.30";
    Dev noMacA{"10.77.2.40", noMac, 1, Reply(6, 1, 0, 0, 6, "No MAC", 4), {}};
    Dev noMacB{"10.77.3.40", std::string(31, 'm'), 1, Reply(6, 1, 0, 0, 6, "Other", 4), {}};
    Dev late = Kind6("10.77.1.50", 0x50, "Late");
    late.late = true;

    std::vector<Topology> list;
    list.push_back(Topo("one adapter, every kind of exchange", {A1},
                        {{A1, {Kind6("10.77.1.10", 0x10, "Ten"), needsSetup, twice}}}));
    list.push_back(Topo("device heard on two adapters, missing MACs on two", {A1, A2, A3},
                        {{A1, {onTwo, Kind6("10.77.1.31", 0x31, "One")}},
                         {A2, {noMacA, Kind6("10.77.2.31", 0x32, "Two")}},
                         {A3, {Kind6("10.77.3.31", 0x33, "Three"), onTwoAgain, noMacB}}}));
    list.push_back(Topo("late reply breaks the first exchange of its adapter only", {A1, A2},
                        {{A1, {Kind6("10.77.1.10", 0x10, "Ten"), late}},
                         {A2, {Kind6("10.77.2.10", 0x20, "Twenty")}}}));
    list.push_back(Topo("silent devices and a failed setup", {A1, A2, A3},
                        {{A1, {Kind6("10.77.1.10", 0x10, "Ten")}},
                         {A2, {noSetup, silentInfo, Kind6("10.77.2.14", 0x14, "After")}},
                         {A3, {}}}));
    Topology failedSend = Topo("query cannot be sent on one adapter", {A1, A2, A3},
                               {{A1, {Kind6("10.77.1.10", 0x10, "Ten")}},
                                {A2, {Kind6("10.77.2.10", 0x20, "Lost")}},
                                {A3, {Kind6("10.77.3.10", 0x30, "Thirty")}}});
    failedSend.failBroadcastOn = A2;
    list.push_back(failedSend);

    // Errors: the first in adapter order wins, with what the sequential
    // search had by then.
    Topology collectError = failedSend;
    collectError.name = "receive error while collecting keeps the replies before it";
    collectError.failBroadcastOn.clear();
    collectError.devices[A2].push_back(Kind6("10.77.2.11", 0x21, "Second"));
    collectError.failReceiveAt[A2] = 2;
    list.push_back(collectError);

    Topology queryError =
        Topo("receive error during a query; later adapters are undone", {A1, A2, A3},
             {{A1, {Kind6("10.77.1.10", 0x10, "Ten"), needsSetup}},
              {A2, {Kind6("10.77.2.10", 0x20, "Twenty")}},
              {A3, {Kind6("10.77.3.10", 0x30, "Thirty")}}});
    queryError.failReceiveAt[A1] = 5; // 3 to collect, 1 info of .10, 1 info of .11
    list.push_back(queryError);

    Topology setupError = queryError;
    setupError.name = "error in the setup exchange keeps what the info reply gave";
    setupError.failReceiveAt[A1] = 6;
    list.push_back(setupError);

    Topology twoErrors = queryError;
    twoErrors.name = "a later adapter's earlier error does not win";
    twoErrors.adapters.push_back(A4);
    twoErrors.failReceiveAt = {{A2, 3}};
    twoErrors.failBindOn = A4;
    list.push_back(twoErrors);

    // Failures of one device or one datagram stay there.
    Dev foreign = Kind6("192.168.1.213", 0x13, "Foreign");
    Dev subnetBroadcast = Kind6("10.77.2.255", 0x25, "Broadcast");
    Dev setupUnsendable = needsSetup;
    setupUnsendable.ip = "10.77.2.11";
    setupUnsendable.discovery = Discovery(2, 0x11);
    Topology unsendable =
        Topo("a device that cannot be sent to fails alone", {A1, A2},
             {{A1, {Kind6("10.77.1.10", 0x10, "Ten"), foreign, Kind6("10.77.1.12", 0x12, "After")}},
              {A2, {subnetBroadcast, setupUnsendable, Kind6("10.77.2.20", 0x20, "Twenty")}}});
    unsendable.failSend = {"E4 192.168.1.213", "E4 10.77.2.255", "E6 10.77.2.11"};
    list.push_back(unsendable);

    Dev emptyReply{"10.77.1.20", ZeroLength, 1, Reply(6, 1, 0, 0, 6, "Never", 4), {}};
    emptyReply.discoveryIsJunk = true;
    Dev hugeReply = emptyReply;
    hugeReply.ip = "10.77.2.20";
    hugeReply.discovery = TooLong;
    Dev junkFirst = Kind6("10.77.1.21", 0x21, "Junk first");
    junkFirst.infoJunk = ZeroLength;
    Dev onlyJunk{"10.77.1.22", Discovery(1, 0x22), 1, std::nullopt, std::nullopt};
    onlyJunk.infoJunk = TooLong;
    Dev setupJunk = needsSetup;
    setupJunk.ip = "10.77.2.11";
    setupJunk.discovery = Discovery(2, 0x11);
    setupJunk.setupJunk = ZeroLength;
    list.push_back(Topo("datagrams that cannot be replies are skipped", {A1, A2},
                        {{A1,
                          {emptyReply, Kind6("10.77.1.10", 0x10, "Ten"), junkFirst, onlyJunk,
                           Kind6("10.77.1.12", 0x12, "After")}},
                         {A2, {hugeReply, setupJunk, Kind6("10.77.2.21", 0x31, "Twenty")}}}));

    Topology bindError = queryError;
    bindError.name = "bind error on the first adapter";
    bindError.failReceiveAt.clear();
    bindError.failBindOn = A1;
    list.push_back(bindError);
    return list;
}

} // namespace

// The lines of an overlapped search are those of the sequential one, in the
// order their events happened: compared as sets of lines.
std::vector<Line> Sorted(std::vector<Line> lines) {
    std::sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
        return std::tie(a.text, a.level, a.masked) < std::tie(b.text, b.level, b.masked);
    });
    return lines;
}

// What a pass sent, receives left out, in sorted order (overlapped requests
// go out in list order, a setup request when its info reply came).
std::map<std::string, std::vector<std::string>>
SortedOps(std::map<std::string, std::vector<std::string>> ops) {
    for (auto& [adapter, list] : ops)
        std::sort(list.begin(), list.end());
    return ops;
}

TEST(Parallel, SameDevicesLinesErrorAndRequestsAsSequential) {
    for (const Topology& t : Topologies()) {
        SCOPED_TRACE(t.name);
        // A late discovery reply is where the two differ on purpose.
        if (std::string(t.name).rfind("late reply", 0) == 0)
            continue;
        const Outcome seq = RunSearch(t, true);
        const Outcome par = RunSearch(t, false);
        ExpectSameDevices(seq.devices, par.devices);
        ASSERT_FALSE(par.lines.empty());
        EXPECT_EQ(par.lines.front(), seq.lines.front());
        EXPECT_EQ(par.lines.back(), seq.lines.back());
        // What every adapter the sequential search reached was asked; later
        // adapters may have been started before the error.
        const auto seqOps = SortedOps(seq.ops), parOps = SortedOps(par.ops);
        for (const auto& [adapter, ops] : seqOps)
            EXPECT_EQ(ops, parOps.count(adapter) ? parOps.at(adapter) : decltype(ops){}) << adapter;
        const auto seqSorted = Sorted(seq.lines), parSorted = Sorted(par.lines);
        if (!seq.error.empty()) {
            // Lines of later passes, written before the error was known,
            // stay: the log tells what happened.
            EXPECT_TRUE(std::includes(parSorted.begin(), parSorted.end(), seqSorted.begin(),
                                      seqSorted.end(), [](const Line& a, const Line& b) {
                                          return std::tie(a.text, a.level, a.masked) <
                                                 std::tie(b.text, b.level, b.masked);
                                      }));
            EXPECT_EQ(seq.error, par.error);
            continue;
        }
        EXPECT_EQ(seqSorted, parSorted);
        // The closing list stays in place.
        EXPECT_EQ(std::find(par.lines.begin(), par.lines.end(),
                            Line{false, 0, 1, "--- SEARCH FINISHED ---"}) -
                      par.lines.begin(),
                  std::find(seq.lines.begin(), seq.lines.end(),
                            Line{false, 0, 1, "--- SEARCH FINISHED ---"}) -
                      seq.lines.begin());
        EXPECT_EQ(seq.error, par.error);
        if (seq.error.empty()) {
            EXPECT_EQ(seq.ops.size(), par.ops.size());
        }
    }
}

TEST(Parallel, ScenariosDecideWhatTheyClaim) {
    // Guards against topologies that compare equal because nothing happens.
    auto list = Topologies();
    auto find = [&](const std::string& prefix) {
        for (const Topology& t : list)
            if (std::string(t.name).rfind(prefix, 0) == 0)
                return RunSearch(t, false);
        ADD_FAILURE() << prefix;
        return Outcome{};
    };
    Outcome two = find("device heard on two");
    ASSERT_EQ(two.devices.size(), 5u);
    EXPECT_EQ(two.devices[0].IP, "10.77.1.30");
    EXPECT_EQ(two.devices[2].MAC, "N/A");
    EXPECT_EQ(two.devices[2].AdapterIP, A2);
    EXPECT_EQ(std::count(two.ops[A3].begin(), two.ops[A3].end(), "E4 10.77.3.30"), 0);

    // One after another, the late reply takes the place of the next
    // device's info reply; overlapped, it adds its device, which is read too.
    Outcome lateSeq = RunSearch(list[2], true);
    ASSERT_EQ(lateSeq.devices.size(), 2u);
    EXPECT_EQ(lateSeq.devices[0].Firmware, "N/A");
    EXPECT_EQ(lateSeq.devices[1].Description, "Twenty");
    Outcome late = find("late reply");
    ASSERT_EQ(late.devices.size(), 3u);
    EXPECT_EQ(late.devices[0].Description, "Ten");
    EXPECT_EQ(late.devices[1].IP, "10.77.1.50");
    EXPECT_EQ(late.devices[1].AdapterIP, A1);
    EXPECT_EQ(late.devices[1].Description, "Late");
    EXPECT_EQ(late.devices[2].Description, "Twenty");
    EXPECT_EQ(std::count(late.lines.begin(), late.lines.end(),
                         Line{true, 16, 1, "Reading from 10.77.1.50"}),
              1);

    Outcome collect = find("receive error while collecting");
    EXPECT_EQ(collect.error, "UDP Receive Error = 0.");
    ASSERT_EQ(collect.devices.size(), 2u);
    EXPECT_EQ(collect.devices[1].IP, "10.77.2.10");
    EXPECT_EQ(collect.devices[1].Firmware, "N/A"); // heard, never asked
    EXPECT_EQ(collect.lines.back(), (Line{false, 0, 1, "--- SEARCH FINISHED ---"}));

    Outcome setup = find("error in the setup");
    ASSERT_EQ(setup.devices.size(), 2u);
    EXPECT_EQ(setup.devices[1].Firmware, "1-4-4.255");
    EXPECT_EQ(setup.devices[1].Description, "");

    Outcome both = find("a later adapter");
    EXPECT_EQ(both.error, "UDP Receive Error = 0.");
    EXPECT_EQ(both.devices.size(), 3u); // the first two adapters'

    auto has = [](const Outcome& o, const std::string& text) {
        return std::count(o.lines.begin(), o.lines.end(), Line{false, 0, 2, text});
    };
    Outcome unsendable = find("a device that cannot be sent to");
    EXPECT_EQ(unsendable.error, "");
    ASSERT_EQ(unsendable.devices.size(), 6u);
    for (int i : {1, 3}) {
        const TXportPar& d = unsendable.devices[static_cast<std::size_t>(i)];
        EXPECT_EQ(d.Firmware, "N/A") << d.IP;
        EXPECT_EQ(d.DeviceType, "N/A") << d.IP;
        EXPECT_EQ(has(unsendable, "Operation interrupt. Reading from " + d.IP + " failed."), 1);
        // Still re-addressable: its MAC and adapter are known.
        EXPECT_EQ(d.MAC, std::string("00-20-4A-00-00-") + (i == 1 ? "13" : "25"));
        EXPECT_EQ(d.AdapterIP, i == 1 ? A1 : A2);
    }
    EXPECT_EQ(unsendable.devices[1].IP, "192.168.1.213");
    EXPECT_EQ(unsendable.devices[3].IP, "10.77.2.255");
    EXPECT_EQ(has(unsendable, "Different responce source IP ()."), 3);
    EXPECT_EQ(unsendable.devices[4].Firmware, "1-4-4.255");
    EXPECT_EQ(has(unsendable, "Operation interrupt. Reading from 10.77.2.11 failed (setup E6)."),
              1);
    for (int i : {0, 2, 5})
        EXPECT_EQ(unsendable.devices[static_cast<std::size_t>(i)].Firmware, "6-1-0.03") << i;

    Outcome junk = find("datagrams that cannot be replies");
    EXPECT_EQ(junk.error, "");
    ASSERT_EQ(junk.devices.size(), 6u);
    std::vector<std::string> ips;
    for (const TXportPar& d : junk.devices)
        ips.push_back(d.IP);
    EXPECT_EQ(ips, (std::vector<std::string>{"10.77.1.10", "10.77.1.21", "10.77.1.22", "10.77.1.12",
                                             "10.77.2.11", "10.77.2.21"}));
    EXPECT_EQ(junk.devices[1].Description, "Junk first"); // the reply after the junk counts
    EXPECT_EQ(junk.devices[2].Firmware, "N/A");
    EXPECT_EQ(junk.devices[3].Description, "After");
    EXPECT_EQ(junk.devices[4].Description, "From setup");
    EXPECT_EQ(junk.devices[5].Description, "Twenty");
    EXPECT_EQ(has(junk, ZeroLength), 3);
    EXPECT_EQ(has(junk, TooLong), 2);
    EXPECT_EQ(has(junk, "Operation interrupt. Reading from 10.77.1.22 failed."), 1);
    EXPECT_EQ(has(junk, "Different responce source IP ()."), 1);
}

TEST(Parallel, MoreAdaptersThanPassSlots) {
    // 70 adapters; every third device is also heard on the next adapter.
    Topology t = Topo("seventy adapters", {}, {});
    for (int a = 0; a < 70; ++a) {
        const std::string adapter = "10.80." + std::to_string(a) + ".1";
        t.adapters.push_back(adapter);
        const std::string net = "10.80." + std::to_string(a) + ".";
        t.devices[adapter].push_back(Kind6(net + "10", (a * 2) % 256, "A" + std::to_string(a)));
        if (a % 3 == 0)
            t.devices[adapter].push_back(Kind6(net + "11", 200 + a / 3, "B"));
        if (a % 3 == 1)
            t.devices[adapter].push_back(Kind6(net + "12", 200 + a / 3, "again"));
    }
    const Outcome seq = RunSearch(t, true);
    const Outcome par = RunSearch(t, false);
    ExpectSameDevices(seq.devices, par.devices);
    EXPECT_EQ(Sorted(seq.lines), Sorted(par.lines));
    EXPECT_EQ(seq.ops, par.ops);
    EXPECT_EQ(par.devices.size(), 70u + 24u);
    EXPECT_LE(par.maxLiveLinks, TXportSearch::MaxParallelPasses);
    EXPECT_EQ(seq.maxLiveLinks, 1);
}

TEST(Parallel, AdaptersReallyCollectAtTheSameTime) {
    Topology t = Topo("four", {A1, A2, A3, A4}, {});
    for (const std::string& a : t.adapters)
        t.devices[a] = {Kind6(a.substr(0, a.size() - 1) + "10", a[6] - '0', "x")};
    TFakeSearchNet net(t);
    net.gateBroadcasts = static_cast<int>(t.adapters.size());
    TXportSearch search;
    search.AdapterAddressProvider = [&] { return t.adapters; };
    search.LinkFactory = [&] { return net.NewLink(); };
    search.Search();
    // Each link's first receive saw the broadcasts of all four.
    EXPECT_EQ(net.gatedOpen, 4);
    EXPECT_EQ(search.DeviceCount(), 4);
}

TEST(Parallel, SecondSearchAsksOnlyNewDevices) {
    Topology t = Topo("again", {A1, A2}, {{A1, {Kind6("10.77.1.10", 0x10, "Ten")}}, {A2, {}}});
    TFakeSearchNet net(t);
    TXportSearch search;
    search.AdapterAddressProvider = [&] { return t.adapters; };
    search.LinkFactory = [&] { return net.NewLink(); };
    search.Search();
    Topology more = t;
    more.devices[A2] = {Kind6("10.77.2.10", 0x10, "Same MAC"), Kind6("10.77.2.11", 0x11, "New")};
    TFakeSearchNet net2(more);
    search.LinkFactory = [&] { return net2.NewLink(); };
    search.Search();
    ASSERT_EQ(search.DeviceCount(), 2);
    EXPECT_EQ(search.Device(1).IP, "10.77.2.11");
    EXPECT_EQ(net2.adapterOps[A1], (std::vector<std::string>{"bind", "bcast"}));
    EXPECT_EQ(net2.adapterOps[A2], (std::vector<std::string>{"bind", "bcast", "E4 10.77.2.11"}));
}

TEST(Parallel, ProgressIsSerialisedAndCountsEveryDeviceOnce) {
    Topology t = Topologies()[1]; // a device heard on two adapters
    TFakeSearchNet net(t);
    TXportSearch search;
    search.AdapterAddressProvider = [&] { return t.adapters; };
    search.LinkFactory = [&] { return net.NewLink(); };
    std::atomic<int> inside{0};
    bool overlapped = false;
    std::vector<std::pair<std::string, int>> calls;
    search.OnProgress = [&](const std::string& adapter, int found) {
        if (++inside != 1)
            overlapped = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        calls.emplace_back(adapter, found);
        --inside;
    };
    search.Search();
    EXPECT_FALSE(overlapped);
    ASSERT_FALSE(calls.empty());
    int last = 0;
    std::set<std::string> adapters;
    for (const auto& [adapter, found] : calls) {
        EXPECT_TRUE(found == last || found == last + 1) << found;
        last = found;
        adapters.insert(adapter);
    }
    EXPECT_EQ(last, search.DeviceCount());
    EXPECT_EQ(adapters.size(), 3u);
}

TEST(Parallel, CancelStopsEveryPass) {
    TXportSearch search;
    search.AdapterAddressProvider = [] { return std::vector<std::string>{A1, A2, A3}; };
    search.LinkFactory = [] { return std::unique_ptr<TDatagramLink>(new TChatterLink(2)); };
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        search.Cancel();
    });
    const auto start = std::chrono::steady_clock::now();
    search.Search();
    canceller.join();
    // A bound against a hang, not a speed target: the collection bound alone
    // would take 30 s.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(search.DeviceCount(), 1);
}

TEST(Parallel, ReceiveBufferIsAskedForOnEveryLinkAndTheSmallestIsReported) {
    // The second adapter's link gets only the usual small queue.
    struct Sized : TDatagramLink {
        explicit Sized(std::atomic<int>& asked) : asked_(asked) {}
        void BindToAddress(const std::string& ip) override { adapter_ = ip; }
        void SendBroadcast(const std::string&, int) override {}
        void SendToHost(const std::string&) override {}
        std::string ReceiveDatagram(int, std::string& p, int& port) override {
            p.clear();
            port = 0;
            return {};
        }
        int SetReceiveBufferSize(int bytes) override {
            EXPECT_EQ(bytes, 4 << 20);
            ++asked_;
            return adapter_ == A2 ? 212992 : 8 << 20;
        }
        std::atomic<int>& asked_;
        std::string adapter_;
    };
    for (bool sequential : {true, false}) {
        std::atomic<int> asked{0};
        Log log;
        TXportSearch search;
        search.Sequential = sequential;
        search.Log = &log;
        search.AdapterAddressProvider = [] { return std::vector<std::string>{A1, A2}; };
        search.LinkFactory = [&] { return std::unique_ptr<TDatagramLink>(new Sized(asked)); };
        EXPECT_EQ(search.GrantedReceiveBuffer(), 0);
        search.Search();
        EXPECT_EQ(asked, 2);
        EXPECT_EQ(search.GrantedReceiveBuffer(), 212992);
        std::vector<Line> want = {
            {false, 0, 1, "--- SEARCHING... ---"},
            {false, 0, 1, "Sarching on adapter " + A1},
            {false, 0, 1, "Sarching on adapter " + A2},
            {false, 0, 2,
             "Receive buffer of 212992 bytes only: replies of many devices at once may be lost."},
            {false, 0, 1, "--- SEARCH FINISHED ---"},
            {true, 16, 1, "--- DEVICE LIST ---"},
            {true, 16, 1, "--- ----------- ---"},
        };
        EXPECT_EQ(log.lines, want) << sequential;
    }
}
