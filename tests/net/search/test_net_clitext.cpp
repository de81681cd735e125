// quorvet-cli search in a private test network (devicetext.net): device texts
// that try to drive a terminal or forge a log line are shown, never obeyed,
// in the table, the JSON and the log; and the exit status tells whether the
// result and the log could be written.
#include "common/TestNet.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

using TCli = TShellRun;

fs::path RunDir() {
    const fs::path dir = fs::path(std::getenv("QVNET_DIR")) / "clitext";
    fs::create_directories(dir);
    return dir;
}

// Runs quorvet-cli search with args through the shell; redirect replaces the
// capture of standard output (e.g. ">/dev/full", ">&-").
TCli Search(const std::string& args, const std::string& redirect = "") {
    return RunShell(std::string(QV_CLI_PATH) +
                        " search --settings /nonexistent.ini --timeout 300 " + args,
                    RunDir(), redirect);
}

std::vector<std::string> Split(const std::string& text, const std::string& end) {
    std::vector<std::string> lines;
    std::size_t pos = 0, at;
    while ((at = text.find(end, pos)) != std::string::npos) {
        lines.push_back(text.substr(pos, at - pos));
        pos = at + end.size();
    }
    EXPECT_EQ(pos, text.size()) << "the last line ends too";
    return lines;
}

std::size_t QueriesSince(std::size_t mark) {
    return TDevsimLog().Select([](const TDevsimLine& l) { return l.kind == "RX"; }, mark).size();
}

// What the first device calls itself, as the table and the log show it.
const std::string Fridge = "K\xC3\xBChlraum\xE2\x90\x8D\xE2\x90\x8A"
                           "26-01-01 00:00:00 000 [x] forged\xE2\x90\x9B[2J\xE2\x90\x87"
                           "\xEF\xBF\xBD\xEF\xBF\xBD";
const std::string Boiler = "Kessel\xC3\xBC \xEF\xBF\xBD"
                           "2J\xEF\xBF\xBD";

} // namespace

TEST(DeviceText, TableJsonAndLogShowControlsAndReadUtf8) {
    const fs::path log = RunDir() / "search.log";
    fs::remove(log);
    TCli table = Search("--log " + log.string());
    ASSERT_EQ(table.status, 0) << table.err;
    std::vector<std::string> lines = Split(table.out, "\n");
    ASSERT_EQ(lines.size(), 4u) << table.out;
    std::sort(lines.begin() + 1, lines.end() - 1);
    EXPECT_EQ(lines[1],
              "10.77.1.10  00-20-4A-00-02-10  1-4-5.00  QT101          10.77.1.1  " + Fridge);
    // A status byte 0 (kind 6) is a character of its own, shown as such.
    EXPECT_EQ(lines[2], "10.77.1.11  00-20-4A-00-02-11  6-1-0.03  QS102  \xE2\x90\x80       "
                        "10.77.1.1  " +
                            Boiler);

    // The log: every line one entry with its timestamp and marker.
    std::vector<std::string> entries;
    for (const std::string& line : Split(ReadWholeFile(log), "\r\n")) {
        ASSERT_GE(line.size(), 26u) << line;
        EXPECT_EQ(line.substr(21, 5), " [i] ") << line;
        if (line.compare(26, 1, "#") == 0)
            entries.push_back(line.substr(26));
    }
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{
                           "# 0 10.77.1.10 00-20-4A-00-02-10 1-4-5.00 QT101 \"" + Fridge + "\"",
                           "# 1 10.77.1.11 00-20-4A-00-02-11 6-1-0.03 QS102 \"" + Boiler + "\""}))
        << ReadWholeFile(log);

    // JSON keeps the texts exactly.
    TCli json = Search("--json");
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_NE(json.out.find("\"Description\": \"K\\u00fchlraum\\r\\n26-01-01 00:00:00 000 [x] "
                            "forged\\u001b[2J\\u0007\\u009b\\u009d\""),
              std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find("\"Description\": \"Kessel\\u00fc \\u009b2J\\u009d\""),
              std::string::npos)
        << json.out;
}

TEST(DeviceText, ResultThatCannotBeWrittenIsAFailure) {
    for (const char* redirect : {">/dev/full", ">&-"}) {
        for (const char* format : {"--json", ""}) {
            TCli r = Search(format, redirect);
            EXPECT_EQ(r.status, 1) << redirect << " " << format;
            EXPECT_EQ(r.err, std::string("quorvet-cli: cannot write to standard output: ") +
                                 (redirect[1] == '&' ? "Bad file descriptor\n"
                                                     : "No space left on device\n"))
                << redirect << " " << format;
        }
    }
    // With the output closed the result goes nowhere else, the log included.
    const fs::path log = RunDir() / "closed.log";
    fs::remove(log);
    TCli r = Search("--json --log " + log.string(), ">&-");
    EXPECT_EQ(r.status, 1);
    const std::string written = ReadWholeFile(log);
    EXPECT_NE(written.find("--- DEVICE LIST ---"), std::string::npos) << written;
    EXPECT_EQ(written.find("\"IP\""), std::string::npos) << written;
}

TEST(DeviceText, UnusableLogIsRefusedBeforeTheSearch) {
    const fs::path dir = RunDir() / "adir", fifo = RunDir() / "fifo";
    fs::create_directories(dir);
    fs::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct TCase {
        std::string path, reason;
    };
    const TCase cases[] = {
        {dir.string(), "Is a directory"},
        {fifo.string(), "Not a regular file"},
        {"/dev/null", "Not a regular file"},
        {"/proc/version", "Input/output error"},
        {(RunDir() / "missing" / "x.log").string(), "No such file or directory"},
    };
    for (const TCase& c : cases) {
        const std::size_t mark = TDevsimLog().Mark();
        TCli r = Search("--log " + c.path);
        EXPECT_EQ(r.status, 1) << c.path;
        EXPECT_EQ(r.out, "") << c.path;
        EXPECT_EQ(r.err, "quorvet-cli search: cannot append to the log file " + c.path + ": " +
                             c.reason + "\n");
        EXPECT_EQ(QueriesSince(mark), 0u) << "no search with " << c.path;
    }
    EXPECT_TRUE(fs::is_directory(dir));
    EXPECT_FALSE(fs::exists(RunDir() / "missing"));
}

int main(int argc, char** argv) {
    RequireTestNetwork();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
