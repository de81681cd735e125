// The parallel search against the sequential one in private test networks,
// and a burst of 250 replies to one broadcast. None of this may run outside
// a network built by qvnet.
#include "common/TestNet.h"
#include "search/uXPortSearch.h"
#include "support/RecordingLog.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

namespace {

using Line = TLogLine;
using RecordingLog = TRecordingLog;

struct Result {
    std::vector<TXportPar> devices;
    std::vector<Line> lines;
};

Result Search(bool sequential, int readTimeout) {
    TXportSearch search;
    RecordingLog log;
    search.Log = &log;
    search.Sequential = sequential;
    search.ReadTimeout = readTimeout;
    search.Search();
    return {search.Devices(), log.lines};
}

auto Fields(const TXportPar& d) {
    return std::tie(d.IP, d.MAC, d.Firmware, d.Description, d.DeviceType, d.StatusChar,
                    d.AdapterIP);
}

std::string Cli(const std::string& args) {
    std::string out;
    FILE* p = popen((std::string(QV_CLI_PATH) + " " + args + " 2>&1").c_str(), "r");
    if (!p)
        return "popen failed";
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    const int status = pclose(p);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        out += "\n(exit status " + std::to_string(status) + ")";
    return out;
}

} // namespace

// ---- compare.net ------------------------------------------------------------

// Lines without the closing list, sorted: overlapped passes and devices
// write theirs in the order things happen.
std::vector<Line> Events(const std::vector<Line>& lines, const std::string& leaveOut) {
    std::vector<Line> out;
    for (const Line& l : lines)
        if (l.text.rfind("#", 0) != 0 && l.text.find(leaveOut) == std::string::npos)
            out.push_back(l);
    std::sort(out.begin(), out.end(), [](const Line& a, const Line& b) { return a.text < b.text; });
    return out;
}

TEST(Compare, SequentialAndParallelGiveTheSameDevicesAndLines) {
    const Result seq = Search(true, 500);
    const Result par = Search(false, 500);
    // Adapter 1 is where the two differ on purpose: one after another, the
    // late reply breaks an exchange; overlapped, it adds its device.
    ASSERT_EQ(seq.devices.size() + 1, par.devices.size());
    for (std::size_t i = 3; i < seq.devices.size(); ++i)
        EXPECT_EQ(Fields(seq.devices[i]), Fields(par.devices[i + 1])) << "entry " << i;
    EXPECT_EQ(Events(seq.lines, "10.77.1."), Events(par.lines, "10.77.1."));

    // The network does what it is there for: a late reply that broke an
    // exchange, a repeat heard on another adapter, silence and a setup reply.
    ASSERT_EQ(seq.devices.size(), 11u);
    EXPECT_EQ(seq.devices[2].IP, "10.77.1.10");
    EXPECT_EQ(seq.devices[2].Firmware, "N/A");
    const Line late{false, 2, "Different responce source IP (10.77.1.40)."};
    EXPECT_NE(std::find(seq.lines.begin(), seq.lines.end(), late), seq.lines.end());
    EXPECT_EQ(par.devices[2].Description, "Slow");
    EXPECT_EQ(par.devices[3].Description, "Late");
    EXPECT_EQ(par.devices[8].MAC, "N/A");
    EXPECT_EQ(par.devices[8].AdapterIP, "10.77.2.1");
    EXPECT_EQ(par.devices[5].Description, "From setup");
    const Line silent{false, 2, "Different responce source IP ()."};
    EXPECT_EQ(std::count(par.lines.begin(), par.lines.end(), silent), 2);
}

TEST(Compare, CliPrintsTheSameEitherWayButTheMendedLateReply) {
    const std::string args = "search --settings /nonexistent --timeout 500";
    const std::string parallel = Cli(args);
    const std::string sequential = Cli(args + " --sequential");
    EXPECT_NE(sequential.find("11 device(s) found."), std::string::npos) << sequential;
    EXPECT_NE(parallel.find("12 device(s) found."), std::string::npos) << parallel;
    // Every row but the one the late reply broke, and the count, are printed
    // alike (the columns may be wider by the added row).
    std::istringstream rows(sequential);
    std::string row;
    auto squeeze = [](std::string s) {
        s.erase(
            std::unique(s.begin(), s.end(), [](char a, char b) { return a == ' ' && b == ' '; }),
            s.end());
        return s;
    };
    while (std::getline(rows, row)) {
        if (row.find("10.77.1.10 ") == std::string::npos &&
            row.find("found.") == std::string::npos) {
            EXPECT_NE(squeeze(parallel).find(squeeze(row)), std::string::npos) << row;
        }
    }

    // --stream: one JSON object per line, each as --json prints it.
    const std::string json = Cli(args + " --json");
    const std::string stream = Cli(args + " --stream");
    std::istringstream lines(stream);
    std::string line;
    int objects = 0;
    while (std::getline(lines, line)) {
        ++objects;
        EXPECT_EQ(line.front(), '{') << line;
        EXPECT_EQ(line.back(), '}') << line;
        const bool listed = json.find("  " + line + "\n") != std::string::npos ||
                            json.find("  " + line + ",") != std::string::npos;
        EXPECT_TRUE(listed) << line;
    }
    EXPECT_EQ(objects, 12) << stream;

    // --csv: a header and the same twelve devices, each IP and MAC as --json has them.
    const std::string csv = Cli(args + " --csv");
    std::istringstream csvRows(csv);
    std::getline(csvRows, line);
    EXPECT_EQ(line, "IP,MAC,Firmware,Description,DeviceType,StatusChar,AdapterIP\r");
    int rowsSeen = 0;
    while (std::getline(csvRows, line)) {
        ++rowsSeen;
        const std::size_t ipEnd = line.find("\",\"");
        ASSERT_NE(ipEnd, std::string::npos) << line;
        EXPECT_NE(json.find("\"IP\": " + line.substr(0, ipEnd + 1)), std::string::npos) << line;
    }
    EXPECT_EQ(rowsSeen, 12) << csv;
}

// ---- burst.net --------------------------------------------------------------

TEST(Burst, TwoHundredFiftyRepliesToOneBroadcastAreAllKept) {
    TXportSearch search;
    search.ReadTimeout = 500;
    search.Search();
    EXPECT_EQ(search.DeviceCount(), 250);
    int described = 0;
    for (const TXportPar& d : search.Devices())
        described += d.Description.rfind("Burst ", 0) == 0;
    EXPECT_EQ(described, 250);

    // What the system granted: the request, or as much as it allows an
    // unprivileged process (the kernel reports twice its limit).
    int rmemMax = 0;
    std::ifstream("/proc/sys/net/core/rmem_max") >> rmemMax;
    const int want =
        geteuid() == 0 ? search.ReceiveBufferSize : std::min(search.ReceiveBufferSize, 2 * rmemMax);
    EXPECT_GE(search.GrantedReceiveBuffer(), want);
    std::printf("receive queue asked %d, granted %d bytes (rmem_max %d)\n",
                search.ReceiveBufferSize, search.GrantedReceiveBuffer(), rmemMax);

    // For comparison only (not a requirement): the usual small queue.
    TXportSearch small;
    small.ReadTimeout = 500;
    small.ReceiveBufferSize = 4096;
    small.Search();
    std::printf("with a queue of %d bytes: %d of 250 devices found\n", small.GrantedReceiveBuffer(),
                small.DeviceCount());
}

// ---- trace.net --------------------------------------------------------------

TEST(Trace, EveryDatagramOnStandardErrorWithWhatTheSearchMadeOfIt) {
    const std::string errFile = std::string(std::getenv("QVNET_DIR")) + "/trace.txt";
    std::string json;
    FILE* p = popen((std::string(QV_CLI_PATH) +
                     " search --settings /nonexistent --timeout 1000 --json --trace 2>" + errFile)
                        .c_str(),
                    "r");
    ASSERT_NE(p, nullptr);
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        json.append(buf, n);
    EXPECT_EQ(pclose(p), 0);
    std::ifstream in(errFile);
    const std::string trace((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Standard output stays the JSON array alone.
    EXPECT_EQ(json.front(), '[') << json;
    EXPECT_NE(json.find("\"Twice\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"Plain\""), std::string::npos) << json;
    const auto has = [&trace](const std::string& part) {
        return trace.find(part) != std::string::npos;
    };
    EXPECT_TRUE(has("sent         adapter 10.77.1.1  to broadcast:30718  len 4  000000f6"))
        << trace;
    EXPECT_TRUE(has("reply        adapter 10.77.1.1  from 10.77.1.10  len 30  000000f7")) << trace;
    EXPECT_TRUE(has("repeat       adapter 10.77.1.1  from 10.77.1.10  len 30")) << trace;
    EXPECT_TRUE(has("sent         adapter 10.77.1.1  to 10.77.1.11:30718  len 4  000000e4"))
        << trace;
    EXPECT_TRUE(has("reply        adapter 10.77.1.1  from 10.77.1.11:30718  len 130  000000e5"))
        << trace;
    EXPECT_TRUE(has("stray        adapter 10.77.1.1  from 10.77.1.202:30718  len 130")) << trace;
    // Every line is a trace line, its time never before the one above.
    std::istringstream lines(trace);
    std::string line;
    long long last = -1;
    while (std::getline(lines, line)) {
        ASSERT_EQ(line.rfind("trace ", 0), 0u) << line;
        const long long ms = std::stoll(line.substr(6, 7));
        EXPECT_GE(ms, last) << line;
        last = ms;
    }
}

int main(int argc, char** argv) {
    RequireTestNetwork();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
