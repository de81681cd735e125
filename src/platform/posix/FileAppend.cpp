#include "platform/FileAppend.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

bool AppendToFile(const std::string& path, const std::string& data) noexcept {
    if (path.empty() || path.find('\0') != std::string::npos)
        return false;
    // O_NONBLOCK: a FIFO without a reader must not stall the caller.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0)
        return false;
    bool ok = true;
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        if (n == 0) {
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    ::close(fd); // a failure while closing is of no interest to a log
    return ok;
}

} // namespace platform
