// quorvet-cli search --watch: its command line and the loop against a list
// of prepared search results (no network).

#include "CliApp.h"
#include "WatchCommand.h"

#include <gtest/gtest.h>

#include <deque>
#include <sstream>
#include <string>
#include <vector>

namespace {

using V = std::vector<std::string>;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TXportPar Dev(const std::string& mac, const std::string& ip, const std::string& description) {
    TXportPar d;
    d.MAC = mac;
    d.IP = ip;
    d.Firmware = "2-1-5.02";
    d.DeviceType = "LAN Adapter";
    d.Description = description;
    d.AdapterIP = "10.0.0.1";
    return d;
}

const std::string A = "00-20-4A-00-00-0A";
const std::string B = "00-20-4A-00-00-0B";

TEST(CliWatch, IntervalIsReadAndBadOnesOrCombinationsAreUsageErrors) {
    TCliCommandLine line(true);
    EXPECT_EQ(line.Parse({"search", "--watch", "5", "--json"}).Error, "");
    EXPECT_EQ(line.Search.Watch, 5);
    TCliCommandLine most(true);
    EXPECT_EQ(most.Parse({"search", "--watch", "86400"}).Error, "");
    EXPECT_EQ(most.Search.Watch, 86400);
    TCliCommandLine once(true);
    EXPECT_EQ(once.Parse({"search"}).Error, "");
    EXPECT_EQ(once.Search.Watch, 0);

    for (const char* bad : {"0", "-1", "86401", "soon", ""}) {
        TCliCommandLine refused(true);
        EXPECT_TRUE(Has(refused.Parse({"search", "--watch", bad}).Error,
                        "--watch takes a number of seconds from 1 to 86400"))
            << bad;
    }
    for (const char* other : {"--csv", "--stream"}) {
        std::ostringstream out, err;
        EXPECT_EQ(RunCli({"search", "--watch", "5", other}, true, out, err), ExitUsage) << other;
        EXPECT_TRUE(Has(err.str(), "--watch")) << err.str();
        EXPECT_TRUE(Has(err.str(), other)) << err.str();
        EXPECT_EQ(out.str(), "");
    }
    std::ostringstream out, err;
    EXPECT_EQ(RunCli({"search", "--help"}, true, out, err), ExitDone);
    EXPECT_TRUE(Has(out.str(), "--watch N"));
}

// Plays prepared search results; after the last one a stop is asked for.
struct TScript {
    std::deque<std::optional<std::vector<TXportPar>>> results;
    std::vector<int> waits;
    bool stop = false;
    bool stopDuringSearch = false;

    TWatchRun Run(bool json) {
        TWatchRun run;
        run.IntervalSeconds = 7;
        run.Json = json;
        run.Now = [] { return std::string("2026-12-08 13:10:05"); };
        run.Search = [this]() -> std::optional<std::vector<TXportPar>> {
            auto r = results.front();
            results.pop_front();
            if (results.empty())
                (stopDuringSearch ? stop : last) = true;
            return r;
        };
        run.WaitStop = [this](int ms) {
            if (ms > 0) {
                waits.push_back(ms);
                if (last)
                    stop = true;
            }
            return stop;
        };
        return run;
    }

private:
    bool last = false;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(CliWatch, PrintsTheListOnceThenOneLinePerEventUntilStopped) {
    TScript script;
    script.results = {std::vector{Dev(A, "10.0.0.10", "Hall A")},
                      std::vector{Dev(A, "10.0.0.20", "Hall A"), Dev(B, "10.0.0.11", "")},
                      std::vector{Dev(A, "10.0.0.20", "Hall A"), Dev(B, "10.0.0.11", "")},
                      std::vector<TXportPar>{}, std::vector<TXportPar>{}};
    std::ostringstream out, err;
    EXPECT_EQ(RunWatchLoop(script.Run(false), out, err), ExitDone);
    EXPECT_EQ(err.str(), "");
    const std::vector<std::string> lines = Lines(out.str());
    ASSERT_EQ(lines.size(), 3u + 4u) << out.str();
    EXPECT_TRUE(Has(lines[0], "IP") && Has(lines[0], "MAC"));
    EXPECT_EQ(lines[2], "1 device(s) found.");
    EXPECT_EQ(lines[3],
              "2026-12-08 13:10:05  moved        " + A + "  10.0.0.10 -> 10.0.0.20  Hall A");
    EXPECT_EQ(lines[4], "2026-12-08 13:10:05  appeared     " + B + "  10.0.0.11");
    // Missing from two searches in a row: gone, both at once.
    EXPECT_EQ(lines[5], "2026-12-08 13:10:05  disappeared  " + A + "  10.0.0.20  Hall A");
    EXPECT_EQ(lines[6], "2026-12-08 13:10:05  disappeared  " + B + "  10.0.0.11");
    EXPECT_EQ(script.waits, std::vector<int>(5, 7000));
}

TEST(CliWatch, JsonGivesOneObjectPerLineWithTheSearchFieldsEventAndOldAddress) {
    TScript script;
    TXportPar odd = Dev(B, "10.0.0.11", "Line\n\"2\"");
    script.results = {std::vector{Dev(A, "10.0.0.10", "Hall A")},
                      std::vector{Dev(A, "10.0.0.20", "Hall A"), odd}};
    std::ostringstream out, err;
    EXPECT_EQ(RunWatchLoop(script.Run(true), out, err), ExitDone);
    const std::vector<std::string> lines = Lines(out.str());
    ASSERT_EQ(lines.size(), 3u) << out.str();
    EXPECT_EQ(lines[0], "{\"IP\": \"10.0.0.10\", \"MAC\": \"" + A +
                            "\", \"Firmware\": \"2-1-5.02\", \"Description\": \"Hall A\", "
                            "\"DeviceType\": \"LAN Adapter\", \"StatusChar\": \"\", "
                            "\"AdapterIP\": \"10.0.0.1\", \"event\": \"listed\", \"old_ip\": \"\", "
                            "\"time\": \"2026-12-08 13:10:05\"}");
    EXPECT_TRUE(Has(lines[1], "\"IP\": \"10.0.0.20\""));
    EXPECT_TRUE(Has(lines[1], "\"event\": \"moved\", \"old_ip\": \"10.0.0.10\""));
    EXPECT_TRUE(Has(lines[2], "\"Description\": \"Line\\n\\\"2\\\"\""));
    EXPECT_TRUE(Has(lines[2], "\"event\": \"appeared\""));
}

TEST(CliWatch, FailedSearchEndsWithOneAndAStopDuringASearchWithZero) {
    {
        TScript script;
        script.results = {std::vector{Dev(A, "10.0.0.10", "")}, std::nullopt,
                          std::vector<TXportPar>{}};
        std::ostringstream out, err;
        EXPECT_EQ(RunWatchLoop(script.Run(false), out, err), ExitFailed);
        EXPECT_EQ(script.results.size(), 1u); // no search after the failure
    }
    {
        // The cut-short list of the last search would make A disappear: it
        // is dropped.
        TScript script;
        script.stopDuringSearch = true;
        script.results = {std::vector{Dev(A, "10.0.0.10", "")}, std::vector<TXportPar>{},
                          std::vector<TXportPar>{}};
        std::ostringstream out, err;
        EXPECT_EQ(RunWatchLoop(script.Run(false), out, err), ExitDone);
        EXPECT_FALSE(Has(out.str(), "disappeared")) << out.str();
    }
}

TEST(CliWatch, OutputThatCannotBeWrittenEndsTheWatchWithOne) {
    TScript script;
    script.results = {std::vector{Dev(A, "10.0.0.10", "")}, std::vector<TXportPar>{},
                      std::vector<TXportPar>{}};
    std::ostringstream out, err;
    out.setstate(std::ios::badbit);
    EXPECT_EQ(RunWatchLoop(script.Run(false), out, err), ExitFailed);
    EXPECT_EQ(script.results.size(), 2u); // ended after the first round
}

} // namespace
