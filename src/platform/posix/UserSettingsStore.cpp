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
        return TIniFile::Parse(ReadAll(name)).Value(subKey, name);
    }

    void WriteString(const std::string& subKey, const std::string& name,
                     const std::string& value) override {
        const std::string old = ReadAll(name);
        // A store beyond the bound was read in part: writing it back would
        // lose the rest.
        if (old.size() >= TIniFile::MaxFileSize)
            throw Exception("Failed to set data for '" + name + "'");
        const std::string text = TIniFile::WithValue(old, subKey, name, value);
        // A whole new file renamed over the old one: a reader never sees half
        // a store, and a failed write leaves the old one.
        const std::string temp = path_ + ".new";
        const Exception failed("Failed to set data for '" + name + "'");
        const int out =
            open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (out < 0)
            throw failed;
        std::size_t put = 0;
        while (put < text.size()) {
            const ssize_t n = write(out, text.data() + put, text.size() - put);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            put += static_cast<std::size_t>(n);
        }
        if (close(out) != 0 || put != text.size() || rename(temp.c_str(), path_.c_str()) != 0) {
            unlink(temp.c_str());
            throw failed;
        }
        // Read on from the new file.
        const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd >= 0) {
            close(fd_);
            fd_ = fd;
        }
    }

    std::string Location() const override { return path_; }

private:
    // The whole store, read afresh through the open handle and bounded like
    // any settings file.
    std::string ReadAll(const std::string& name) const {
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
        return text;
    }

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
    // Opened for reading, so that a store the user made read-only (or one on
    // a read-only file system) serves as well; writing replaces the file. A
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
