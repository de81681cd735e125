#include "platform/FolderProbe.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

bool ProbeFolderWritable(const std::string& folder) noexcept {
    try {
        if (folder.empty() || folder.find('\0') != std::string::npos)
            return false;
        std::string path = folder;
        if (path.back() != '/')
            path += '/';
        // mkostemps creates the file with O_EXCL: a name that exists in any
        // form (a user's file, a link left there) is skipped, never opened.
        path += "test-XXXXXX.txt";
        const int fd = mkostemps(path.data(), 4, O_CLOEXEC);
        if (fd < 0)
            return false;
        static constexpr char Line[] = "test\r\n";
        bool ok = write(fd, Line, sizeof Line - 1) == static_cast<ssize_t>(sizeof Line - 1);
        struct stat own {};
        const bool known = fstat(fd, &own) == 0;
        ok = close(fd) == 0 && ok;
        // Deleted by name: only while that name is still the file made here,
        // not one somebody put in its place meanwhile.
        struct stat now {};
        if (known && lstat(path.c_str(), &now) == 0 && now.st_dev == own.st_dev &&
            now.st_ino == own.st_ino)
            unlink(path.c_str());
        return ok && known;
    } catch (...) {
        return false;
    }
}

} // namespace platform
