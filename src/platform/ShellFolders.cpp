// What the shell folders do alike on every system: the test seam in front of
// the system's folders (posix/ShellFolders.cpp, win32/ShellFolders.cpp).

#include "platform/ShellFolders.h"

#include <map>

namespace platform {

namespace {

std::map<int, std::string>& Overrides() {
    static std::map<int, std::string> overrides;
    return overrides;
}

} // namespace

TShellFolderResult GetShellFolder(int csidl, bool create) {
    if (auto it = Overrides().find(csidl); it != Overrides().end())
        return OverriddenShellFolder(it->second, create);
    return SystemShellFolder(csidl, create);
}

void OverrideShellFolder(int csidl, std::optional<std::string> path) {
    if (path)
        Overrides()[csidl] = *path;
    else
        Overrides().erase(csidl);
}

} // namespace platform
