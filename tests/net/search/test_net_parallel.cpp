// The parallel search against the sequential one in private test networks,
// and a burst of 250 replies to one broadcast. None of this may run outside
// a network built by qvnet.
#include "common/TestNet.h"
#include "search/uXPortSearch.h"
#include "support/RecordingLog.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
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

TEST(Compare, SequentialAndParallelGiveTheSameDevicesAndLines) {
    const Result seq = Search(true, 500);
    const Result par = Search(false, 500);
    ASSERT_EQ(seq.devices.size(), par.devices.size());
    for (std::size_t i = 0; i < seq.devices.size(); ++i)
        EXPECT_EQ(Fields(seq.devices[i]), Fields(par.devices[i])) << "entry " << i;
    EXPECT_EQ(seq.lines, par.lines);

    // The network does what it is there for: a late reply that broke an
    // exchange, a repeat heard on another adapter, silence and a setup reply.
    ASSERT_EQ(par.devices.size(), 11u);
    EXPECT_EQ(par.devices[2].IP, "10.77.1.10");
    EXPECT_EQ(par.devices[2].Firmware, "N/A");
    const Line late{false, 2, "Different responce source IP (10.77.1.40)."};
    EXPECT_NE(std::find(par.lines.begin(), par.lines.end(), late), par.lines.end());
    EXPECT_EQ(par.devices[7].MAC, "N/A");
    EXPECT_EQ(par.devices[7].AdapterIP, "10.77.2.1");
    EXPECT_EQ(par.devices[4].Description, "From setup");
    const Line silent{false, 2, "Different responce source IP ()."};
    EXPECT_EQ(std::count(par.lines.begin(), par.lines.end(), silent), 2);
}

TEST(Compare, CliPrintsTheSameEitherWay) {
    const std::string args = "search --settings /nonexistent --timeout 500";
    const std::string parallel = Cli(args);
    EXPECT_EQ(Cli(args + " --sequential"), parallel);
    EXPECT_NE(parallel.find("11 device(s) found."), std::string::npos) << parallel;
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

int main(int argc, char** argv) {
    RequireTestNetwork();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
