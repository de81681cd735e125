#include "platform/FileAppend.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
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

std::string AppendTargetProblem(const std::string& path) noexcept {
    try {
        if (path.empty() || path.find('\0') != std::string::npos)
            return "Not a usable file name";
        const auto notRegular = [](const struct stat& s) -> std::string {
            return S_ISDIR(s.st_mode) ? "Is a directory" : "Not a regular file";
        };
        // Looked at first: opening a pipe or a device already acts on it.
        struct stat before {};
        if (::stat(path.c_str(), &before) == 0 && !S_ISREG(before.st_mode))
            return notRegular(before);
        const int fd = ::open(
            path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644);
        if (fd < 0)
            return std::strerror(errno);
        std::string problem;
        struct stat opened {};
        if (::fstat(fd, &opened) != 0)
            problem = std::strerror(errno);
        else if (!S_ISREG(opened.st_mode))
            problem = notRegular(opened);
        else if (::write(fd, "", 0) < 0)
            problem = std::strerror(errno);
        ::close(fd);
        return problem;
    } catch (...) {
        return "Out of memory";
    }
}

} // namespace platform
