#include "platform/Process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <mutex>
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

} // namespace

std::unique_ptr<TProcess> TProcess::Start(const std::string& commandLine, bool hidden,
                                          TProcessOutput output) {
    ReapOrphans();
    if (commandLine.find('\0') != std::string::npos)
        return nullptr;
    std::vector<std::string> args = SplitCommandLine(commandLine);
    if (args.empty() || args[0].empty())
        return nullptr;
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    TSpawnSetup setup;
    if (!setup.actionsOk || !setup.attrOk)
        return nullptr;
    // Only the standard streams go to the new process, as without handle
    // inheritance; a hidden one has no console input either.
    const bool discard = output == TProcessOutput::Discard;
    if ((hidden || discard) &&
        posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0) != 0)
        return nullptr;
    for (int fd : {1, 2})
        if (discard &&
            posix_spawn_file_actions_addopen(&setup.actions, fd, "/dev/null", O_WRONLY, 0) != 0)
            return nullptr;
    if (posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3) != 0)
        return nullptr;
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
        return nullptr;
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &setup.actions, &setup.attr, argv.data(), environ) != 0)
        return nullptr;
    return std::make_unique<TPosixProcess>(pid);
}

} // namespace platform
