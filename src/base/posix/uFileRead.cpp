#include "base/uFileRead.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TFileRead FromErrno(int code) {
    return code == ENOENT || code == ENOTDIR ? TFileRead::Missing : TFileRead::Failed;
}

} // namespace

TRegularFile::TRegularFile(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos)
        return;
    // Looked at before it is opened: opening some devices already acts on them.
    struct stat before {};
    if (::stat(path.c_str(), &before) != 0) {
        status_ = FromErrno(errno);
        return;
    }
    if (!S_ISREG(before.st_mode)) {
        status_ = TFileRead::NotRegular;
        return;
    }
    // O_NONBLOCK: were the name swapped for a pipe meanwhile, the open would
    // otherwise wait for a writer. The check below is on what was opened.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        status_ = FromErrno(errno);
        return;
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        status_ = TFileRead::NotRegular;
        return;
    }
    handle_ = fd;
    status_ = TFileRead::Ok;
}

TRegularFile::~TRegularFile() {
    if (handle_ >= 0)
        ::close(static_cast<int>(handle_));
}

long long TRegularFile::Read(char* buffer, std::size_t size) {
    if (handle_ < 0)
        return -1;
    for (;;) {
        const ssize_t n = ::read(static_cast<int>(handle_), buffer, size);
        if (n >= 0)
            return n;
        if (errno != EINTR)
            return -1;
    }
}
