#include "platform/ProgramFile.h"

#include "base/uErrors.h"

#include <windows.h>

#include <vector>

namespace platform {

std::string SystemProgramFilePath() {
    // The call cuts a long path to the buffer; grow it, bounded.
    for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
        std::vector<char> buf(size);
        const DWORD n = GetModuleFileNameA(nullptr, buf.data(), size);
        if (n == 0)
            break;
        if (n < size)
            return std::string(buf.data(), n);
    }
    throw Exception("Cannot determine the program file path");
}

} // namespace platform
