// Shell folders from "SHFolder.dll", loaded at run time as older systems may
// lack it; COM is initialised for the thread that loads it.

#include "platform/ShellFolders.h"

// windows.h before the COM header that builds on it.
// clang-format off
#include <windows.h>
#include <objbase.h>
// clang-format on

#include <string>

namespace platform {

namespace {

using TSHGetFolderPathA = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
using TSHGetFolderPathW = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);

constexpr int CreateFlag = 0x8000; // CSIDL_FLAG_CREATE
constexpr std::size_t PathChars = MAX_PATH;

// Held from the first use to the end of the program.
class TShellLibrary {
public:
    TShellLibrary() {
        comInitialized_ = SUCCEEDED(CoInitialize(nullptr));
        library_ = LoadLibraryA("SHFolder.dll");
        if (library_ != nullptr) {
            getA_ = reinterpret_cast<TSHGetFolderPathA>(
                reinterpret_cast<void*>(GetProcAddress(library_, "SHGetFolderPathA")));
            getW_ = reinterpret_cast<TSHGetFolderPathW>(
                reinterpret_cast<void*>(GetProcAddress(library_, "SHGetFolderPathW")));
        }
    }
    ~TShellLibrary() {
        if (library_ != nullptr)
            FreeLibrary(library_);
        if (comInitialized_)
            CoUninitialize();
    }
    TShellLibrary(const TShellLibrary&) = delete;
    TShellLibrary& operator=(const TShellLibrary&) = delete;

    TShellFolderResult Get(int csidl, bool create) const {
        const int id = csidl | (create ? CreateFlag : 0);
        if (getA_ != nullptr) {
            char buf[PathChars + 1] = {};
            const HRESULT hr = getA_(nullptr, id, nullptr, 0, buf);
            buf[PathChars] = '\0';
            return {buf, static_cast<uint32_t>(hr)};
        }
        if (getW_ != nullptr) {
            wchar_t wide[PathChars + 1] = {};
            const HRESULT hr = getW_(nullptr, id, nullptr, 0, wide);
            wide[PathChars] = L'\0';
            char buf[PathChars + 1] = {};
            std::string path;
            if (WideCharToMultiByte(CP_ACP, 0, wide, -1, buf, static_cast<int>(PathChars), nullptr,
                                    nullptr) > 0)
                path = buf;
            return {path, static_cast<uint32_t>(hr)};
        }
        return {{}, 0};
    }

private:
    bool comInitialized_ = false;
    HMODULE library_ = nullptr;
    TSHGetFolderPathA getA_ = nullptr;
    TSHGetFolderPathW getW_ = nullptr;
};

// Started with the program, before the first window, as the shell folders
// are resolved at start-up.
const TShellLibrary& Library() {
    static TShellLibrary library;
    return library;
}
[[maybe_unused]] const TShellLibrary& startedWithTheProgram = Library();

bool DirectoryExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Creates the missing directories of path; false when it cannot.
bool MakeDirectoryChain(const std::string& path) {
    if (path.empty())
        return false;
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '\\' && path[i] != '/')
            continue;
        const std::string part = path.substr(0, i);
        if (part.size() == 2 && part[1] == ':')
            continue; // a drive
        if (!DirectoryExists(part) && !CreateDirectoryA(part.c_str(), nullptr) &&
            GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    return DirectoryExists(path);
}

} // namespace

TShellFolderResult SystemShellFolder(int csidl, bool create) {
    return Library().Get(csidl, create);
}

TShellFolderResult OverriddenShellFolder(std::string path, bool create) {
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    if (create && !MakeDirectoryChain(path))
        return {{}, static_cast<uint32_t>(E_FAIL)};
    return {path, 0};
}

std::string GetTempFolder() {
    char buf[PathChars + 1] = {};
    const DWORD n = GetTempPathA(static_cast<DWORD>(PathChars), buf);
    if (n == 0 || n > PathChars)
        return {};
    return std::string(buf, n);
}

char PathDelimiter() {
    return '\\';
}

bool FileNamesCaseInsensitive() {
    return true;
}

std::string UserStateFolder() {
    return SystemShellFolder(0x001c /* CSIDL_LOCAL_APPDATA */, false).Path;
}

std::vector<std::string> SettingsFileFolders() {
    return {}; // the settings file lives beside the program
}

bool MachineFoldersMadeByInstaller() {
    // The common application data folder is writable for users, and the
    // program makes its own folder there at start-up.
    return false;
}

bool IsRootedSystemPath(const std::string&) {
    // Windows paths are rooted by a drive or a network share only.
    return false;
}

} // namespace platform
