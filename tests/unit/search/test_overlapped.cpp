// The overlapped query phase against devices that answer in real time: out
// of order, twice, late, not at all, with strangers talking in between.
#include "search/uXPortSearch.h"
#include "support/DeviceReplies.h"
#include "support/FakeSearchNet.h"
#include "support/TimedSearchNet.h"

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <thread>

namespace {

const std::string A1 = "10.77.1.1", A2 = "10.77.2.1";

// A log several threads may write and a test may read while it runs.
struct SharedLog : TLogSink {
    void WriteLine(std::uint8_t level, const std::string& text) override {
        std::lock_guard<std::mutex> guard(lock);
        lines.push_back(std::to_string(level) + " " + text);
    }
    void WriteLineMasked(std::uint8_t, std::uint8_t level, const std::string& text) override {
        WriteLine(level, text);
    }
    int Count(const std::string& line) {
        std::lock_guard<std::mutex> guard(lock);
        return static_cast<int>(std::count(lines.begin(), lines.end(), line));
    }
    std::mutex lock;
    std::vector<std::string> lines;
};

std::string Ip(int adapter, int host) {
    return "10.77." + std::to_string(adapter) + "." + std::to_string(host);
}

// Device n of an adapter: kind 6 with its description in the info reply, or
// (every third) a device that needs the setup request.
TTimedDevice Device(int adapter, int n, int delayMs) {
    TTimedDevice d;
    d.ip = Ip(adapter, 10 + n);
    d.discovery = Discovery(adapter, n);
    d.delayMs = delayMs;
    if (n % 3 == 2) {
        d.info = Reply(1, 4, 4, 255, 0, "ignored", 4);
        d.setup = Reply(0, 0, 0, 0, 0, "Setup " + d.ip, 36);
    } else {
        d.info = Reply(6, 1, 0, 3, 6, "Dev " + d.ip, 4, 'A');
    }
    return d;
}

void ExpectRead(const TXportPar& d) {
    SCOPED_TRACE(d.IP);
    const bool setup = d.Firmware == "1-4-4.255";
    EXPECT_TRUE(setup || d.Firmware == "6-1-0.03");
    EXPECT_EQ(d.Description, (setup ? "Setup " : "Dev ") + d.IP);
}

struct TimedRun {
    TTimedNet net;
    SharedLog log;
    TXportSearch search;
    std::vector<std::string> adapters{A1};
    TimedRun() {
        search.Log = &log;
        search.ReadTimeout = 100;
        search.AdapterAddressProvider = [this] { return adapters; };
        search.LinkFactory = [this] { return net.NewLink(); };
    }
};

} // namespace

TEST(Overlapped, RepliesOutOfOrderTwiceAndAmidStrangersReachTheirDevices) {
    TimedRun r;
    // Replies come in the reverse order of the requests, each twice; one
    // device repeats its discovery reply first; strangers send junk of
    // reply size, known and unknown discovery replies, and replies from the
    // right address but the wrong port.
    for (int n = 0; n < 12; ++n) {
        TTimedDevice d = Device(1, n, 60 - 4 * n);
        d.copies = 2;
        d.repeatsDiscovery = n == 4;
        r.net.devices[A1].push_back(d);
    }
    const std::string junk = Reply(9, 9, 9, 9, 9, "junk", 4);
    r.net.strangers[A1] = {{Ip(1, 200), 30718, junk, 1, 150},
                           {Ip(1, 201), 30718, Discovery(1, 0), 3, 50},
                           {Ip(1, 11), 40000, junk, 2, 60},
                           {Ip(1, 202), 30718, std::string(200, 'x'), 5, 20}};
    r.search.Search();
    ASSERT_EQ(r.search.DeviceCount(), 12);
    for (int n = 0; n < 12; ++n) {
        const TXportPar& d = r.search.Device(n);
        EXPECT_EQ(d.IP, Ip(1, 10 + n));
        ExpectRead(d);
        EXPECT_EQ(r.log.Count("1 Reading from " + d.IP), 1);
        EXPECT_EQ(r.net.Sent("E4 " + d.IP), 1);
    }
    EXPECT_EQ(r.log.Count("2 Different responce source IP ()."), 0);
    EXPECT_GT(r.net.MaxOutstanding(), 1); // really overlapped
}

TEST(Overlapped, EachDeviceWaitsForItselfOnly) {
    TimedRun r;
    // The first device never answers its info request, the fourth never its
    // setup request: the others are read while they wait.
    for (int n = 0; n < 6; ++n)
        r.net.devices[A1].push_back(Device(1, n, 5));
    r.net.devices[A1][0].info.reset();
    r.net.devices[A1][2].setup.reset();
    std::vector<std::string> order;
    r.search.OnDevice = [&](const TXportPar& d) { order.push_back(d.IP); };
    r.search.Search();
    ASSERT_EQ(order.size(), 6u);
    EXPECT_EQ(order[4], Ip(1, 10));
    EXPECT_EQ(order[5], Ip(1, 12)); // its setup request went out later
    EXPECT_EQ(r.search.Device(0).Firmware, "N/A");
    EXPECT_EQ(r.search.Device(2).Firmware, "1-4-4.255"); // from its info reply
    EXPECT_EQ(r.search.Device(2).Description, "");
    for (int n : {1, 3, 4, 5})
        ExpectRead(r.search.Device(n));
    EXPECT_EQ(r.log.Count("2 Operation interrupt. Reading from 10.77.1.10 failed."), 1);
    EXPECT_EQ(r.log.Count("2 Operation interrupt. Reading from 10.77.1.12 failed (setup E6)."), 1);
    EXPECT_EQ(r.log.Count("2 Different responce source IP ()."), 2);
}

TEST(Overlapped, ALateDiscoveryReplyAddsItsDeviceOnceAcrossAdapters) {
    TimedRun r;
    r.adapters = {A1, A2};
    r.net.devices[A1] = {Device(1, 0, 120), Device(1, 1, 120)};
    // Heard on both adapters, after the collection ended (one time-out of
    // silence), while the first devices are read.
    TTimedDevice late = Device(1, 5, 5);
    late.discoveryDelayMs = 160;
    r.net.devices[A1].push_back(late);
    TTimedDevice again = late;
    again.ip = Ip(2, 15);
    again.discoveryDelayMs = 170;
    r.net.devices[A2] = {Device(2, 0, 120), again};
    r.search.Search();
    ASSERT_EQ(r.search.DeviceCount(), 4);
    std::vector<std::string> ips;
    for (const TXportPar& d : r.search.Devices())
        ips.push_back(d.IP);
    // Either adapter may hear it first; it is listed once, after that
    // adapter's collected devices.
    const bool first = ips[2] == late.ip;
    const std::vector<std::string> want =
        first ? std::vector<std::string>{Ip(1, 10), Ip(1, 11), late.ip, Ip(2, 10)}
              : std::vector<std::string>{Ip(1, 10), Ip(1, 11), Ip(2, 10), again.ip};
    EXPECT_EQ(ips, want);
    for (const TXportPar& d : r.search.Devices())
        EXPECT_NE(d.Firmware, "N/A") << d.IP;
    EXPECT_EQ(r.net.Sent("E4 " + late.ip) + r.net.Sent("E4 " + again.ip), 1);
}

TEST(Overlapped, DevicesSharingAnAddressShareOneExchange) {
    // Two MACs at one address (a forged one, or two devices configured
    // alike): replies are told apart by sender alone, so one request serves
    // both, and both get its answer.
    TFakeSearchNet net;
    net.devices[A1] = {{"10.77.1.10", Discovery(1, 1), 1, Reply(6, 1, 0, 3, 6, "One", 4), {}},
                       {"10.77.1.10", Discovery(1, 2), 1, Reply(6, 1, 0, 3, 6, "One", 4), {}},
                       {"10.77.1.11", Discovery(1, 3), 1, Reply(6, 1, 0, 3, 6, "Other", 4), {}}};
    SharedLog log;
    TXportSearch search;
    search.Log = &log;
    search.AdapterAddressProvider = [] { return std::vector<std::string>{A1}; };
    search.LinkFactory = [&] { return net.NewLink(); };
    search.Search();
    ASSERT_EQ(search.DeviceCount(), 3);
    EXPECT_EQ(net.Count("E4 10.77.1.10"), 1);
    EXPECT_EQ(search.Device(0).Description, "One");
    EXPECT_EQ(search.Device(1).Description, "One");
    EXPECT_EQ(search.Device(1).MAC, "00-20-4A-00-01-02");
    EXPECT_EQ(search.Device(2).Description, "Other");
    EXPECT_EQ(log.Count("1 Reading from 10.77.1.10"), 2);
}

TEST(Overlapped, TheWindowBoundsRequestsAwaitingReplies) {
    for (int granted : {4 << 20, 3 * 1024}) {
        TimedRun r;
        r.net.grantedBuffer = granted;
        r.search.MaxInFlight = granted > 1 << 20 ? 4 : 1024;
        for (int n = 0; n < 16; ++n)
            r.net.devices[A1].push_back(Device(1, n, 10));
        r.search.Search();
        EXPECT_EQ(r.search.DeviceCount(), 16);
        for (const TXportPar& d : r.search.Devices())
            ExpectRead(d);
        // MaxInFlight, or what a queue of 3 KiB holds.
        EXPECT_LE(r.net.MaxOutstanding(), granted > 1 << 20 ? 4 : 3) << granted;
        EXPECT_GE(r.net.MaxOutstanding(), 2) << granted;
    }
}

TEST(Overlapped, CancelKeepsWhatWasRead) {
    TimedRun r;
    r.search.ReadTimeout = 1000;
    for (int n = 0; n < 8; ++n)
        r.net.devices[A1].push_back(Device(1, n, n < 3 ? 5 : 2500));
    int read = 0;
    r.search.OnDevice = [&](const TXportPar&) {
        if (++read == 3)
            r.search.Cancel();
    };
    const auto start = std::chrono::steady_clock::now();
    r.search.Search();
    // Within about one receive time-out, as one after another; the slow
    // devices would take 2.5 s more.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
    ASSERT_EQ(r.search.DeviceCount(), 8);
    for (int n = 0; n < 8; ++n) {
        if (n < 3)
            ExpectRead(r.search.Device(n));
        else
            EXPECT_EQ(r.search.Device(n).Firmware, "N/A");
    }
    EXPECT_EQ(r.log.Count("1 --- SEARCH FINISHED ---"), 1);
}

TEST(Overlapped, CallbacksComeOneAtATimeWhileTheLogIsWritten) {
    TimedRun r;
    r.adapters = {A1, A2};
    for (int a : {1, 2})
        for (int n = 0; n < 5; ++n)
            r.net.devices[a == 1 ? A1 : A2].push_back(Device(a, n, 3 * n));
    std::atomic<int> inside{0};
    bool overlapped = false, logged = true;
    std::set<std::string> reported;
    TXportSearch::TStatus last;
    auto enter = [&] {
        if (++inside != 1)
            overlapped = true;
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    };
    r.search.OnDevice = [&](const TXportPar& d) {
        enter();
        ExpectRead(d);
        reported.insert(d.IP);
        // The log is written as things happen, not when the search ends.
        logged = logged && r.log.Count("1 Reading from " + d.IP) == 1 &&
                 r.log.Count("1 Sarching on adapter " + d.AdapterIP) == 1;
        --inside;
    };
    r.search.OnStatus = [&](const TXportSearch::TStatus& s) {
        enter();
        EXPECT_GE(s.DevicesRead, last.DevicesRead);
        EXPECT_GE(s.AdaptersDone, last.AdaptersDone);
        last = s;
        --inside;
    };
    r.search.Search();
    EXPECT_FALSE(overlapped);
    EXPECT_TRUE(logged);
    EXPECT_EQ(reported.size(), 10u);
    EXPECT_EQ(last.AdaptersTotal, 2);
    EXPECT_EQ(last.AdaptersDone, 2);
    EXPECT_EQ(last.DevicesHeard, 10);
    EXPECT_EQ(last.DevicesRead, 10);
}

TEST(Overlapped, TraceSeesEveryDatagram) {
    TimedRun r;
    r.net.devices[A1] = {Device(1, 0, 5), Device(1, 2, 5)};
    r.net.strangers[A1] = {{Ip(1, 99), 30718, "junk", 30, 4}};
    std::map<TXportSearch::TTraceEvent::TKind, int> kinds;
    long long lastMs = 0;
    r.search.OnTrace = [&](const TXportSearch::TTraceEvent& e) {
        ++kinds[e.Kind];
        EXPECT_GE(e.Ms, lastMs);
        lastMs = e.Ms;
        EXPECT_EQ(e.Adapter, A1);
    };
    r.search.Search();
    using K = TXportSearch::TTraceEvent::TKind;
    EXPECT_EQ(kinds[K::Sent], 1 + 2 + 1);  // query, two info, one setup
    EXPECT_EQ(kinds[K::Reply], 2 + 2 + 1); // two discovery, two info, one setup reply
    EXPECT_GE(kinds[K::Stray], 1);
}
