// quorvet-cli search --watch in a private test network (watch.net): the first
// list, a device moved by change-ip, a device gone with its adapter and back,
// and the end on SIGINT and SIGTERM with status 0.
#include "common/TestNet.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

const std::string MacA = "00-20-4A-00-07-10";
const std::string MacB = "00-20-4A-00-07-20";

std::string RunFile(const std::string& name) {
    return std::string(std::getenv("QVNET_DIR")) + "/" + name;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// quorvet-cli with args, standard output and error to files of the run.
pid_t StartCli(const std::vector<std::string>& args, const std::string& out) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int errFd = ::open((out + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (outFd < 0 || errFd < 0)
            ::_exit(126);
        ::dup2(outFd, 1);
        ::dup2(errFd, 2);
        // The change record goes to the run's folder, not the tester's home.
        ::setenv("XDG_STATE_HOME", RunFile("state").c_str(), 1);
        std::vector<std::string> words{QV_CLI_PATH};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

// Exit status, or -1 when the process has not ended within `limit` (then
// it is killed).
int WaitExit(pid_t pid, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(20ms);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int RunCli(const std::vector<std::string>& args) {
    return WaitExit(StartCli(args, RunFile("cli.out")), 30s);
}

// Lines of the watch's output that hold every part, once they are there.
std::vector<std::string> WaitLines(const std::string& file, const std::vector<std::string>& parts,
                                   std::size_t count = 1) {
    const auto end = std::chrono::steady_clock::now() + 30s;
    std::vector<std::string> found;
    do {
        found.clear();
        std::istringstream in(ReadFile(file));
        for (std::string line; std::getline(in, line);) {
            bool all = true;
            for (const std::string& p : parts)
                all = all && line.find(p) != std::string::npos;
            if (all)
                found.push_back(line);
        }
        if (found.size() >= count)
            return found;
        std::this_thread::sleep_for(100ms);
    } while (std::chrono::steady_clock::now() < end);
    return found;
}

bool Shell(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

TEST(Watch, SeesAMoveAGoneAndAReturnedDeviceAndEndsOnSigint) {
    const std::string out = RunFile("watch.jsonl");
    const pid_t watch = StartCli(
        {"search", "--settings", "/nonexistent.ini", "--timeout", "300", "--watch", "1", "--json"},
        out);
    ASSERT_GT(watch, 0);
    EXPECT_EQ(WaitLines(out, {"\"event\": \"listed\""}, 2).size(), 2u) << ReadFile(out);
    EXPECT_EQ(
        WaitLines(out, {"\"MAC\": \"" + MacA + "\"", "\"IP\": \"10.77.1.10\"", "listed"}).size(),
        1u);

    // Moved by an IP-SETUP broadcast while the watch runs.
    ASSERT_EQ(RunCli({"change-ip", "--mac", MacA, "--ip", "10.77.1.50", "--no-verify"}), 0)
        << ReadFile(RunFile("cli.out.err"));
    const auto moved = WaitLines(out, {"\"event\": \"moved\""});
    ASSERT_EQ(moved.size(), 1u) << ReadFile(out);
    EXPECT_NE(moved[0].find("\"IP\": \"10.77.1.50\""), std::string::npos) << moved[0];
    EXPECT_NE(moved[0].find("\"old_ip\": \"10.77.1.10\""), std::string::npos) << moved[0];
    EXPECT_NE(moved[0].find("\"Description\": \"Hall A\""), std::string::npos) << moved[0];

    // The second segment unplugged: its device goes, and comes back with it.
    ASSERT_TRUE(Shell("ip link set qv1 down"));
    const auto gone = WaitLines(out, {"\"event\": \"disappeared\"", MacB});
    ASSERT_TRUE(Shell("ip link set qv1 up"));
    EXPECT_EQ(gone.size(), 1u) << ReadFile(out);
    EXPECT_EQ(WaitLines(out, {"\"event\": \"appeared\"", MacB, "10.77.2.20"}).size(), 1u)
        << ReadFile(out);

    ASSERT_EQ(::kill(watch, SIGINT), 0);
    EXPECT_EQ(WaitExit(watch, 10s), 0) << ReadFile(out + ".err");
    EXPECT_EQ(ReadFile(out + ".err"), "");
    // One event per change: nothing else happened.
    std::istringstream in(ReadFile(out));
    int lines = 0;
    for (std::string line; std::getline(in, line);)
        ++lines;
    EXPECT_EQ(lines, 2 + 3) << ReadFile(out);
}

TEST(Watch, TextFormAndSigtermDuringTheWait) {
    const std::string out = RunFile("watch.txt");
    const pid_t watch = StartCli(
        {"search", "--settings", "/nonexistent.ini", "--timeout", "300", "--watch", "60"}, out);
    ASSERT_GT(watch, 0);
    EXPECT_EQ(WaitLines(out, {"device(s) found."}).size(), 1u) << ReadFile(out);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(::kill(watch, SIGTERM), 0);
    EXPECT_EQ(WaitExit(watch, 10s), 0);
    // Not after the minute's wait.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_NE(ReadFile(out).find("Hall B"), std::string::npos);
}

TEST(Watch, AReaderThatHasGoneEndsItWithOne) {
    // Standard output is a pipe nobody reads any more (| head, once head
    // has ended): the first list cannot be written.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const std::string err = RunFile("watch-pipe.err");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        ::dup2(fds[1], 1);
        const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(errFd, 2);
        ::execl(QV_CLI_PATH, QV_CLI_PATH, "search", "--settings", "/nonexistent.ini", "--timeout",
                "300", "--watch", "1", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[0]);
    ::close(fds[1]);
    EXPECT_EQ(WaitExit(pid, 20s), 1);
    EXPECT_EQ(ReadFile(err), "quorvet-cli: cannot write to standard output: Broken pipe\n");
}

} // namespace

int main(int argc, char** argv) {
    RequireTestNetwork();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
