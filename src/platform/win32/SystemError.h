#pragma once
// Texts of Windows system error codes.

#include <string>

namespace platform::win32 {

// The system's message text for an error code, without the line break the
// system appends; empty when it has none.
std::string SystemErrorMessage(unsigned long code);

// "System Error.  Code: %d.\r\n%s" with the code and its message text.
std::string SystemErrorText(unsigned long code);

} // namespace platform::win32
