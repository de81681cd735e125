// Processes through CreateProcess and WaitForSingleObject.

#include "platform/Process.h"

#include <windows.h>

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

} // namespace platform
