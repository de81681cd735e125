// Shell folders on POSIX systems: the user's home and the XDG base and user
// directories. Folders without a meaning here fail as the Windows shell fails
// for virtual folders (empty path, E_INVALIDARG).
//
// The machine-wide application data folder (CSIDL_COMMON_APPDATA) is /var/lib:
// the system's place for program state shared by all users. Folders there
// belong to the package that installs them: the program uses one that exists
// and is writable, and otherwise falls back to its per-user folder, as it does
// on Windows when the shared folder is not writable.

#include "platform/ShellFolders.h"

#include "platform/posix/XdgDirs.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace platform {

namespace {

constexpr uint32_t E_FAIL_ = 0x80004005;
constexpr uint32_t E_INVALIDARG_ = 0x80070057;
constexpr uint32_t E_ACCESSDENIED_ = 0x80070005; // HRESULT of ERROR_ACCESS_DENIED
constexpr uint32_t E_PATHNOTFOUND_ = 0x80070003; // HRESULT of ERROR_PATH_NOT_FOUND

enum class TSource { None, Home, UserDir, BaseDir, System };

struct TFolderSource {
    TSource Source = TSource::None;
    const char* Name = nullptr;        // XDG variable or system path
    const char* HomeDefault = nullptr; // home-relative default of an XDG folder
    const char* Suffix = nullptr;      // below the XDG folder
};

TFolderSource SourceOf(int csidl) {
    switch (csidl) {
    case 0:  // DESKTOP
    case 16: // DESKTOPDIRECTORY
        return {TSource::UserDir, "XDG_DESKTOP_DIR", "Desktop", nullptr};
    case 2:  // PROGRAMS
    case 11: // STARTMENU
        return {TSource::BaseDir, "XDG_DATA_HOME", ".local/share", "/applications"};
    case 5: // PERSONAL
        return {TSource::UserDir, "XDG_DOCUMENTS_DIR", "Documents", nullptr};
    case 7: // STARTUP
        return {TSource::BaseDir, "XDG_CONFIG_HOME", ".config", "/autostart"};
    case 13: // MYMUSIC
        return {TSource::UserDir, "XDG_MUSIC_DIR", "Music", nullptr};
    case 14: // MYVIDEO
        return {TSource::UserDir, "XDG_VIDEOS_DIR", "Videos", nullptr};
    case 20: // FONTS
        return {TSource::BaseDir, "XDG_DATA_HOME", ".local/share", "/fonts"};
    case 21: // TEMPLATES
        return {TSource::UserDir, "XDG_TEMPLATES_DIR", "Templates", nullptr};
    case 22: // COMMON_STARTMENU
    case 23: // COMMON_PROGRAMS
        return {TSource::System, "/usr/share/applications", nullptr, nullptr};
    case 24: // COMMON_STARTUP
        return {TSource::System, "/etc/xdg/autostart", nullptr, nullptr};
    case 26: // APPDATA
        return {TSource::BaseDir, "XDG_CONFIG_HOME", ".config", nullptr};
    case 28: // LOCAL_APPDATA
        return {TSource::BaseDir, "XDG_DATA_HOME", ".local/share", nullptr};
    case 32: // INTERNET_CACHE
        return {TSource::BaseDir, "XDG_CACHE_HOME", ".cache", nullptr};
    case 35: // COMMON_APPDATA
        return {TSource::System, "/var/lib", nullptr, nullptr};
    case 39: // MYPICTURES
        return {TSource::UserDir, "XDG_PICTURES_DIR", "Pictures", nullptr};
    case 40: // PROFILE
        return {TSource::Home, nullptr, nullptr, nullptr};
    default: // virtual folders and Windows-only places
        return {};
    }
}

uint32_t ResultOfErrno(int err) {
    switch (err) {
    case EACCES:
    case EPERM:
    case EROFS:
        return E_ACCESSDENIED_;
    case ENOENT:
    case ENOTDIR:
        return E_PATHNOTFOUND_;
    default:
        return E_FAIL_;
    }
}

TShellFolderResult Folder(std::string path, bool perUser, bool create) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (path.empty() || path[0] != '/')
        return {{}, E_FAIL_}; // no home, or a relative override
    if (create) {
        // Per-user folders are private, as the XDG base directories must be.
        if (int err = posix::MakeDirectoryChain(path, perUser ? 0700 : 0755); err != 0)
            return {{}, ResultOfErrno(err), path + ": " + std::strerror(err)};
    }
    return {path, 0};
}

} // namespace

TShellFolderResult SystemShellFolder(int csidl, bool create) {
    std::string path;
    bool perUser = true;
    const TFolderSource src = SourceOf(csidl);
    switch (src.Source) {
    case TSource::None:
        return {{}, E_INVALIDARG_};
    case TSource::Home:
        path = posix::HomeDir();
        break;
    case TSource::UserDir:
        path = posix::XdgUserDir(src.Name, src.HomeDefault);
        break;
    case TSource::BaseDir:
        path = posix::XdgBaseDir(src.Name, src.HomeDefault);
        if (!path.empty() && src.Suffix != nullptr)
            path += src.Suffix;
        break;
    case TSource::System:
        path = src.Name;
        perUser = false;
        break;
    }
    return Folder(std::move(path), perUser, create);
}

TShellFolderResult OverriddenShellFolder(std::string path, bool create) {
    return Folder(std::move(path), true, create);
}

std::string GetTempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    if (tmp != nullptr && tmp[0] == '/')
        return tmp;
    return "/tmp";
}

char PathDelimiter() {
    return '/';
}

bool FileNamesCaseInsensitive() {
    return false;
}

std::string UserStateFolder() {
    return posix::XdgBaseDir("XDG_STATE_HOME", ".local/state");
}

std::vector<std::string> SettingsFileFolders() {
    std::vector<std::string> folders;
    const std::string user = posix::XdgBaseDir("XDG_CONFIG_HOME", ".config");
    if (!user.empty())
        folders.push_back(user);
    // Relative entries are invalid and ignored, as an unset or empty list
    // means /etc/xdg.
    const char* list = std::getenv("XDG_CONFIG_DIRS");
    const std::string dirs = list != nullptr && list[0] != '\0' ? list : "/etc/xdg";
    std::size_t pos = 0;
    while (pos <= dirs.size()) {
        std::size_t next = dirs.find(':', pos);
        if (next == std::string::npos)
            next = dirs.size();
        const std::string dir = dirs.substr(pos, next - pos);
        if (!dir.empty() && dir[0] == '/')
            folders.push_back(dir);
        pos = next + 1;
    }
    return folders;
}

bool MachineFoldersMadeByInstaller() {
    return true;
}

bool IsRootedSystemPath(const std::string& path) {
    return !path.empty() && path[0] == '/';
}

} // namespace platform
