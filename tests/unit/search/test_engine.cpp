// The engine against a scripted network: the fake network plays the devices
// of each adapter, a fake adapter list names the adapters.
#include "base/uErrors.h"
#include "search/uXPortSearch.h"
#include "support/DeviceReplies.h"
#include "support/FakeSearchNet.h"
#include "support/RecordingLog.h"

#include <chrono>
#include <deque>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <thread>

namespace {

using Line = TLogLine;
// Every masked line of the search belongs to category 16.
struct RecordingLog : TRecordingLog {
    void WriteLineMasked(std::uint8_t categories, std::uint8_t level,
                         const std::string& text) override {
        EXPECT_EQ(categories, 16);
        TRecordingLog::WriteLineMasked(categories, level, text);
    }
};

using FakeDevice = TFakeDevice;

std::string Discovery(int macLast) {
    return ::Discovery(0, macLast);
}

struct Engine : ::testing::Test {
    void SetUp() override {
        search.Log = &log;
        search.LinkFactory = [this] { return net.NewLink(); };
        search.AdapterAddressProvider = [this] { return adapterList; };
    }
    int Count(const std::string& op) const { return net.Count(op); }
    TFakeSearchNet net;
    RecordingLog log;
    std::vector<std::string> adapterList;
    TXportSearch search;
};

const std::string A1 = "10.77.1.1", A2 = "10.77.2.1";

} // namespace

TEST_F(Engine, NoAdapterWritesOnlyStartAndEnd) {
    search.Search();
    EXPECT_EQ(log.lines, (std::vector<Line>{{false, 1, "--- SEARCHING... ---"},
                                            {false, 1, "--- SEARCH FINISHED ---"}}));
    EXPECT_EQ(search.DeviceCount(), 0);
    EXPECT_TRUE(net.ops.empty());
}

TEST_F(Engine, NoDeviceCostsOneTimeOutAndWritesAnEmptyList) {
    adapterList = {A1};
    search.Search();
    EXPECT_EQ(net.ops, (std::vector<std::string>{"bind " + A1, "bcast " + A1, "recv 1000"}));
    EXPECT_EQ(log.lines, (std::vector<Line>{{false, 1, "--- SEARCHING... ---"},
                                            {false, 1, "Sarching on adapter " + A1},
                                            {false, 1, "--- SEARCH FINISHED ---"},
                                            {true, 1, "--- DEVICE LIST ---"},
                                            {true, 1, "--- ----------- ---"}}));
}

TEST_F(Engine, FullPassDecodesAndLogs) {
    adapterList = {A1};
    net.devices[A1] = {
        {"10.77.1.10", Discovery(3), 1, Reply(1, 4, 5, 2, 8, "Boiler room", 4), {}},
        {"10.77.1.11", Discovery(4), 1, Reply(1, 4, 4, 255, 0, "ignored", 4),
         Reply(0, 0, 0, 0, 0, "From setup", 36)},
        {"10.77.1.12", Discovery(5), 1, Reply(6, 1, 0, 3, 6, "Kind six", 4, 'A'), {}},
    };
    search.Search();
    ASSERT_EQ(search.DeviceCount(), 3);
    const TXportPar& a = search.Device(0);
    EXPECT_EQ(a.IP, "10.77.1.10");
    EXPECT_EQ(a.MAC, "00-20-4A-00-00-03");
    EXPECT_EQ(a.Firmware, "1-4-5.02");
    EXPECT_EQ(a.DeviceType, search.TypeNames[6]);
    EXPECT_EQ(a.Description, "Boiler room");
    EXPECT_EQ(a.StatusChar, "");
    EXPECT_EQ(a.AdapterIP, A1);
    EXPECT_EQ(search.Device(1).Firmware, "1-4-4.255");
    EXPECT_EQ(search.Device(1).Description, "From setup");
    EXPECT_EQ(search.Device(2).StatusChar, "A");
    EXPECT_EQ(search.Device(2).DeviceType, search.TypeNames[3]);
    EXPECT_EQ(Count("E6 10.77.1.11"), 1);
    EXPECT_EQ(Count("E6 10.77.1.10"), 0);
    EXPECT_EQ(Count("E6 10.77.1.12"), 0);
    EXPECT_THROW(search.Device(3), Exception);
    EXPECT_THROW(search.Device(-1), Exception);

    std::vector<Line> want = {
        {false, 1, "--- SEARCHING... ---"},
        {false, 1, "Sarching on adapter " + A1},
        {true, 1, "Reading from 10.77.1.10"},
        {true, 1, "Reading from 10.77.1.11"},
        {true, 1, "Reading from 10.77.1.12"},
        {false, 1, "--- SEARCH FINISHED ---"},
        {true, 1, "--- DEVICE LIST ---"},
        {true, 1, "# 0 10.77.1.10 00-20-4A-00-00-03 1-4-5.02 QT101 \"Boiler room\""},
        {true, 1, "# 1 10.77.1.11 00-20-4A-00-00-04 1-4-4.255 QT100 \"From setup\""},
        {true, 1, "# 2 10.77.1.12 00-20-4A-00-00-05 6-1-0.03 QS102 \"Kind six\""},
        {true, 1, "--- ----------- ---"},
    };
    EXPECT_EQ(log.lines, want);
}

TEST_F(Engine, InfoReplyKeysTypeFromTheInfoReply) {
    adapterList = {A1};
    net.devices[A1] = {{"10.77.1.11", Discovery(4), 1, Reply(1, 4, 4, 255, 0, "x", 4),
                        Reply(9, 9, 9, 9, 9, "Setup text", 36)}};
    search.Search();
    ASSERT_EQ(search.DeviceCount(), 1);
    EXPECT_EQ(search.Device(0).Firmware, "1-4-4.255");
    EXPECT_EQ(search.Device(0).DeviceType, search.TypeNames[5]); // Sensor100
    EXPECT_EQ(search.Device(0).Description, "Setup text");
    EXPECT_EQ(log.lines.at(5), (Line{true, 1,
                                     "# 0 10.77.1.11 00-20-4A-00-00-04 1-4-4.255 QT100 "
                                     "\"Setup text\""}));
}

TEST_F(Engine, SilentInfoCostsThreeTimeOutsAndNoSetup) {
    adapterList = {A1};
    search.ReadTimeout = 250;
    net.devices[A1] = {{"10.77.1.10", Discovery(3), 1, std::nullopt, {}}};
    // Overlapped too: three receive time-outs, measured from the send.
    for (bool sequential : {true, false}) {
        SCOPED_TRACE(sequential ? "sequential" : "overlapped");
        net.ClearOps();
        log.lines.clear();
        TXportSearch search;
        search.Log = &log;
        search.LinkFactory = [this] { return net.NewLink(); };
        search.AdapterAddressProvider = [this] { return adapterList; };
        search.ReadTimeout = 250;
        search.Sequential = sequential;
        search.Search();
        EXPECT_EQ(net.ops,
                  (std::vector<std::string>{"bind " + A1, "bcast " + A1, "recv 250", "recv 250",
                                            "E4 10.77.1.10", "recv 250", "recv 250", "recv 250"}));
        const TXportPar& d = search.Device(0);
        EXPECT_EQ(d.Firmware, "N/A");
        EXPECT_EQ(d.DeviceType, "N/A");
        EXPECT_EQ(d.Description, "");
        EXPECT_EQ(log.lines.at(3),
                  (Line{false, 2, "Operation interrupt. Reading from 10.77.1.10 failed."}));
        EXPECT_EQ(log.lines.at(4), (Line{false, 2, "Different responce source IP ()."}));
    }
}

TEST_F(Engine, RepeatsAndMissingMacs) {
    adapterList = {A1};
    net.devices[A1] = {
        {"10.77.1.10", Discovery(3), 3, Reply(6, 1, 0, 0, 6, "A", 4), {}},
        {"10.77.1.11", std::string(31, 'x'), 1, Reply(6, 1, 0, 0, 6, "B", 4), {}},
        {"10.77.1.12", std::string(12, 'y'), 1, Reply(6, 1, 0, 0, 6, "C", 4), {}},
    };
    search.Search();
    ASSERT_EQ(search.DeviceCount(), 2);
    EXPECT_EQ(search.Device(0).MAC, "00-20-4A-00-00-03");
    EXPECT_EQ(search.Device(1).MAC, "N/A");
    EXPECT_EQ(search.Device(1).IP, "10.77.1.11");
    EXPECT_EQ(Count("E4 10.77.1.10"), 1);
    EXPECT_EQ(Count("E4 10.77.1.12"), 0);
}

TEST_F(Engine, DeviceOnTwoAdaptersIsListedOnceWithTheFirst) {
    adapterList = {A1, A2};
    FakeDevice d{"10.77.1.10", Discovery(3), 1, Reply(6, 1, 0, 0, 6, "A", 4), {}};
    net.devices[A1] = {d};
    d.ip = "10.77.2.10";
    net.devices[A2] = {d, {"10.77.2.20", Discovery(4), 1, Reply(6, 1, 0, 0, 6, "B", 4), {}}};
    std::vector<std::pair<std::string, int>> progress;
    search.Sequential = true; // progress in adapter order
    search.OnProgress = [&](const std::string& a, int n) { progress.emplace_back(a, n); };
    search.Search();
    ASSERT_EQ(search.DeviceCount(), 2);
    EXPECT_EQ(search.Device(0).IP, "10.77.1.10");
    EXPECT_EQ(search.Device(0).AdapterIP, A1);
    EXPECT_EQ(search.Device(1).AdapterIP, A2);
    EXPECT_EQ(Count("E4 10.77.2.10"), 0);
    EXPECT_EQ(progress,
              (std::vector<std::pair<std::string, int>>{{A1, 0}, {A1, 1}, {A2, 1}, {A2, 2}}));

    // A second search keeps the entries and asks only new devices.
    net.devices[A2].push_back({"10.77.2.30", Discovery(5), 1, Reply(6, 1, 0, 0, 6, "C", 4), {}});
    net.ClearOps();
    search.Search();
    ASSERT_EQ(search.DeviceCount(), 3);
    EXPECT_EQ(Count("E4 10.77.2.30"), 1);
    EXPECT_EQ(Count("E4 10.77.1.10") + Count("E4 10.77.2.20"), 0);
}

TEST_F(Engine, FailedBroadcastSkipsTheAdapterSilently) {
    adapterList = {A1, A2};
    net.failBroadcastOn = A1;
    net.devices[A1] = {{"10.77.1.10", Discovery(3), 1, Reply(6, 1, 0, 0, 6, "A", 4), {}}};
    net.devices[A2] = {{"10.77.2.10", Discovery(4), 1, Reply(6, 1, 0, 0, 6, "B", 4), {}}};
    search.Search();
    ASSERT_EQ(search.DeviceCount(), 1);
    EXPECT_EQ(search.Device(0).AdapterIP, A2);
    // The passes run side by side and log as they go: their first lines
    // come in either order, and nothing about the failed broadcast follows.
    std::vector<Line> first = {log.lines.at(1), log.lines.at(2)};
    std::sort(first.begin(), first.end(),
              [](const Line& a, const Line& b) { return a.text < b.text; });
    EXPECT_EQ(first[0], (Line{false, 1, "Sarching on adapter " + A1}));
    EXPECT_EQ(first[1], (Line{false, 1, "Sarching on adapter " + A2}));
}

TEST_F(Engine, LinkErrorsEndTheSearchAfterTheEndLine) {
    adapterList = {A1, A2};
    net.devices[A1] = {{"10.77.1.10", Discovery(3), 1, Reply(6, 1, 0, 0, 6, "A", 4), {}}};
    net.failReceiveAt[A2] = 1;
    EXPECT_THROW(search.Search(), Exception);
    EXPECT_EQ(search.DeviceCount(), 1);
    EXPECT_EQ(log.lines.back(), (Line{false, 1, "--- SEARCH FINISHED ---"}));

    RecordingLog second;
    TXportSearch other;
    other.Log = &second;
    other.AdapterAddressProvider = []() -> std::vector<std::string> {
        throw Exception("System Error.  Code: 1.\r\nx");
    };
    EXPECT_THROW(other.Search(), Exception);
    EXPECT_EQ(second.lines, (std::vector<Line>{{false, 1, "--- SEARCHING... ---"},
                                               {false, 1, "--- SEARCH FINISHED ---"}}));
}

TEST_F(Engine, ReadTimeoutIsBoundedAtUse) {
    adapterList = {A1};
    for (auto [set, used] : {std::pair{-1, -1}, {0, 0}, {-9, 1000}, {2000000000, 60000}}) {
        net.ClearOps();
        search.ReadTimeout = set;
        search.Search();
        EXPECT_EQ(net.ops.back(), "recv " + std::to_string(used)) << set;
    }
}

TEST(EngineBounds, ChatteringNetworkCannotHangTheCollection) {
    // Repeats of one device end the collection by time only (a burst of them
    // must not end it before a slower device answers); forged MACs end it at
    // the device limit.
    enum { Repeats, Paused, Forged };
    for (int mode : {Repeats, Paused, Forged}) {
        for (bool sequential : {false, true}) {
            SCOPED_TRACE(std::to_string(mode) + (sequential ? " sequential" : " overlapped"));
            TXportSearch search;
            RecordingLog log;
            search.Log = &log;
            search.Sequential = sequential;
            search.ReadTimeout = 50;
            search.AdapterAddressProvider = [] { return std::vector<std::string>{"10.77.1.1"}; };
            int receives = 0;
            search.LinkFactory = [&] {
                return std::unique_ptr<TDatagramLink>(
                    new TChatterLink(mode == Paused ? 2 : 0, &receives, mode == Forged));
            };
            search.MaxCollectMs = mode == Forged ? 30000 : 150;
            search.MaxEntriesPerAdapter = 40;
            auto start = std::chrono::steady_clock::now();
            search.Search();
            auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count();
            EXPECT_LT(ms, 5000);
            const bool limited = mode == Forged;
            EXPECT_EQ(search.DeviceCount(), limited ? 40 : 1);
            EXPECT_EQ(search.LimitReached(), limited);
            if (mode == Repeats) {
                EXPECT_GT(receives, 40); // far more than the limit, yet no limit
            }
            EXPECT_EQ(log.Has(2, "Collection stopped: the network did not go quiet."), !limited);
            EXPECT_EQ(log.Has(2, "Device limit of 40 reached on adapter 10.77.1.1: further "
                                 "replies ignored."),
                      limited);
        }
    }
}

TEST(EngineCancel, StopsPromptlyAndReturnsWhatItHas) {
    // Cancelled from the progress callback once the first device is in.
    TXportSearch search;
    search.Sequential = true; // the second adapter is not even started
    TFakeSearchNet net;
    net.devices[A1] = {{"10.77.1.10", Discovery(3), 1, Reply(6, 1, 0, 0, 6, "A", 4), {}},
                       {"10.77.1.11", Discovery(4), 1, Reply(6, 1, 0, 0, 6, "B", 4), {}}};
    search.LinkFactory = [&] { return net.NewLink(); };
    search.AdapterAddressProvider = [] { return std::vector<std::string>{A1, A2}; };
    search.OnProgress = [&](const std::string&, int n) {
        if (n == 1)
            search.Cancel();
    };
    search.Search();
    EXPECT_TRUE(search.Cancelled());
    EXPECT_EQ(search.DeviceCount(), 1);
    EXPECT_EQ(std::count(net.ops.begin(), net.ops.end(), "E4 10.77.1.10"), 0);
    EXPECT_EQ(std::count(net.ops.begin(), net.ops.end(), "bind " + A2), 0);

    // Cancelled from another thread while the network chatters.
    TXportSearch busy;
    busy.AdapterAddressProvider = [] { return std::vector<std::string>{A1}; };
    busy.LinkFactory = [] { return std::unique_ptr<TDatagramLink>(new TChatterLink(5)); };
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        busy.Cancel();
    });
    auto start = std::chrono::steady_clock::now();
    busy.Search();
    canceller.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

namespace {

// One receive of a scripted link: after a pause it refuses a datagram that
// cannot be a reply (the link's error text), returns a reply, or times out.
struct Step {
    enum Kind { Junk, Answer, Quiet } kind = Quiet;
    int pauseMs = 0;
    std::string data; // the reply, or the error text of junk
};

class ScriptLink : public TDatagramLink {
public:
    ScriptLink(std::deque<Step>& script, std::vector<int>& waits)
        : script_(script), waits_(waits) {}
    void BindToAddress(const std::string&) override {}
    void SendBroadcast(const std::string&, int) override {}
    void SendToHost(const std::string&) override {}
    std::string ReceiveDatagram(int timeoutMs, std::string& peer, int& port) override {
        waits_.push_back(timeoutMs);
        peer.clear();
        port = 0;
        if (script_.empty())
            return {};
        const Step step = script_.front();
        script_.pop_front();
        std::this_thread::sleep_for(std::chrono::milliseconds(step.pauseMs));
        if (step.kind == Step::Junk)
            throw EDatagramError(step.data);
        if (step.kind == Step::Quiet)
            return {};
        peer = "10.77.1.10";
        port = 30718;
        return step.data;
    }

private:
    std::deque<Step>& script_;
    std::vector<int>& waits_;
};

struct Scripted {
    explicit Scripted(bool sequential) {
        search.Sequential = sequential;
        search.Log = &log;
        search.AdapterAddressProvider = [] { return std::vector<std::string>{A1}; };
        search.LinkFactory = [this] {
            return std::unique_ptr<TDatagramLink>(new ScriptLink(script, waits));
        };
    }
    int Count(const std::string& text) const {
        return static_cast<int>(
            std::count(log.lines.begin(), log.lines.end(), Line{false, 2, text}));
    }
    std::deque<Step> script;
    std::vector<int> waits;
    RecordingLog log;
    TXportSearch search;
};

const std::string TooLong = "Socket Error # 90\r\nMessage too long";

} // namespace

TEST(EngineJunk, SkippedDatagramNeitherRestartsNorEndsTheWait) {
    for (bool sequential : {true, false}) {
        SCOPED_TRACE(sequential ? "sequential" : "parallel");
        Scripted s(sequential);
        s.search.ReadTimeout = 1000;
        s.script = {{Step::Junk, 60, "UDP Receive Error = 0."},
                    {Step::Answer, 0, Discovery(0x10)},
                    {Step::Quiet, 0, {}},
                    {Step::Junk, 60, TooLong},
                    {Step::Answer, 0, Reply(6, 1, 0, 3, 6, "After junk", 4)}};
        s.search.Search();
        ASSERT_EQ(s.search.DeviceCount(), 1);
        EXPECT_EQ(s.search.Device(0).Description, "After junk");
        // The receive after the junk waits only for what is left of its
        // time-out; a reply starts a new one; the info exchange's first
        // receive goes on after its junk instead of counting it.
        ASSERT_EQ(s.waits.size(), 5u);
        EXPECT_EQ(s.waits[0], 1000);
        EXPECT_GT(s.waits[1], 0);
        EXPECT_LE(s.waits[1], 940);
        EXPECT_EQ(s.waits[2], 1000);
        EXPECT_EQ(s.waits[3], 1000);
        EXPECT_GT(s.waits[4], 0);
        EXPECT_LE(s.waits[4], 940);
        EXPECT_EQ(s.log.lines.at(2), (Line{false, 2, "UDP Receive Error = 0."}));
        EXPECT_EQ(s.log.lines.at(4), (Line{false, 2, TooLong}));
        EXPECT_EQ(s.Count("Different responce source IP ()."), 0);
    }
}

TEST(EngineJunk, JunkCannotStretchTheWaitNorFloodTheLog) {
    for (bool sequential : {true, false}) {
        SCOPED_TRACE(sequential ? "sequential" : "parallel");
        // The junk takes longer than the whole wait: the collection is over,
        // and the reply behind it is never read.
        Scripted late(sequential);
        late.search.ReadTimeout = 50;
        late.script = {{Step::Junk, 80, "UDP Receive Error = 0."},
                       {Step::Answer, 0, Discovery(0x10)}};
        late.search.Search();
        EXPECT_EQ(late.search.DeviceCount(), 0);
        EXPECT_EQ(late.waits.size(), 1u);
        EXPECT_EQ(late.Count("UDP Receive Error = 0."), 1);

        // A stream of junk ends with the wait, logged a bounded number of times.
        // The wait is long beside a sleep's granularity (up to ~16 ms on
        // Windows, more on a busy machine), so that far more than the logged
        // number of datagrams arrive within it.
        Scripted flood(sequential);
        flood.search.ReadTimeout = 1000;
        for (int i = 0; i < 5000; ++i)
            flood.script.push_back({Step::Junk, 1, TooLong});
        const auto start = std::chrono::steady_clock::now();
        flood.search.Search();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_EQ(flood.search.DeviceCount(), 0);
        EXPECT_GT(flood.waits.size(), static_cast<std::size_t>(TXportSearch::MaxLoggedSkips));
        EXPECT_LT(flood.waits.size(), 5000u);
        EXPECT_EQ(flood.Count(TooLong), TXportSearch::MaxLoggedSkips);
    }
}

TEST(EngineLog, DeviceListLineFormat) {
    TXportPar p;
    p.IP = "10.0.0.5";
    p.MAC = "00-20-4A-01-02-03";
    p.Firmware = "1-4-5.02";
    p.DeviceType = "QT104";
    p.Description = "Boiler room";
    EXPECT_EQ(DeviceListLine(0, p),
              "# 0 10.0.0.5 00-20-4A-01-02-03 1-4-5.02 QT104 \"Boiler room\"");
    EXPECT_EQ(DeviceListLine(7, p).substr(0, 4), "# 7 ");
    EXPECT_EQ(DeviceListLine(12, p).substr(0, 4), "#12 ");
    EXPECT_EQ(DeviceListLine(123, p).substr(0, 5), "#123 ");
    EXPECT_EQ(DeviceListLine(3, TXportPar{}), "# 3  N/A N/A N/A \"\"");
}
