#include "platform/StandardOutput.h"

#include "platform/win32/SystemError.h"

#include <windows.h>

#include <string>

namespace platform {

namespace {

HANDLE OutputHandle(std::intptr_t h) {
    return reinterpret_cast<HANDLE>(h);
}

std::string LastErrorText() {
    const DWORD code = GetLastError();
    const std::string text = win32::SystemErrorMessage(code);
    return text.empty() ? "system error " + std::to_string(code) : text;
}

} // namespace

void TStandardOutput::Open() {
    const HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) {
        // No standard output at all (a closed one under a shell).
        const std::string text = win32::SystemErrorMessage(ERROR_INVALID_HANDLE);
        error_ = text.empty() ? "invalid handle" : text;
        return;
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
    DWORD mode = 0;
    console_ = GetConsoleMode(h, &mode) != 0;
}

bool TStandardOutput::Write(const char* data, std::size_t size) {
    if (console_) {
        // The console shows UTF-16 as it is; bytes it would read in its code
        // page.
        const int units = MultiByteToWideChar(CP_UTF8, 0, data, static_cast<int>(size), nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(units), L'\0');
        if (units > 0)
            MultiByteToWideChar(CP_UTF8, 0, data, static_cast<int>(size), wide.data(), units);
        std::size_t done = 0;
        while (done < wide.size()) {
            DWORD written = 0;
            if (!WriteConsoleW(OutputHandle(handle_), wide.data() + done,
                               static_cast<DWORD>(wide.size() - done), &written, nullptr) ||
                written == 0) {
                error_ = LastErrorText();
                return false;
            }
            done += written;
        }
        return true;
    }
    std::size_t done = 0;
    while (done < size) {
        DWORD written = 0;
        if (!WriteFile(OutputHandle(handle_), data + done, static_cast<DWORD>(size - done),
                       &written, nullptr) ||
            written == 0) {
            error_ = LastErrorText();
            return false;
        }
        done += written;
    }
    return true;
}

} // namespace platform
