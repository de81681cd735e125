#include "utils/uUtilsWinAPI.h"

#include "TempDir.h"
#include "base/uErrors.h"
#include "platform/FileVersion.h"
#include "platform/Process.h"
#include "support/HostileFiles.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::string Quote(const std::string& s) {
    return "\"" + s + "\"";
}

TEST(RunAndWait, ProgramThatCannotStartRaisesWithQuotedCommandLine) {
    const std::string lines[] = {"/nonexistent/qv-no-such-program --flag", "qv-no-such-program-42",
                                 "", "   ", "\"\" arg"};
    for (const std::string& line : lines) {
        try {
            RunAndWait(line, true, 1000);
            ADD_FAILURE() << "started: " << line;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), "Unable to Create Process \"" + line + "\"");
        }
    }
    // A zero byte cannot reach a program's arguments.
    EXPECT_THROW(RunAndWait(std::string("true\0x", 6), true, 1000), Exception);
}

TEST(RunAndWait, EndedProcessIsTrueWhateverItsExitCode) {
    EXPECT_TRUE(RunAndWait("true", true, -1));
    EXPECT_TRUE(RunAndWait("false", false, 5000));
    EXPECT_TRUE(RunAndWait("sh -c \"exit 7\"", true, -5));
}

TEST(RunAndWait, LimitRunsOutAndProcessKeepsRunning) {
    TTempDir dir;
    const std::string out = dir.File("late.txt");
    const auto start = Clock::now();
    EXPECT_FALSE(
        RunAndWait(Quote(QV_ARGDUMP) + " --sleep-ms 1000 " + Quote(out) + " done", true, 100));
    const long long elapsed = MsSince(start);
    EXPECT_GE(elapsed, 95);
    EXPECT_LT(elapsed, 700);
    EXPECT_FALSE(std::filesystem::exists(out));
    // The process was left running: its file appears once it finishes.
    for (int i = 0; i < 300 && TTempDir::Read(out) != "done\n"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(TTempDir::Read(out), "done\n");
}

TEST(RunAndWait, ArgumentsReachTheProgramUnchangedWithoutAShell) {
    TTempDir dir;
    const std::string out = dir.File("args.txt");
    const std::string marker = dir.File("shell-ran");
    const std::string line = Quote(QV_ARGDUMP) + " " + Quote(out) +
                             " plain \"with space\" \"say \\\"hi\\\"\" ; | & * $HOME \"$(touch " +
                             marker + ")\" `touch " + marker + "` > < 'single' a\"b c\"d";
    ASSERT_TRUE(RunAndWait(line, true, 5000));
    EXPECT_EQ(TTempDir::Read(out), "plain\nwith space\nsay \"hi\"\n;\n|\n&\n*\n$HOME\n$(touch " +
                                       marker + ")\n`touch\n" + marker +
                                       "`\n>\n<\n'single'\nab cd\n");
    EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST(RunAndWait, FailedWaitRaises) {
    // With SIGCHLD ignored the system reaps the child itself, so there is
    // nothing left to wait for.
    struct sigaction ignore {};
    struct sigaction old {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ASSERT_EQ(sigaction(SIGCHLD, &ignore, &old), 0);
    try {
        RunAndWait("true", true, 5000);
        ADD_FAILURE() << "wait did not fail";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Process wait failed.");
    }
    sigaction(SIGCHLD, &old, nullptr);
}

TEST(Process, ExitStatusOnceEnded) {
    struct TCase {
        const char* line;
        int status;
    };
    for (const TCase& c : {TCase{"true", 0}, TCase{"false", 1}, TCase{"sh -c \"exit 7\"", 7},
                           TCase{"sh -c \"kill -9 $$\"", -1}}) {
        auto process = platform::TProcess::Start(c.line, true);
        ASSERT_NE(process, nullptr) << c.line;
        ASSERT_EQ(process->Wait(5000), platform::TProcessWait::Ended) << c.line;
        EXPECT_EQ(process->ExitStatus(), c.status) << c.line;
    }
    auto running = platform::TProcess::Start(Quote(QV_ARGDUMP) + " --sleep-ms 300 /dev/null", true);
    ASSERT_NE(running, nullptr);
    EXPECT_EQ(running->Wait(0), platform::TProcessWait::TimedOut);
    EXPECT_EQ(running->ExitStatus(), -1);
    EXPECT_EQ(running->Wait(5000), platform::TProcessWait::Ended);
    EXPECT_EQ(running->ExitStatus(), 0);
}

TEST(Process, DiscardedOutputReachesNeitherOfOurStreams) {
    TTempDir dir;
    const std::string caught = dir.File("caught.txt");
    // Our standard output and error go to a file while the child runs.
    auto runWith = [&](platform::TProcessOutput output) {
        std::fflush(stdout);
        std::fflush(stderr);
        const int savedOut = ::dup(1), savedErr = ::dup(2);
        const int fd = ::open(caught.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        ::close(fd);
        auto process = platform::TProcess::Start("sh -c \"echo out; echo err >&2\"", true, output);
        const bool ended = process && process->Wait(5000) == platform::TProcessWait::Ended;
        ::dup2(savedOut, 1);
        ::dup2(savedErr, 2);
        ::close(savedOut);
        ::close(savedErr);
        return ended;
    };
    ASSERT_TRUE(runWith(platform::TProcessOutput::Inherit));
    EXPECT_EQ(TTempDir::Read(caught), "out\nerr\n");
    ASSERT_TRUE(runWith(platform::TProcessOutput::Discard));
    EXPECT_EQ(TTempDir::Read(caught), "");
}

TEST(SplitCommandLine, WindowsQuotingRules) {
    using V = std::vector<std::string>;
    const std::pair<std::string, V> cases[] = {
        {"arp -s 192.168.1.50 00-11-22-33-44-55",
         {"arp", "-s", "192.168.1.50", "00-11-22-33-44-55"}},
        {"  telnet\t10.0.0.1   1  ", {"telnet", "10.0.0.1", "1"}},
        {"\"C:\\Program Files\\x.exe\" a", {"C:\\Program Files\\x.exe", "a"}},
        {"a\\\\b \\\"q\\\"", {"a\\\\b", "\"q\""}},
        {"\"a\\\\\" b", {"a\\", "b"}},
        {"\"\" x", {"", "x"}},
        {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
        {"\"unclosed rest", {"unclosed rest"}},
        {"", {}},
    };
    for (const auto& [line, args] : cases)
        EXPECT_EQ(platform::SplitCommandLine(line), args) << line;
}

TEST(FileVersion, ProgramFileCarriesTheBuildVersion) {
    EXPECT_EQ(TWinAPIUtils::GetFileVersion(QV_SELF), "1.0.0.0");
    EXPECT_EQ(TWinAPIUtils::GetFileVersion(QV_SELF), QV_PROJECT_VERSION);
}

TEST(FileVersion, FilesWithoutAVersionGiveEmptyText) {
    TTempDir dir;
    TTempDir::Write(dir.File("empty"), "");
    TTempDir::Write(dir.File("text"), "hello world\n");
    for (const std::string& path :
         {std::string(QV_ARGDUMP), dir.File("missing"), dir.File("empty"), dir.File("text"),
          dir.Path().string(), std::string("/dev/null"), std::string()})
        EXPECT_EQ(TWinAPIUtils::GetFileVersion(path), "") << path;
}

TEST(FileVersion, CraftedMarkers) {
    const std::string good = platform::VersionMarkerBytes(1, 2, 3, 4);
    const std::string big = platform::VersionMarkerBytes(65535, 0, 258, 7);
    std::string badCheck = good;
    badCheck[23] = static_cast<char>(badCheck[23] ^ 1);
    std::string badTag = good;
    badTag[3] = 'x';
    const std::string junk(1000, '\xA5');
    const std::size_t mib = 1024 * 1024;

    const std::pair<std::string, std::string> cases[] = {
        {junk + good + junk, "1.2.3.4"},
        {good, "1.2.3.4"},
        {big, "65535.0.258.7"},
        {junk + good.substr(0, 20), ""},
        {junk + good.substr(0, 12), ""},
        {junk + badCheck + junk, ""},
        {junk + badTag + junk, ""},
        {badCheck + good.substr(0, 12) + big, "65535.0.258.7"},
        // Across the reader's chunk boundaries.
        {std::string(mib - 10, '\0') + good, "1.2.3.4"},
        {std::string(mib - 3, '\0') + good, "1.2.3.4"},
        {std::string(2 * mib - 12, '\0') + good + "tail", "1.2.3.4"},
    };
    TTempDir dir;
    int n = 0;
    for (const auto& [content, version] : cases) {
        const std::string file = dir.File("f" + std::to_string(n++));
        TTempDir::Write(file, content);
        EXPECT_EQ(TWinAPIUtils::GetFileVersion(file), version) << "case " << n - 1;
    }
}

TEST(FileVersion, OnlyPlainFilesAndOnlyTheirBeginningAreSearched) {
    TTempDir dir;
    TFifo fifo(dir.File("pipe"));
    ASSERT_TRUE(fifo.Created());
    std::string version = "not read";
    EXPECT_TRUE(EndsWithin([&] { version = TWinAPIUtils::GetFileVersion(fifo.Path()); }, fifo));
    EXPECT_EQ(version, "");
    // Endless: would be read to the scan's end instead of refused.
    EXPECT_EQ(TWinAPIUtils::GetFileVersion("/dev/zero"), "");
    // A marker past the first 256 MiB is not looked for (a sparse file,
    // so nothing is written to disk); the same marker before it is found.
    const std::string marker = platform::VersionMarkerBytes(1, 2, 3, 4);
    constexpr off_t MaxScan = 256 * 1024 * 1024;
    for (const auto& [at, expected] :
         {std::pair<off_t, const char*>{MaxScan - 100, "1.2.3.4"}, {MaxScan + 100, ""}}) {
        const std::string file = dir.File("big" + std::to_string(at));
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, marker.data(), marker.size(), at),
                  static_cast<ssize_t>(marker.size()));
        ::close(fd);
        EXPECT_EQ(TWinAPIUtils::GetFileVersion(file), expected) << at;
        std::filesystem::remove(file);
    }
}

} // namespace
