#pragma once
// The system's well-known folders ("shell folders"), addressed by the
// Windows CSIDL numbers so that callers keep one shape on every system.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct TShellFolderResult {
    std::string Path;    // without a trailing separator; empty when the system has none
    uint32_t ResultCode; // the shell's result code (an HRESULT), 0 on success
    // On failure, where the system can tell: the folder it tried and why it
    // failed ("/home/u/.local/share: Permission denied"), for the message.
    std::string Detail = {};
};

// The current path of shell folder csidl (0..61, without the create flag).
// With create set, a missing folder is created first. A folder the system
// cannot give yields an empty path and the result code.
TShellFolderResult GetShellFolder(int csidl, bool create);

// The system's temporary folder (may end in a separator); empty when unknown.
std::string GetTempFolder();

// The separator the system's own paths use.
char PathDelimiter();

// Whether names differing only in letter case name the same file. Where they
// do not, a path must never be re-cased: it would name another directory.
bool FileNamesCaseInsensitive();

// The folders in which the system's programs look for their settings files,
// the user's first, then the machine's: $XDG_CONFIG_HOME, then each folder of
// $XDG_CONFIG_DIRS (default /etc/xdg) on POSIX systems. Empty where a
// program's settings file lives beside the program only (Windows).
std::vector<std::string> SettingsFileFolders();

// The user's folder for state that outlives a run but is no setting or
// document (records, histories): $XDG_STATE_HOME (default ~/.local/state) on
// POSIX systems, the local application data folder on Windows. Empty when
// the system cannot tell.
std::string UserStateFolder();

// Whether the machine-wide folders (CSIDL_COMMON_APPDATA) are made by the
// program's installer rather than by the program at run time. Where they are,
// a program started with the rights to create them (as root) must not.
bool MachineFoldersMadeByInstaller();

// Whether the path is absolute in the system's own form without a drive
// letter or a network share ("/..." on POSIX systems).
bool IsRootedSystemPath(const std::string& path);

// Test seam: while set, shell folder csidl resolves to this path (created like
// the real one). Lets tests redirect the machine-wide folders, which have no
// per-user environment setting.
void OverrideShellFolder(int csidl, std::optional<std::string> path);

// The system's halves, implemented once per system; GetShellFolder adds the
// test seam in front of them. SystemShellFolder resolves a shell folder;
// OverriddenShellFolder makes a folder of a path a test put in its place,
// as the system makes its own.
TShellFolderResult SystemShellFolder(int csidl, bool create);
TShellFolderResult OverriddenShellFolder(std::string path, bool create);

} // namespace platform
