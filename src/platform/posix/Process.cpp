#include "platform/Process.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace platform {

namespace {

// Processes that outlived their limit. They keep running, but are reaped
// when they end so they do not linger as zombies.
std::mutex orphansMutex;
std::vector<pid_t> orphans;

void ReapOrphans() {
    std::lock_guard<std::mutex> lock(orphansMutex);
    for (auto it = orphans.begin(); it != orphans.end();) {
        const pid_t r = ::waitpid(*it, nullptr, WNOHANG);
        if (r == 0)
            ++it;
        else
            it = orphans.erase(it); // ended, or no longer ours to wait for
    }
}

class TPosixProcess : public TProcess {
public:
    explicit TPosixProcess(pid_t pid) : pid_(pid) {}
    ~TPosixProcess() override {
        if (!reaped_) {
            std::lock_guard<std::mutex> lock(orphansMutex);
            orphans.push_back(pid_);
        }
    }

    TProcessWait Wait(int timeLimitMs) override {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeLimitMs);
        auto pause = std::chrono::microseconds(500);
        for (;;) {
            int status = 0;
            const pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_ && (WIFEXITED(status) || WIFSIGNALED(status))) {
                reaped_ = true;
                exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                return TProcessWait::Ended;
            }
            if (r < 0 && errno != EINTR) {
                reaped_ = true; // not ours any more (e.g. reaped elsewhere)
                return TProcessWait::Failed;
            }
            const auto now = Clock::now();
            if (timeLimitMs >= 0 && now >= deadline)
                return TProcessWait::TimedOut;
            auto sleep = pause;
            if (timeLimitMs >= 0)
                sleep = std::min<std::chrono::microseconds>(
                    sleep, std::chrono::duration_cast<std::chrono::microseconds>(deadline - now) +
                               std::chrono::microseconds(1));
            std::this_thread::sleep_for(sleep);
            pause = std::min(pause * 2, std::chrono::microseconds(10000));
        }
    }

    int ExitStatus() const override { return exitStatus_; }

private:
    pid_t pid_;
    bool reaped_ = false;
    int exitStatus_ = -1;
};

// RAII for the spawn attribute objects.
struct TSpawnSetup {
    posix_spawn_file_actions_t actions{};
    posix_spawnattr_t attr{};
    bool actionsOk = false;
    bool attrOk = false;
    TSpawnSetup() {
        actionsOk = posix_spawn_file_actions_init(&actions) == 0;
        attrOk = posix_spawnattr_init(&attr) == 0;
    }
    ~TSpawnSetup() {
        if (actionsOk)
            posix_spawn_file_actions_destroy(&actions);
        if (attrOk)
            posix_spawnattr_destroy(&attr);
    }
    TSpawnSetup(const TSpawnSetup&) = delete;
    TSpawnSetup& operator=(const TSpawnSetup&) = delete;
};

// Where the standard streams of a new process go.
struct TStreams {
    bool NullInput = false;
    int Out = -1; // a descriptor of ours, -1 ours as they are, NullStream /dev/null
    int Err = -1;
};
constexpr int NullStream = -2;

// Starts the command line as a new process in its own process group; -1
// when it cannot be started.
pid_t Spawn(const std::string& commandLine, const TStreams& streams) {
    ReapOrphans();
    if (commandLine.find('\0') != std::string::npos)
        return -1;
    std::vector<std::string> args = SplitCommandLine(commandLine);
    if (args.empty() || args[0].empty())
        return -1;
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    TSpawnSetup setup;
    if (!setup.actionsOk || !setup.attrOk)
        return -1;
    // Only the standard streams go to the new process, as without handle
    // inheritance.
    if (streams.NullInput &&
        posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0) != 0)
        return -1;
    for (const auto& [fd, target] : {std::pair{1, streams.Out}, std::pair{2, streams.Err}}) {
        if (target == NullStream &&
            posix_spawn_file_actions_addopen(&setup.actions, fd, "/dev/null", O_WRONLY, 0) != 0)
            return -1;
        if (target >= 0 && posix_spawn_file_actions_adddup2(&setup.actions, target, fd) != 0)
            return -1;
    }
    if (posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3) != 0)
        return -1;
    // Its own process group, and default signal handling whatever ours is.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGQUIT);
    sigset_t noMask;
    sigemptyset(&noMask);
    if (posix_spawnattr_setpgroup(&setup.attr, 0) != 0 ||
        posix_spawnattr_setsigdefault(&setup.attr, &defaults) != 0 ||
        posix_spawnattr_setsigmask(&setup.attr, &noMask) != 0 ||
        posix_spawnattr_setflags(&setup.attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                                  POSIX_SPAWN_SETSIGMASK) != 0)
        return -1;
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &setup.actions, &setup.attr, argv.data(), environ) != 0)
        return -1;
    return pid;
}

// Closes a descriptor when it goes.
struct TFd {
    int fd = -1;
    ~TFd() { Close(); }
    void Close() {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

} // namespace

std::unique_ptr<TProcess> TProcess::Start(const std::string& commandLine, bool hidden,
                                          TProcessOutput output) {
    // A hidden process has no console input either.
    const bool discard = output == TProcessOutput::Discard;
    TStreams streams;
    streams.NullInput = hidden || discard;
    if (discard)
        streams.Out = streams.Err = NullStream;
    const pid_t pid = Spawn(commandLine, streams);
    if (pid < 0)
        return nullptr;
    return std::make_unique<TPosixProcess>(pid);
}

TProcessOutputText RunForOutput(const std::string& commandLine, int timeLimitMs,
                                std::size_t maxBytes) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeLimitMs, 0));
    TProcessOutputText result;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return result;
    TFd readEnd{fds[0]};
    TFd writeEnd{fds[1]};
    const pid_t pid = Spawn(commandLine, {true, writeEnd.fd, NullStream});
    writeEnd.Close(); // the end of the output is seen once the child's copy goes
    if (pid < 0)
        return result;
    result.Started = true;
    TPosixProcess process(pid);
    auto remainingMs = [&deadline] {
        return static_cast<int>(std::max<long long>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                   .count()));
    };
    bool stop = false; // out of time, or more output than wanted
    for (;;) {
        const int left = remainingMs();
        if (left == 0) {
            stop = true; // also when the output never pauses
            break;
        }
        pollfd p{readEnd.fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, left);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            stop = ready == 0;
            break;
        }
        char buffer[4096];
        const ssize_t got = ::read(readEnd.fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        const std::size_t room = maxBytes - result.Text.size();
        result.Text.append(buffer, std::min(room, static_cast<std::size_t>(got)));
        if (static_cast<std::size_t>(got) > room) {
            stop = true;
            break;
        }
    }
    readEnd.Close();
    result.Wait = stop ? TProcessWait::TimedOut : process.Wait(remainingMs());
    if (result.Wait == TProcessWait::TimedOut) {
        // Our own child, by its id: a query past its limit is not left running.
        ::kill(pid, SIGKILL);
        process.Wait(1000);
        result.Wait = TProcessWait::TimedOut;
        return result;
    }
    result.ExitStatus = process.ExitStatus();
    return result;
}

} // namespace platform
