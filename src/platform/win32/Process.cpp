// Processes through CreateProcess and WaitForSingleObject.

#include "platform/Process.h"

#include <windows.h>

#include <vector>

namespace platform {

namespace {

class TWinProcess : public TProcess {
public:
    explicit TWinProcess(const PROCESS_INFORMATION& info) : info_(info) {}
    // Both handles go, whatever the wait did; the process itself is left alone.
    ~TWinProcess() override {
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
    }
    TWinProcess(const TWinProcess&) = delete;
    TWinProcess& operator=(const TWinProcess&) = delete;

    TProcessWait Wait(int timeLimitMs) override {
        const DWORD limit = timeLimitMs < 0 ? INFINITE : static_cast<DWORD>(timeLimitMs);
        switch (WaitForSingleObject(info_.hProcess, limit)) {
        case WAIT_OBJECT_0:
            return TProcessWait::Ended;
        case WAIT_TIMEOUT:
            return TProcessWait::TimedOut;
        default:
            return TProcessWait::Failed;
        }
    }

private:
    PROCESS_INFORMATION info_;
};

} // namespace

std::vector<std::string> SplitCommandLine(const std::string& line) {
    // The rules the C runtime of the started program applies to its line.
    std::vector<std::string> args;
    std::size_t i = 0;
    const std::size_t n = line.size();
    for (;;) {
        while (i < n && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= n)
            break;
        std::string arg;
        bool quoted = false;
        while (i < n) {
            const char c = line[i];
            if (!quoted && (c == ' ' || c == '\t'))
                break;
            if (c == '\\') {
                std::size_t slashes = 0;
                while (i < n && line[i] == '\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && line[i] == '"') {
                    arg.append(slashes / 2, '\\');
                    if (slashes % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(slashes, '\\');
                }
                continue;
            }
            if (c == '"') {
                if (quoted && i + 1 < n && line[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            arg += c;
            ++i;
        }
        args.push_back(std::move(arg));
    }
    return args;
}

std::unique_ptr<TProcess> TProcess::Start(const std::string& commandLine, bool hidden) {
    if (commandLine.find('\0') != std::string::npos)
        return nullptr;
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    if (hidden) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
    }
    // CreateProcess may write into the command line it is given.
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    PROCESS_INFORMATION info;
    ZeroMemory(&info, sizeof info);
    constexpr DWORD Flags = CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS; // 0x220
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, Flags, nullptr, nullptr,
                        &startup, &info))
        return nullptr;
    return std::make_unique<TWinProcess>(info);
}

} // namespace platform
