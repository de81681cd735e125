#include "platform/posix/XdgDirs.h"

#include "base/uFileRead.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform::posix {

namespace {

// user-dirs.dirs is a few hundred bytes.
constexpr std::size_t MaxUserDirsSize = 64 * 1024;

bool IsAbsolute(const char* s) {
    return s != nullptr && s[0] == '/';
}

// Parses one value of user-dirs.dirs: "$HOME/rest" or "/absolute", in double
// quotes, with shell backslash escapes. Anything else is not used.
std::string UserDirValue(const std::string& raw, const std::string& home) {
    if (raw.size() < 2 || raw.front() != '"' || raw.back() != '"')
        return {};
    std::string value;
    for (std::size_t i = 1; i + 1 < raw.size(); ++i) {
        char c = raw[i];
        if (c == '\\' && i + 2 < raw.size())
            c = raw[++i];
        value += c;
    }
    if (value.rfind("$HOME", 0) == 0) {
        if (home.empty())
            return {};
        const std::string rest = value.substr(5);
        if (!rest.empty() && rest[0] != '/')
            return {}; // "$HOMEX" is another variable
        return home + rest;
    }
    return value.empty() || value[0] != '/' ? std::string() : value;
}

} // namespace

std::string HomeDir() {
    const char* home = std::getenv("HOME");
    if (IsAbsolute(home))
        return home;
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found != nullptr &&
        IsAbsolute(found->pw_dir))
        return found->pw_dir;
    return {};
}

std::string XdgBaseDir(const char* envName, const char* homeRelativeDefault) {
    const char* value = std::getenv(envName);
    if (IsAbsolute(value))
        return value;
    const std::string home = HomeDir();
    return home.empty() ? std::string() : home + "/" + homeRelativeDefault;
}

std::string XdgUserDir(const char* key, const char* homeRelativeDefault) {
    const std::string home = HomeDir();
    const std::string configHome = XdgBaseDir("XDG_CONFIG_HOME", ".config");
    std::string result;
    if (!configHome.empty()) {
        // A pipe or device of that name must not stall the start; a file
        // beyond any real user-dirs.dirs is not one, and its cut last line
        // could name a wrong folder.
        std::string text;
        if (ReadRegularFile(configHome + "/user-dirs.dirs", MaxUserDirsSize, text) != TFileRead::Ok)
            text.clear();
        const std::string prefix = std::string(key) + "=";
        std::size_t pos = 0;
        while (pos < text.size()) {
            std::size_t nl = text.find('\n', pos);
            if (nl == std::string::npos)
                nl = text.size();
            std::string line = text.substr(pos, nl - pos);
            pos = nl + 1;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.rfind(prefix, 0) == 0) {
                // The last assignment wins, as when the shell sources the file.
                std::string value = UserDirValue(line.substr(prefix.size()), home);
                if (!value.empty())
                    result = value;
            }
        }
    }
    if (!result.empty())
        return result;
    return home.empty() ? std::string() : home + "/" + homeRelativeDefault;
}

int MakeDirectoryChain(const std::string& path, mode_t mode) {
    if (path.empty() || path[0] != '/')
        return ENOENT;
    std::size_t pos = 1;
    while (pos <= path.size()) {
        std::size_t next = path.find('/', pos);
        if (next == std::string::npos)
            next = path.size();
        if (next > pos) {
            const std::string part = path.substr(0, next);
            struct stat st {};
            if (stat(part.c_str(), &st) == 0) {
                if (!S_ISDIR(st.st_mode))
                    return ENOTDIR;
            } else if (mkdir(part.c_str(), mode) != 0 && errno != EEXIST) {
                return errno;
            }
        }
        pos = next + 1;
    }
    return 0;
}

} // namespace platform::posix
