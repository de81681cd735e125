#pragma once
// The user's home and the XDG base and user directories, shared by the POSIX
// shell folders and the per-user settings store.

#include <string>
#include <sys/types.h>

namespace platform::posix {

// $HOME when it is an absolute path, else the home of the user's account
// entry; empty when neither is known.
std::string HomeDir();

// An XDG base directory: the variable's value when it is absolute (relative
// values are invalid and ignored), else home + "/" + homeRelativeDefault;
// empty without a home.
std::string XdgBaseDir(const char* envName, const char* homeRelativeDefault);

// An XDG user directory (XDG_DOCUMENTS_DIR and the like) from
// $XDG_CONFIG_HOME/user-dirs.dirs, else home + "/" + homeRelativeDefault.
std::string XdgUserDir(const char* key, const char* homeRelativeDefault);

// Creates the missing directories of an absolute path with the given mode.
// Returns 0 or the errno of the failing step; an existing non-directory fails.
int MakeDirectoryChain(const std::string& path, mode_t mode);

} // namespace platform::posix
