#pragma once
// Shell folders: expands a path that begins with a placeholder naming a
// system folder ("%CSIDL_LOCAL_APPDATA%\Vendor\App"), creates folders on
// request and normalises the letter case of paths.
//
// The text functions speak of backslashes, the separator of drive paths
// ("C:\a\"). On a system whose own separator is another character ("/"), both
// count as separators, Windows-shaped texts (with a drive or with backslashes
// only) keep getting backslashes, and all other texts get the system's
// separator. Paths are re-cased only where file names ignore case.

#include "base/uErrors.h"

#include <string>
#include <system_error>

using TShellFolderPath = std::string;

// A shell folder the system cannot give.
class ESHGetFolderPath : public Exception {
public:
    using Exception::Exception;
};

constexpr int ShellFolderIdMin = -1;
constexpr int ShellFolderIdMax = 61;

// The placeholder text of identifier id ("%CSIDL_TEMP%" for -1, "%%" for the
// unnamed ones). id must lie in ShellFolderIdMin..ShellFolderIdMax.
const std::string& ShellFolderName(int id);

// The identifier of a placeholder, compared without letter case. Raises
// Exception "<placeholder> is not a valid shellfoldername !".
int ShellFolderIdFromName(const std::string& placeholder);

// The path of shell folder id, created first when create is set. Raises
// Exception for an identifier out of range and ESHGetFolderPath when the
// system has no such folder.
TShellFolderPath GetShellFolderPath(int id, bool create);

// Expands a leading placeholder, creates the folders when asked, and adds a
// trailing separator and capitalises when asked (see the header comment).
// Raises Exception when more than 260 characters follow the placeholder.
TShellFolderPath ResolveFolder(const TShellFolderPath& path, bool create, bool addBackslash,
                               bool capitalize);

std::string StripTrailingBackslash(const std::string& text);
std::string AddTrailingBackslash(const std::string& text);

// Upper-cases the first letter of each word and lower-cases the rest and the
// file extension. Texts containing ":/" (addresses) are returned unchanged.
std::string CapitalizePath(const std::string& text, bool includeBlank);

// Helpers shared with the application folders.
bool IsPathDelimiter(char c);
bool DirectoryExists(const std::string& path);
bool FileExists(const std::string& path); // exists and is not a directory
bool ForceDirectories(const std::string& path);
// The same, telling why it failed.
bool ForceDirectories(const std::string& path, std::error_code& ec);
// The folder part of a file path, with its trailing separator.
std::string ExtractFilePath(const std::string& path);
