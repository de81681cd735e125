#include "platform/StandardOutput.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

void TStandardOutput::Open() {
    if (::fcntl(STDOUT_FILENO, F_GETFD) != -1) {
        handle_ = STDOUT_FILENO;
        return;
    }
    // Started with its standard output closed: the next file or socket the
    // program opens would take its number and receive the output. The number
    // is held by /dev/null instead, and every write fails.
    error_ = std::strerror(EBADF);
    const int fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (fd >= 0 && fd != STDOUT_FILENO) {
        ::dup2(fd, STDOUT_FILENO);
        ::close(fd);
    }
}

bool TStandardOutput::Write(const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(static_cast<int>(handle_), data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error_ = n < 0 ? std::strerror(errno) : "nothing written";
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace platform
