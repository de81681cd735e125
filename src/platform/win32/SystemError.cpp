#include "platform/win32/SystemError.h"

#include <windows.h>

#include <cstdio>

namespace platform::win32 {

std::string SystemErrorMessage(unsigned long code) {
    char buf[1024] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                       FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                   nullptr, code, 0, buf, sizeof buf, nullptr);
    std::string text(buf, n < sizeof buf ? n : sizeof buf - 1);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string SystemErrorText(unsigned long code) {
    char head[64];
    std::snprintf(head, sizeof head, "System Error.  Code: %lu.\r\n", code);
    return head + SystemErrorMessage(code);
}

} // namespace platform::win32
