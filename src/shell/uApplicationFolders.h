#pragma once
// The application's working folders, derived from its identity. SetAppFolders
// runs once at start-up, before any window exists; everything else here only
// reads what it resolved.

#include <string>

namespace platform {
class TUserSettingsStore;
}

namespace uApplicationFolders {

// Identity, taken over from uApplicationSpecifical by InitIdentity.
const std::string& AppName();
const std::string& AppNameLong();
const std::string& Splash1();
const std::string& Splash2();
const std::string& Company();
const std::string& CompanyLong();
const std::string& IniFileName();
// The folder level between a shell folder and the application's folder:
// "KavenLoggers", or the configured company when it is a usable folder name.
const std::string& VendorFolderName();
// The per-user key, fixed: it does not follow a configured name.
const std::string& RegistryKeyPath();

// Folders, each ending in the path separator (FilesFolder: as stored).
const std::string& DataFolder();
const std::string& LocalFolder();
const std::string& DocumentsFolder();
const std::string& FilesFolder();
const std::string& ExeFolder();
const std::string& DatabaseFolder();

// The per-user settings store SetAppFolders opened; null before and after.
platform::TUserSettingsStore* UserSettings();

// Reads the identity and derives VendorFolderName and RegistryKeyPath.
void InitIdentity();

// Resolves and creates the application folders, falling back from the shared
// data folder to the per-user one when the shared one is not usable, and
// opens the per-user settings store. Raises Exception
// "Error occured in SetAppFolders: <reason>" on failure. The shared folder is
// used only when it exists, where the installer makes it (POSIX systems); a
// documents folder that cannot be made does not fail (nothing writes there).
void SetAppFolders();

// Whether a file can be created, written and deleted in DataFolder (or the
// given folder), tried with a new file of a unique name. Never raises; never
// opens a file that was there, and leaves none behind.
bool TestFolderWritable();
bool TestFolderWritable(const std::string& folder);

// Whether the text can serve as one folder or file name.
bool IsValidFileName(const std::string& name);

// Program end: closes the settings store and clears every value.
void FinalizeAppFolders();

} // namespace uApplicationFolders
