#include "platform/ProgramFile.h"

#include "base/uErrors.h"

#include <unistd.h>
#include <vector>

namespace platform {

std::string SystemProgramFilePath() {
    // readlink does not say how long the target is; grow the buffer, bounded.
    for (std::size_t size = 4096; size <= 65536; size *= 2) {
        std::vector<char> buf(size);
        const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0)
            break;
        if (static_cast<std::size_t>(n) < buf.size())
            return std::string(buf.data(), static_cast<std::size_t>(n));
    }
    throw Exception("Cannot determine the program file path");
}

} // namespace platform
