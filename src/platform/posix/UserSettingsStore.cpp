// The per-user settings store on POSIX systems: an initialisation-style file
// under the XDG config folder, the place and format Qt's QSettings uses for
// "Vendor"/"Program" here. Registry key "\Software\KavenLoggers\Quorvet" is
// $XDG_CONFIG_HOME/KavenLoggers/Quorvet.conf; its sub-key "Files" is the
// section [Files]. Values are texts, as registry strings are.

#include "platform/UserSettingsStore.h"

#include "base/uAsciiText.h"
#include "base/uErrors.h"
#include "base/uIniFile.h"
#include "platform/posix/XdgDirs.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

class TFileSettingsStore : public TUserSettingsStore {
public:
    TFileSettingsStore(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~TFileSettingsStore() override { close(fd_); }
    TFileSettingsStore(const TFileSettingsStore&) = delete;
    TFileSettingsStore& operator=(const TFileSettingsStore&) = delete;

    std::optional<std::string> ReadString(const std::string& subKey,
                                          const std::string& name) override {
        // Read afresh each time through the open handle, bounded like any
        // settings file.
        std::string text(TIniFile::MaxFileSize, '\0');
        std::size_t got = 0;
        while (got < text.size()) {
            const ssize_t n =
                pread(fd_, text.data() + got, text.size() - got, static_cast<off_t>(got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                throw Exception("Failed to get data for '" + name + "'");
            if (n == 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        text.resize(got);
        return TIniFile::Parse(text).Value(subKey, name);
    }

    std::string Location() const override { return path_; }

private:
    int fd_;
    std::string path_;
};

} // namespace

std::unique_ptr<TUserSettingsStore> TUserSettingsStore::OpenOrCreate(const std::string& keyPath) {
    const std::string failedText = "Failed to create key " + keyPath;
    const Exception failed(failedText);
    // The registry's text, then the file and the system's reason.
    const auto failedAt = [&failedText](const std::string& where, const char* reason) {
        return Exception(failedText + " (" + where + ": " + reason + ")");
    };
    std::vector<std::string> parts;
    std::size_t pos = 0;
    while (pos <= keyPath.size()) {
        std::size_t next = keyPath.find('\\', pos);
        if (next == std::string::npos)
            next = keyPath.size();
        std::string part = keyPath.substr(pos, next - pos);
        pos = next + 1;
        if (part.empty())
            continue;
        // A key name must stay one file name: no climbing out of the folder.
        if (part == "." || part == ".." || part.find('/') != std::string::npos ||
            part.find('\0') != std::string::npos)
            throw failed;
        parts.push_back(std::move(part));
    }
    if (!parts.empty() && SameText(parts.front(), "Software"))
        parts.erase(parts.begin());
    if (parts.empty())
        throw failed;

    std::string dir = posix::XdgBaseDir("XDG_CONFIG_HOME", ".config");
    if (dir.empty())
        throw failed;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i)
        dir += "/" + parts[i];
    if (int err = posix::MakeDirectoryChain(dir, 0700); err != 0)
        throw failedAt(dir, std::strerror(err));
    const std::string path = dir + "/" + parts.back() + ".conf";
    // The store is only read: opened for reading, so that a store the user
    // made read-only (or one on a read-only file system) serves as well. A
    // missing one is still created, as the key is.
    const int fd = open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0600);
    if (fd < 0)
        throw failedAt(path, std::strerror(errno));
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        throw failedAt(path, "not a regular file");
    }
    return std::make_unique<TFileSettingsStore>(fd, path);
}

} // namespace platform
