// Processes through CreateProcess and WaitForSingleObject.

#include "platform/Process.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <memory>
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
        case WAIT_OBJECT_0: {
            DWORD code = 0;
            if (GetExitCodeProcess(info_.hProcess, &code))
                exitStatus_ = static_cast<int>(code);
            return TProcessWait::Ended;
        }
        case WAIT_TIMEOUT:
            return TProcessWait::TimedOut;
        default:
            return TProcessWait::Failed;
        }
    }

    int ExitStatus() const override { return exitStatus_; }

private:
    PROCESS_INFORMATION info_;
    int exitStatus_ = -1;
};

// The null device as an inheritable handle, for a process whose output goes
// nowhere.
class TNullDevice {
public:
    TNullDevice() {
        SECURITY_ATTRIBUTES sa{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        handle_ = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);
    }
    ~TNullDevice() {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    TNullDevice(const TNullDevice&) = delete;
    TNullDevice& operator=(const TNullDevice&) = delete;
    HANDLE Handle() const { return handle_; }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

} // namespace

std::unique_ptr<TProcess> TProcess::Start(const std::string& commandLine, bool hidden,
                                          TProcessOutput output) {
    if (commandLine.find('\0') != std::string::npos)
        return nullptr;
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    if (hidden) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
    }
    // The null device needs handle inheritance; the program's own sockets
    // are made non-inheritable (Socket.cpp), so they do not go along.
    std::unique_ptr<TNullDevice> nul;
    if (output == TProcessOutput::Discard) {
        nul = std::make_unique<TNullDevice>();
        if (nul->Handle() == INVALID_HANDLE_VALUE)
            return nullptr;
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdInput = nul->Handle();
        startup.hStdOutput = nul->Handle();
        startup.hStdError = nul->Handle();
    }
    // CreateProcess may write into the command line it is given.
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    PROCESS_INFORMATION info;
    ZeroMemory(&info, sizeof info);
    constexpr DWORD Flags = CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS; // 0x220
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, nul ? TRUE : FALSE, Flags, nullptr,
                        nullptr, &startup, &info))
        return nullptr;
    return std::make_unique<TWinProcess>(info);
}

namespace {

// A handle closed when it goes.
struct THandle {
    HANDLE h = nullptr;
    ~THandle() { Close(); }
    void Close() {
        if (h && h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        h = nullptr;
    }
};

} // namespace

TProcessOutputText RunForOutput(const std::string& commandLine, int timeLimitMs,
                                std::size_t maxBytes) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeLimitMs, 0));
    TProcessOutputText result;
    if (commandLine.find('\0') != std::string::npos)
        return result;
    SECURITY_ATTRIBUTES sa{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    THandle readEnd, writeEnd;
    if (!CreatePipe(&readEnd.h, &writeEnd.h, &sa, 0) ||
        !SetHandleInformation(readEnd.h, HANDLE_FLAG_INHERIT, 0))
        return result;
    TNullDevice nul;
    if (nul.Handle() == INVALID_HANDLE_VALUE)
        return result;
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = nul.Handle();
    startup.hStdOutput = writeEnd.h;
    startup.hStdError = nul.Handle();
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    PROCESS_INFORMATION info;
    ZeroMemory(&info, sizeof info);
    constexpr DWORD Flags = CREATE_NEW_PROCESS_GROUP | CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, Flags, nullptr, nullptr,
                        &startup, &info))
        return result;
    writeEnd.Close(); // the end of the output is seen once the child's copy goes
    result.Started = true;
    TWinProcess process(info);
    auto remainingMs = [&deadline] {
        return static_cast<int>(std::max<long long>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                   .count()));
    };
    // An anonymous pipe cannot be waited on: look, then read what is there.
    bool stop = false;
    for (;;) {
        if (remainingMs() == 0) {
            stop = true; // also when the output never pauses
            break;
        }
        DWORD available = 0;
        if (!PeekNamedPipe(readEnd.h, nullptr, 0, nullptr, &available, nullptr))
            break; // the child's end is closed: all read
        if (available == 0) {
            Sleep(10);
            continue;
        }
        char buffer[4096];
        DWORD got = 0;
        if (!ReadFile(readEnd.h, buffer, std::min<DWORD>(available, sizeof buffer), &got,
                      nullptr) ||
            got == 0)
            break;
        const std::size_t room = maxBytes - result.Text.size();
        result.Text.append(buffer, std::min<std::size_t>(room, got));
        if (got > room) {
            stop = true;
            break;
        }
    }
    readEnd.Close();
    result.Wait = stop ? TProcessWait::TimedOut : process.Wait(remainingMs());
    if (result.Wait == TProcessWait::TimedOut) {
        // Our own child: a query past its limit is not left running.
        TerminateProcess(info.hProcess, 1);
        process.Wait(1000);
        result.Wait = TProcessWait::TimedOut;
        return result;
    }
    result.ExitStatus = process.ExitStatus();
    return result;
}

} // namespace platform
