// Device search inside a private test network: the real link, adapter list
// and engine against quorvet-devsim. Each group runs in its own network
// (see CMakeLists.txt); none of this may run outside one.
#include "common/TestNet.h"
#include "device/uDeviceComm.h"
#include "platform/Socket.h"
#include "search/IPInfo.h"
#include "search/uXPortSearch.h"
#include "support/RecordingLog.h"
#include "utils/KavenLog.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Line = TLogLine;
using RecordingLog = TRecordingLog;

using Clock = std::chrono::steady_clock;

const TXportPar* Find(const TXportSearch& s, const std::string& ip) {
    for (const TXportPar& d : s.Devices())
        if (d.IP == ip)
            return &d;
    return nullptr;
}

long long MsSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// Requests the simulator received for a device since a mark of its log
// (tests of one group share the network): "F6", "E4", "E6"...
std::vector<std::string> Received(const std::string& deviceIp, std::size_t from = 0) {
    std::vector<std::string> out;
    for (const TDevsimLine& l : TDevsimLog().Select(
             [&](const TDevsimLine& l) { return l.kind == "RX" && l.Get("dev") == deviceIp; },
             from)) {
        std::string data = l.Get("data");
        out.push_back(data.size() == 8 ? data.substr(6) : data);
    }
    return out;
}

int CountOf(const std::vector<std::string>& v, const std::string& x) {
    return static_cast<int>(std::count(v.begin(), v.end(), x));
}

struct CliResult {
    int status = -1;
    std::string out;
};

CliResult RunCli(const std::string& args, const std::string& prefix = "",
                 const std::string& program = QV_CLI_PATH) {
    CliResult r;
    std::string command = prefix + program + " " + args + " 2>/dev/null";
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return r;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t pos = 0, nl;
    while ((nl = text.find('\n', pos)) != std::string::npos) {
        out.push_back(text.substr(pos, nl - pos));
        pos = nl + 1;
    }
    if (pos < text.size())
        out.push_back(text.substr(pos));
    return out;
}

std::string TempSettings(const std::string& name, const std::string& text) {
    auto path = std::filesystem::temp_directory_path() /
                (std::string("qv-") + (std::getenv("QVNET_ID") ? std::getenv("QVNET_ID") : "x") +
                 "-" + name + ".ini");
    std::ofstream(path) << text;
    return path.string();
}

const std::string D65 = [] {
    std::string s;
    for (int i = 0; i < 65; ++i)
        s += static_cast<char>('a' + i % 26);
    return s;
}();

} // namespace

// ---- basic.net --------------------------------------------------------------

TEST(Basic, EveryDeviceIsFoundAndDecoded) {
    TXportSearch search;
    RecordingLog log;
    search.Log = &log;
    search.ReadTimeout = 300;
    search.Search();

    struct Want {
        const char *ip, *mac, *firmware, *type, *description, *status;
    } want[] = {
        {"10.77.1.10", "00-20-4A-00-01-10", "1-4-5.00", "QT101", "Info one", ""},
        {"10.77.1.11", "00-20-4A-00-01-11", "1-4-4.255", "QT100", "Setup two", ""},
        {"10.77.1.12", "00-20-4A-00-01-12", "5-5-1.22", "QS101", "", ""},
        {"10.77.1.13", "00-20-4A-00-01-13", "5-5-1.23", "QS101", "Shown", ""},
        {"10.77.1.14", "00-20-4A-00-01-14", "6-1-0.03", "QS102", "Six", "A"},
        {"10.77.1.15", "00-20-4A-00-01-15", "6-1-0.03", "QS103", D65.c_str(), "C"},
        {"10.77.1.16", "00-20-4A-00-01-16", "7-2-0.01", "QT128", "Twice", ""},
        {"10.77.1.17", "00-20-4A-00-01-17", "3-1-2.03", "QS100", "", ""},
        {"10.77.1.18", "00-20-4A-00-01-18", "4-4-1.255", "QT109", "Setup four", ""},
    };
    ASSERT_EQ(search.DeviceCount(), 9);
    for (const Want& w : want) {
        const TXportPar* d = Find(search, w.ip);
        ASSERT_NE(d, nullptr) << w.ip;
        EXPECT_EQ(d->MAC, w.mac) << w.ip;
        EXPECT_EQ(d->Firmware, w.firmware) << w.ip;
        EXPECT_EQ(d->DeviceType, w.type) << w.ip;
        EXPECT_EQ(d->Description, w.description) << w.ip;
        EXPECT_EQ(d->StatusChar, w.status) << w.ip;
        EXPECT_EQ(d->AdapterIP, "10.77.1.1") << w.ip;
    }
    EXPECT_EQ(log.lines.front().text, "--- SEARCHING... ---");
    EXPECT_TRUE(log.Has(1, "Sarching on adapter 10.77.1.1"));
    EXPECT_TRUE(log.Has(1, "# 0 " + search.Device(0).IP + " " + search.Device(0).MAC + " " +
                               search.Device(0).Firmware + " " + search.Device(0).DeviceType +
                               " \"" + search.Device(0).Description + "\""));
    EXPECT_EQ(log.lines.back().text, "--- ----------- ---");
}

TEST(Basic, SetupRequestOnlyWhereTheFirmwareRuleSaysSo) {
    const std::size_t mark = TDevsimLog().Mark();
    TXportSearch search;
    search.ReadTimeout = 300;
    search.Search();
    ASSERT_EQ(search.DeviceCount(), 9);
    // The discovery query and one info request per device; the setup request
    // only for kind 1 below 4.5.0 and kind 4 below 4.2.0.
    for (int last = 10; last <= 18; ++last) {
        const std::string ip = "10.77.1." + std::to_string(last);
        auto rx = Received(ip, mark);
        EXPECT_GE(CountOf(rx, "F6"), 1) << ip;
        EXPECT_EQ(CountOf(rx, "E4"), 1) << ip;
        EXPECT_EQ(CountOf(rx, "E6"), (last == 11 || last == 18) ? 1 : 0) << ip;
    }
}

TEST(Basic, BroadcastPermissionIsOffAfterSendBroadcast) {
    TXPort link;
    link.BindToAddress("10.77.1.1");
    EXPECT_FALSE(link.BroadcastPermitted());
    link.SendBroadcast(XPortDiscoveryQuery, XPortPort);
    EXPECT_FALSE(link.BroadcastPermitted());
    std::string peer;
    int port = 0;
    int replies = 0;
    while (!link.ReceiveDatagram(300, peer, port).empty()) {
        ++replies;
        EXPECT_EQ(port, 30718);
    }
    EXPECT_EQ(replies, 9 + 2); // one device answers three times
    // The same socket still reaches a device by unicast.
    link.Host = "10.77.1.14";
    link.SendToHost(XPortInfoRequest);
    std::string reply = link.ReceiveDatagram(1000, peer, port);
    EXPECT_EQ(reply.size(), 130u);
    EXPECT_EQ(peer, "10.77.1.14");
    EXPECT_FALSE(link.BroadcastPermitted());
}

TEST(Basic, CliTableAndJson) {
    const std::string noSettings = "--settings /nonexistent/Quorvet.ini --timeout 300";
    CliResult table = RunCli("search " + noSettings);
    ASSERT_EQ(table.status, 0);
    auto lines = Lines(table.out);
    ASSERT_EQ(lines.size(), 11u) << table.out;
    EXPECT_EQ(lines.front(), "IP          MAC                Firmware   Type   Status  Adapter    "
                             "Description");
    EXPECT_EQ(lines.back(), "9 device(s) found.");
    std::vector<std::string> rows(lines.begin() + 1, lines.end() - 1);
    std::sort(rows.begin(), rows.end());
    std::vector<std::string> want = {
        "10.77.1.10  00-20-4A-00-01-10  1-4-5.00   QT101          10.77.1.1  Info one",
        "10.77.1.11  00-20-4A-00-01-11  1-4-4.255  QT100          10.77.1.1  Setup two",
        "10.77.1.12  00-20-4A-00-01-12  5-5-1.22   QS101          10.77.1.1",
        "10.77.1.13  00-20-4A-00-01-13  5-5-1.23   QS101          10.77.1.1  Shown",
        "10.77.1.14  00-20-4A-00-01-14  6-1-0.03   QS102  A       10.77.1.1  Six",
        "10.77.1.15  00-20-4A-00-01-15  6-1-0.03   QS103  C       10.77.1.1  " + D65,
        "10.77.1.16  00-20-4A-00-01-16  7-2-0.01   QT128          10.77.1.1  Twice",
        "10.77.1.17  00-20-4A-00-01-17  3-1-2.03   QS100          10.77.1.1",
        "10.77.1.18  00-20-4A-00-01-18  4-4-1.255  QT109          10.77.1.1  Setup four",
    };
    EXPECT_EQ(rows, want);

    CliResult json = RunCli("search --json " + noSettings);
    ASSERT_EQ(json.status, 0);
    auto jl = Lines(json.out);
    ASSERT_EQ(jl.size(), 11u) << json.out;
    EXPECT_EQ(jl.front(), "[");
    EXPECT_EQ(jl.back(), "]");
    std::vector<std::string> objects;
    for (std::size_t i = 1; i + 1 < jl.size(); ++i) {
        std::string o = jl[i];
        if (!o.empty() && o.back() == ',')
            o.pop_back();
        objects.push_back(o);
    }
    std::sort(objects.begin(), objects.end());
    EXPECT_EQ(objects[4],
              "  {\"IP\": \"10.77.1.14\", \"MAC\": \"00-20-4A-00-01-14\", \"Firmware\": "
              "\"6-1-0.03\", \"Description\": \"Six\", \"DeviceType\": \"QS102\", "
              "\"StatusChar\": \"A\", \"AdapterIP\": \"10.77.1.1\"}");
    EXPECT_EQ(objects[2],
              "  {\"IP\": \"10.77.1.12\", \"MAC\": \"00-20-4A-00-01-12\", \"Firmware\": "
              "\"5-5-1.22\", \"Description\": \"\", \"DeviceType\": \"QS101\", "
              "\"StatusChar\": \"\", \"AdapterIP\": \"10.77.1.1\"}");
}

TEST(Basic, CliReadsTypeNamesFromTheSettingsFile) {
    std::string file = TempSettings("types", "[Connection]\nReadTimeout=250\n"
                                             "[GlobalTypes]\nSensor101=Boiler\n");
    CliResult r = RunCli("search --settings " + file);
    std::filesystem::remove(file);
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("1-4-5.00   Boiler"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("1-4-4.255  QT100"), std::string::npos) << r.out;

    // Without --settings: Quorvet.ini beside the program file.
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(std::getenv("QVNET_DIR")) / "cli";
    fs::create_directories(dir);
    fs::copy_file(QV_CLI_PATH, dir / "quorvet-cli", fs::copy_options::overwrite_existing);
    std::ofstream(dir / "Quorvet.ini") << "[GlobalTypes]\nSensor101=Beside\n";
    CliResult beside = RunCli("search --timeout 300", "", (dir / "quorvet-cli").string());
    ASSERT_EQ(beside.status, 0);
    EXPECT_NE(beside.out.find("1-4-5.00   Beside"), std::string::npos) << beside.out;
}

// ---- quiet.net --------------------------------------------------------------

TEST(Quiet, NoDeviceEndsAfterOneTimeOutFromTheSettings) {
    std::string file = TempSettings("quiet", "[Connection]\nReadTimeout=250\n");
    TXportSearch search;
    RecordingLog log;
    search.Log = &log;
    search.LoadSettings(file);
    std::filesystem::remove(file);
    EXPECT_EQ(search.ReadTimeout, 250);
    auto start = Clock::now();
    search.Search();
    auto ms = MsSince(start);
    EXPECT_GE(ms, 250);
    EXPECT_LT(ms, 750);
    EXPECT_EQ(search.DeviceCount(), 0);
    std::vector<std::string> texts;
    for (const Line& l : log.lines)
        texts.push_back(l.text);
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "--- SEARCHING... ---", "Sarching on adapter 10.77.1.1",
                         "--- SEARCH FINISHED ---", "--- DEVICE LIST ---", "--- ----------- ---"}));
    // The query did go out on the adapter.
    EXPECT_TRUE(TDevsimLog().WaitFor(
        [](const TDevsimLine& l) { return l.kind == "RX" && l.Get("dev") == "10.77.1.10"; },
        std::chrono::milliseconds(1000)));
}

TEST(Quiet, CliSucceedsWithNoDevice) {
    CliResult r = RunCli("search --settings /nonexistent --timeout 200");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Lines(r.out).back(), "0 device(s) found.");
    CliResult j = RunCli("search --json --settings /nonexistent --timeout 200");
    EXPECT_EQ(j.status, 0);
    EXPECT_EQ(j.out, "[]\n");
    EXPECT_EQ(RunCli("search --timeout soon").status, 2);
    // Outside a test network the CLI refuses to broadcast unless told to.
    const std::size_t mark = TDevsimLog().Mark();
    CliResult outside = RunCli("search --settings /nonexistent --timeout 200", "env -u QVNET_ID ");
    EXPECT_EQ(outside.status, 2);
    EXPECT_EQ(outside.out, "");
    CliResult told =
        RunCli("search --real-network --settings /nonexistent --timeout 200", "env -u QVNET_ID ");
    EXPECT_EQ(told.status, 0);
    EXPECT_EQ(Lines(told.out).back(), "0 device(s) found.");
    EXPECT_EQ(Received("10.77.1.10", mark).size(), 1u); // only the run that was told
}

// ---- timing.net -------------------------------------------------------------

TEST(Timing, ThreeInTimeAndALateReplyBreaksTheNextExchange) {
    TXportSearch search;
    RecordingLog log;
    search.Log = &log;
    search.ReadTimeout = 500;
    search.Sequential = true;
    search.Search();
    ASSERT_EQ(search.DeviceCount(), 3);
    EXPECT_EQ(search.Device(0).IP, "10.77.1.20");
    EXPECT_EQ(search.Device(1).IP, "10.77.1.30");
    EXPECT_EQ(search.Device(2).IP, "10.77.1.10");
    EXPECT_EQ(search.Device(0).Description, "First");
    EXPECT_EQ(search.Device(1).Description, "Second");
    // The late discovery reply was taken as the answer to 10.77.1.10's request.
    EXPECT_EQ(search.Device(2).Firmware, "N/A");
    EXPECT_EQ(search.Device(2).DeviceType, "N/A");
    EXPECT_TRUE(log.Has(2, "Operation interrupt. Reading from 10.77.1.10 failed."));
    EXPECT_TRUE(log.Has(2, "Different responce source IP (10.77.1.40)."));
    EXPECT_EQ(Find(search, "10.77.1.40"), nullptr);
}

TEST(Timing, OverlappedALateReplyAddsItsDeviceAndBreaksNothing) {
    TXportSearch search;
    RecordingLog log;
    search.Log = &log;
    search.ReadTimeout = 500;
    search.Search();
    ASSERT_EQ(search.DeviceCount(), 4);
    const char* want[][2] = {{"10.77.1.20", "First"},
                             {"10.77.1.30", "Second"},
                             {"10.77.1.10", "Slow"},
                             {"10.77.1.40", "Late"}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(search.Device(i).IP, want[i][0]);
        EXPECT_EQ(search.Device(i).Description, want[i][1]);
        EXPECT_EQ(search.Device(i).Firmware, "6-1-0.00");
    }
    EXPECT_FALSE(log.Has(2, "Operation interrupt. Reading from 10.77.1.10 failed."));
}

// ---- faults.net -------------------------------------------------------------

TEST(Faults, SilentAndMalformedExchanges) {
    for (bool sequential : {true, false}) {
        SCOPED_TRACE(sequential ? "sequential" : "overlapped");
        TXportSearch search;
        RecordingLog log;
        search.Log = &log;
        search.Sequential = sequential;
        search.ReadTimeout = 200;
        auto start = Clock::now();
        search.Search();
        auto ms = MsSince(start);
        // One time-out of silence, three for the silent info, three for the
        // silent setup request; overlapped, the two silent exchanges wait at
        // the same time.
        const int waits = sequential ? 7 : 4;
        EXPECT_GE(ms, waits * 200 - 10);
        EXPECT_LT(ms, waits * 200 + 1200);
        ASSERT_EQ(search.DeviceCount(), 5);

        const TXportPar* noInfo = Find(search, "10.77.1.10");
        ASSERT_NE(noInfo, nullptr);
        EXPECT_EQ(noInfo->Firmware, "N/A");
        EXPECT_EQ(noInfo->DeviceType, "N/A");
        EXPECT_EQ(noInfo->Description, "");
        EXPECT_EQ(noInfo->MAC, "00-20-4A-00-04-10");
        EXPECT_TRUE(log.Has(2, "Operation interrupt. Reading from 10.77.1.10 failed."));
        EXPECT_TRUE(log.Has(2, "Different responce source IP ()."));
        EXPECT_EQ(CountOf(Received("10.77.1.10"), "E6"), 0);
        EXPECT_EQ(CountOf(Received("10.77.1.10"), "E4"), sequential ? 1 : 2);

        const TXportPar* noSetup = Find(search, "10.77.1.11");
        ASSERT_NE(noSetup, nullptr);
        EXPECT_EQ(noSetup->Firmware, "1-4-4.255");
        EXPECT_EQ(noSetup->DeviceType, "QT101");
        EXPECT_EQ(noSetup->Description, "");
        EXPECT_TRUE(log.Has(2, "Operation interrupt. Reading from 10.77.1.11 failed (setup E6)."));
        EXPECT_EQ(CountOf(Received("10.77.1.11"), "E6"), sequential ? 1 : 2);

        for (const char* ip : {"10.77.1.12", "10.77.1.13"}) {
            const TXportPar* d = Find(search, ip);
            ASSERT_NE(d, nullptr);
            EXPECT_EQ(d->Firmware, "N/A") << ip;
            EXPECT_EQ(d->DeviceType, "N/A") << ip;
            EXPECT_EQ(d->Description, "") << ip;
            EXPECT_EQ(CountOf(Received(ip), "E6"), 0) << ip;
        }

        const TXportPar* oddSetup = Find(search, "10.77.1.14");
        ASSERT_NE(oddSetup, nullptr);
        EXPECT_EQ(oddSetup->Firmware, "0-1-0.00");
        EXPECT_EQ(oddSetup->Description, "");
        EXPECT_EQ(CountOf(Received("10.77.1.14"), "E6"), sequential ? 1 : 2);
    }
}

TEST(Faults, TheLogIsWrittenAsThingsHappen) {
    // A timestamped log file: the silent device shows its three waits
    // between its request and its failure, and lines are there before the
    // search ends.
    const std::string file =
        (std::filesystem::temp_directory_path() / ("qv-live-" + std::to_string(getpid()) + ".log"))
            .string();
    std::filesystem::remove(file);
    TEventLog log(file, true, 16);
    TXportSearch search;
    search.Log = &log;
    search.ReadTimeout = 300;
    auto read = [&] {
        std::ifstream in(file);
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);)
            lines.push_back(l);
        return lines;
    };
    std::size_t linesAtFirstDevice = 0;
    search.OnDevice = [&](const TXportPar&) {
        if (!linesAtFirstDevice)
            linesAtFirstDevice = read().size();
    };
    search.Search();
    EXPECT_GE(linesAtFirstDevice, 3u); // SEARCHING, Sarching on adapter, Reading from
    // "yy-mm-dd hh:nn:ss zzz": milliseconds of the day.
    auto at = [](const std::string& l) {
        return ((std::stoi(l.substr(9, 2)) * 60 + std::stoi(l.substr(12, 2))) * 60 +
                std::stoi(l.substr(15, 2))) *
                   1000 +
               std::stoi(l.substr(18, 3));
    };
    long long previous = -1, asked = -1, failed = -1;
    for (const std::string& l : read()) {
        const long long t = at(l);
        EXPECT_GE(t, previous) << l; // never backwards
        previous = t;
        if (l.find("[i] Reading from 10.77.1.10") != std::string::npos)
            asked = t;
        if (l.find("Operation interrupt. Reading from 10.77.1.10 failed.") != std::string::npos)
            failed = t;
    }
    ASSERT_GE(asked, 0);
    ASSERT_GE(failed, 0);
    EXPECT_GE(failed - asked, 3 * 300 - 20);
    EXPECT_LT(failed - asked, 3 * 300 + 500);
    std::filesystem::remove(file);
}

// ---- twoadapters.net --------------------------------------------------------

TEST(TwoAdapters, AnEqualMacHeardTwiceIsListedOnceWithTheFirstAdapter) {
    TXportSearch search;
    search.ReadTimeout = 300;
    search.Search();
    ASSERT_EQ(search.DeviceCount(), 2);
    EXPECT_EQ(search.Device(0).IP, "10.77.1.10");
    EXPECT_EQ(search.Device(0).MAC, "N/A");
    EXPECT_EQ(search.Device(0).AdapterIP, "10.77.1.1");
    EXPECT_EQ(search.Device(0).Description, "Both");
    EXPECT_EQ(search.Device(1).IP, "10.77.2.20");
    EXPECT_EQ(search.Device(1).AdapterIP, "10.77.2.1");
    EXPECT_EQ(search.Device(1).DeviceType, "QS103");
    // Queried only on the pass that heard it first.
    auto second = Received("10.77.2.10");
    EXPECT_GE(CountOf(second, "F6"), 1);
    EXPECT_EQ(CountOf(second, "E4"), 0);
}

// ---- ten.net ----------------------------------------------------------------

TEST(TenAdapters, AdapterListHasAllTenInOrder) {
    TIPInfo info;
    ASSERT_EQ(info.AdapterCount(), 10);
    std::vector<std::string> list;
    GetAdapterAddresses(list);
    ASSERT_EQ(list.size(), 10u);
    for (int i = 0; i < 10; ++i) {
        const TAdapter& a = info.Adapter(i);
        EXPECT_EQ(a.Name, "qv" + std::to_string(i));
        EXPECT_EQ(list[static_cast<std::size_t>(i)], "10.77." + std::to_string(i + 1) + ".1");
        ASSERT_EQ(a.AddressCount(), 1);
        EXPECT_EQ(a.Address(0).Mask, "255.255.255.0");
        EXPECT_EQ(a.HardwareAddressLength, 6);
        EXPECT_EQ(a.HardwareAddress.size(), 17u);
        EXPECT_EQ(a.HardwareAddress.find_first_of("abcdef"), std::string::npos);
    }
}

TEST(TenAdapters, EveryAdapterIsSearched) {
    TXportSearch search;
    search.ReadTimeout = 200;
    search.Search();
    ASSERT_EQ(search.DeviceCount(), 10);
    for (int i = 0; i < 10; ++i) {
        const TXportPar& d = search.Device(i);
        const std::string net = "10.77." + std::to_string(i + 1);
        EXPECT_EQ(d.IP, net + ".10");
        EXPECT_EQ(d.AdapterIP, net + ".1");
        EXPECT_EQ(d.Firmware,
                  "6-1-0." + std::string(i + 1 < 10 ? "0" : "") + std::to_string(i + 1));
        EXPECT_EQ(d.Description, "Dev " + std::to_string(i + 1));
    }
}

// ---- chatter.net ------------------------------------------------------------

TEST(Chatter, AChatteringDeviceCannotHangTheSearch) {
    TXportSearch search;
    RecordingLog log;
    search.Log = &log;
    search.ReadTimeout = 300;
    search.MaxCollectMs = 1500;
    auto start = Clock::now();
    search.Search();
    auto ms = MsSince(start);
    EXPECT_GE(ms, 1500);
    EXPECT_LT(ms, 1500 + 300 + 3 * 2 * 300 + 1000);
    ASSERT_EQ(search.DeviceCount(), 2);
    EXPECT_TRUE(log.Has(2, "Collection stopped: the network did not go quiet."));
    const TXportPar* calm = Find(search, "10.77.1.11");
    ASSERT_NE(calm, nullptr);
}

// ---- hostile.net -------------------------------------------------------------

TEST(Hostile, EveryRealDeviceIsReadAndTheSearchEndsWithinItsBound) {
    TXportSearch search;
    RecordingLog log;
    search.Log = &log;
    search.ReadTimeout = 300;
    search.MaxCollectMs = 2000;
    auto start = Clock::now();
    search.Search();
    const auto ms = MsSince(start);
    // The bound of README "How long a search can take", for these settings
    // (and a second for the machine).
    const int rt = search.ReadTimeout;
    const int entries = search.MaxEntriesPerAdapter;
    const long long bound = search.MaxCollectMs + rt + 3 * rt + 6 * rt +
                            static_cast<long long>(entries) * search.PaceMicros / 1000 + 1000;
    EXPECT_LT(ms, bound);
    std::printf("hostile network: %lld ms (bound %lld ms), %d entries\n",
                static_cast<long long>(ms), bound, search.DeviceCount());

    const char* real[][2] = {{"10.77.1.10", "Real ten"},
                             {"10.77.1.11", "Real setup"},
                             {"10.77.1.12", "Real late"},
                             {"10.77.2.10", "Real two"}};
    for (const auto& [ip, text] : real) {
        const TXportPar* d = Find(search, ip);
        ASSERT_NE(d, nullptr) << ip;
        EXPECT_EQ(d->Description, text) << ip;
        EXPECT_NE(d->Firmware, "N/A") << ip;
        EXPECT_NE(d->DeviceType, "N/A") << ip;
        EXPECT_FALSE(
            log.Has(2, std::string("Operation interrupt. Reading from ") + ip + " failed."));
    }
    // The burst is one device, read; the forged MACs are listed (under the
    // limit) and share their host's one failed exchange.
    const TXportPar* burster = Find(search, "10.77.1.201");
    ASSERT_NE(burster, nullptr);
    EXPECT_EQ(burster->Description, "Burster");
    int forged = 0;
    for (const TXportPar& d : search.Devices())
        forged += d.IP == "10.77.2.200";
    EXPECT_EQ(forged, 1001);
    EXPECT_EQ(CountOf(Received("10.77.2.200"), "E4"), 1);
    EXPECT_FALSE(search.LimitReached());
    for (const char* ip : {"10.77.2.11", "10.77.2.12"}) {
        const TXportPar* d = Find(search, ip);
        ASSERT_NE(d, nullptr) << ip;
        EXPECT_EQ(d->Firmware, "N/A") << ip;
    }
}

// ---- perdevice.net ----------------------------------------------------------

TEST(PerDevice, UnreachableDevicesAndBrokenDatagramsNeverHideAnother) {
    auto object = [](const char* ip, const char* mac, const char* firmware, const char* description,
                     const char* type, const char* status, const char* adapter) {
        return std::string("  {\"IP\": \"") + ip + "\", \"MAC\": \"" + mac +
               "\", \"Firmware\": \"" + firmware + "\", \"Description\": \"" + description +
               "\", \"DeviceType\": \"" + type + "\", \"StatusChar\": \"" + status +
               "\", \"AdapterIP\": \"" + adapter + "\"}";
    };
    const char *a1 = "10.77.1.1", *a2 = "10.77.2.1";
    std::vector<std::string> want = {
        object("10.77.1.10", "00-20-4A-00-0D-10", "6-1-0.03", "First", "QS102", "A", a1),
        object("10.77.1.11", "00-20-4A-00-0D-11", "1-4-4.255", "Second", "QT101", "", a1),
        // Never asked (no route, or the subnet's broadcast address) and
        // answered only with junk: listed with what the discovery gave.
        object("10.77.1.40", "00-20-4A-00-0D-40", "N/A", "", "N/A", "", a1),
        object("10.77.2.20", "00-20-4A-00-0D-20", "5-5-2.00", "Third", "QS101", "", a2),
        object("10.77.2.255", "00-20-4A-00-0D-25", "N/A", "", "N/A", "", a2),
        object("10.77.2.40", "00-20-4A-00-0D-41", "N/A", "", "N/A", "", a2),
        object("192.168.1.213", "00-20-4A-00-0D-13", "N/A", "", "N/A", "", a1),
    };
    const std::string logFile = std::string(std::getenv("QVNET_DIR")) + "/perdevice.log";
    for (const char* mode : {"", " --sequential"}) {
        SCOPED_TRACE(*mode ? "sequential" : "parallel");
        std::filesystem::remove(logFile);
        const std::size_t mark = TDevsimLog().Mark();
        CliResult r =
            RunCli(std::string("search --json --settings /nonexistent.ini --timeout 300") + mode +
                   " --log " + logFile);
        EXPECT_EQ(r.status, 0) << r.out;
        std::vector<std::string> objects;
        for (std::string line : Lines(r.out)) {
            if (line.rfind("  {", 0) != 0)
                continue;
            if (line.back() == ',')
                line.pop_back();
            objects.push_back(line);
        }
        std::sort(objects.begin(), objects.end());
        EXPECT_EQ(objects, want);

        std::ifstream in(logFile, std::ios::binary);
        const std::string log((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
        auto count = [&](const std::string& text) {
            int n = 0;
            for (std::size_t at = log.find(text); at != std::string::npos;
                 at = log.find(text, at + 1))
                ++n;
            return n;
        };
        for (const char* ip : {"192.168.1.213", "10.77.2.255", "10.77.1.40", "10.77.2.40"})
            EXPECT_EQ(
                count(std::string("[x] Operation interrupt. Reading from ") + ip + " failed.\r\n"),
                1)
                << ip;
        EXPECT_EQ(count("[x] Different responce source IP ().\r\n"), 4);
        EXPECT_EQ(count("[x] UDP Receive Error = 0.\r\n"), 2); // discovery, info
        EXPECT_EQ(count("[x] " + SocketErrorMessage(platform::MessageTooLongError()) + "\r\n"), 2);
        EXPECT_EQ(count("--- SEARCH FINISHED ---"), 1);

        // Nothing went to the addresses that cannot be sent to; above all no
        // request to the subnet's broadcast address.
        for (const char* ip : {"192.168.1.213", "10.77.2.255"})
            EXPECT_EQ(CountOf(Received(ip, mark), "F6"),
                      static_cast<int>(Received(ip, mark).size()))
                << ip;
        EXPECT_TRUE(
            TDevsimLog()
                .Select([](const TDevsimLine& l) { return l.Get("to") == "10.77.2.255"; }, mark)
                .empty());
        EXPECT_EQ(CountOf(Received("10.77.2.40", mark), "E4"), 1);
    }
}

int main(int argc, char** argv) {
    RequireTestNetwork();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// ---- the event log of quorvet-cli search --log (basic.net) -----------------

namespace {

// The lines of a log file with their timestamp and marker checked and cut off.
std::vector<std::string> LogTexts(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> texts;
    std::size_t pos = 0, end;
    while ((end = all.find("\r\n", pos)) != std::string::npos) {
        const std::string line = all.substr(pos, end - pos);
        pos = end + 2;
        // "yy-mm-dd hh:nn:ss zzz [i] text"
        EXPECT_GE(line.size(), 26u) << line;
        if (line.size() < 26)
            continue;
        for (std::size_t i : {2u, 5u})
            EXPECT_EQ(line[i], '-') << line;
        for (std::size_t i : {11u, 14u})
            EXPECT_EQ(line[i], ':') << line;
        EXPECT_EQ(line.substr(21, 5), " [i] ") << line;
        texts.push_back(line.substr(26));
    }
    EXPECT_EQ(pos, all.size()) << "every line ends in CR LF";
    return texts;
}

} // namespace

TEST(Basic, CliLogHoldsTheEngineLinesExactly) {
    const std::string log = std::string(std::getenv("QVNET_DIR")) + "/search.log";
    std::filesystem::remove(log);
    CliResult r = RunCli("search --settings /nonexistent.ini --timeout 300 --log " + log);
    ASSERT_EQ(r.status, 0);
    std::vector<std::string> texts = LogTexts(log);
    ASSERT_EQ(texts.size(), 2u + 9 + 2 + 9 + 1) << r.out;
    EXPECT_EQ(texts[0], "--- SEARCHING... ---");
    EXPECT_EQ(texts[1], "Sarching on adapter 10.77.1.1");
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(texts[2 + i].rfind("Reading from 10.77.1.1", 0), 0u) << texts[2 + i];
    EXPECT_EQ(texts[11], "--- SEARCH FINISHED ---");
    EXPECT_EQ(texts[12], "--- DEVICE LIST ---");
    std::vector<std::string> entries(texts.begin() + 13, texts.begin() + 22);
    for (int i = 0; i < 9; ++i) // index right-aligned in two places
        EXPECT_EQ(entries[i].substr(0, 13), "# " + std::to_string(i) + " 10.77.1.1") << entries[i];
    const std::string six = "10.77.1.14 00-20-4A-00-01-14 6-1-0.03 QS102 \"Six\"";
    EXPECT_EQ(std::count_if(entries.begin(), entries.end(),
                            [&](const std::string& e) { return e.substr(4) == six; }),
              1);
    EXPECT_EQ(texts[22], "--- ----------- ---");

    // A second run appends; mask 0 leaves out the reads and the device list.
    r = RunCli("search --settings /nonexistent.ini --timeout 300 --log-mask 0 --log " + log);
    ASSERT_EQ(r.status, 0);
    texts = LogTexts(log);
    ASSERT_EQ(texts.size(), 23u + 3);
    EXPECT_EQ(std::vector<std::string>(texts.begin() + 23, texts.end()),
              (std::vector<std::string>{"--- SEARCHING... ---", "Sarching on adapter 10.77.1.1",
                                        "--- SEARCH FINISHED ---"}));
}
