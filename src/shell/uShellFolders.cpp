#include "shell/uShellFolders.h"

#include "base/uAsciiText.h"
#include "platform/ShellFolders.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

// Slot k + 1 holds the placeholder of identifier k. The unnamed identifiers
// (15, 50, 51, 52, 60) hold "%%".
const std::array<std::string, 63> ShellFolderNames = {
    "%CSIDL_TEMP%",
    "%CSIDL_DESKTOP%",
    "%CSIDL_INTERNET%",
    "%CSIDL_PROGRAMS%",
    "%CSIDL_CONTROLS%",
    "%CSIDL_PRINTERS%",
    "%CSIDL_PERSONAL%",
    "%CSIDL_FAVORITES%",
    "%CSIDL_STARTUP%",
    "%CSIDL_RECENT%",
    "%CSIDL_SENDTO%",
    "%CSIDL_BITBUCKET%",
    "%CSIDL_STARTMENU%",
    "%CSIDL_MYDOCUMENTS%",
    "%CSIDL_MYMUSIC%",
    "%CSIDL_MYVIDEO%",
    "%%",
    "%CSIDL_DESKTOPDIRECTORY%",
    "%CSIDL_DRIVES%",
    "%CSIDL_NETWORK%",
    "%CSIDL_NETHOOD%",
    "%CSIDL_FONTS%",
    "%CSIDL_TEMPLATES%",
    "%CSIDL_COMMON_STARTMENU%",
    "%CSIDL_COMMON_PROGRAMS%",
    "%CSIDL_COMMON_STARTUP%",
    "%CSIDL_COMMON_DESKTOPDIRECTORY%",
    "%CSIDL_APPDATA%",
    "%CSIDL_PRINTHOOD%",
    "%CSIDL_LOCAL_APPDATA%",
    "%CSIDL_ALTSTARTUP%",
    "%CSIDL_COMMON_ALTSTARTUP%",
    "%CSIDL_COMMON_FAVORITES%",
    "%CSIDL_INTERNET_CACHE%",
    "%CSIDL_COOKIES%",
    "%CSIDL_HISTORY%",
    "%CSIDL_COMMON_APPDATA%",
    "%CSIDL_WINDOWS%",
    "%CSIDL_SYSTEM%",
    "%CSIDL_PROGRAM_FILES%",
    "%CSIDL_MYPICTURES%",
    "%CSIDL_PROFILE%",
    "%CSIDL_SYSTEMX86%",
    "%CSIDL_PROGRAM_FILESX86%",
    "%CSIDL_PROGRAM_FILES_COMMON%",
    "%CSIDL_PROGRAM_FILES_COMMONX86%",
    "%CSIDL_COMMON_TEMPLATES%",
    "%CSIDL_COMMON_DOCUMENTS%",
    "%CSIDL_COMMON_ADMINTOOLS%",
    "%CSIDL_ADMINTOOLS%",
    "%CSIDL_CONNECTIONS%",
    "%%",
    "%%",
    "%%",
    "%CSIDL_COMMON_MUSIC%",
    "%CSIDL_COMMON_PICTURES%",
    "%CSIDL_COMMON_VIDEO%",
    "%CSIDL_RESOURCES%",
    "%CSIDL_RESOURCES_LOCALIZED%",
    "%CSIDL_COMMON_OEM_LINKS%",
    "%CSIDL_CDBURN_AREA%",
    "%%",
    "%CSIDL_COMPUTERSNEARME%",
};

constexpr int MyDocumentsId = 12;
constexpr int PersonalId = 5;
// The shell's buffer holds MAX_PATH characters; the part after a placeholder
// is bounded the same way, and a longer one is refused.
constexpr std::size_t MaxPathRest = 260;

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// "C:" or "\\server\share"; empty for any other text.
std::string DriveOf(const std::string& text) {
    if (text.size() >= 2 && IsAsciiLetter(text[0]) && text[1] == ':')
        return text.substr(0, 2);
    if (text.size() >= 2 && text[0] == '\\' && text[1] == '\\') {
        const std::size_t serverEnd = text.find('\\', 2);
        if (serverEnd == std::string::npos || serverEnd == 2)
            return {};
        std::size_t shareEnd = text.find('\\', serverEnd + 1);
        if (shareEnd == std::string::npos)
            shareEnd = text.size();
        if (shareEnd == serverEnd + 1)
            return {};
        return text.substr(0, shareEnd);
    }
    return {};
}

// The separator to append: backslash for Windows-shaped texts, else the
// system's own.
char DelimiterFor(const std::string& text) {
    const char delim = platform::PathDelimiter();
    if (delim == '\\' || !DriveOf(text).empty())
        return '\\';
    if (text.find('\\') != std::string::npos && text.find(delim) == std::string::npos)
        return '\\';
    return delim;
}

std::string StripDelimiters(std::string path) {
    while (path.size() > 1 && IsPathDelimiter(path.back()))
        path.pop_back();
    return path;
}

} // namespace

bool IsPathDelimiter(char c) {
    return c == '\\' || c == platform::PathDelimiter();
}

bool DirectoryExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(path, ec);
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    const auto st = std::filesystem::status(path, ec);
    return !path.empty() && !ec && std::filesystem::exists(st) &&
           !std::filesystem::is_directory(st);
}

bool ForceDirectories(const std::string& path) {
    std::error_code ec;
    return ForceDirectories(path, ec);
}

bool ForceDirectories(const std::string& path, std::error_code& ec) {
    ec.clear();
    if (path.empty()) {
        ec = std::make_error_code(std::errc::no_such_file_or_directory);
        return false;
    }
    std::filesystem::create_directories(StripDelimiters(path), ec);
    if (DirectoryExists(path))
        return true;
    if (!ec)
        ec = std::make_error_code(std::errc::not_a_directory);
    return false;
}

std::string ExtractFilePath(const std::string& path) {
    for (std::size_t i = path.size(); i > 0; --i)
        if (IsPathDelimiter(path[i - 1]))
            return path.substr(0, i);
    const std::string drive = DriveOf(path);
    return drive.size() == 2 ? drive : std::string();
}

const std::string& ShellFolderName(int id) {
    return ShellFolderNames.at(static_cast<std::size_t>(id - ShellFolderIdMin));
}

int ShellFolderIdFromName(const std::string& placeholder) {
    for (int id = ShellFolderIdMin; id <= ShellFolderIdMax; ++id)
        if (SameText(ShellFolderName(id), placeholder))
            return id;
    throw Exception(placeholder + " is not a valid shellfoldername !");
}

TShellFolderPath GetShellFolderPath(int id, bool create) {
    if (id < ShellFolderIdMin || id > ShellFolderIdMax)
        throw Exception(std::to_string(id) + " is not a valid shellfolder identifier !");
    std::string result;
    uint32_t resultCode = 0;
    std::string detail;
    if (id == ShellFolderIdMin) {
        result = StripTrailingBackslash(platform::GetTempFolder());
    } else {
        platform::TShellFolderResult r = platform::GetShellFolder(id, create);
        result = std::move(r.Path);
        resultCode = r.ResultCode;
        detail = std::move(r.Detail);
    }
    if (result.empty() && id == MyDocumentsId)
        return GetShellFolderPath(PersonalId, create);
    if (result.empty()) {
        char code[16];
        std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(resultCode));
        // The shell's own text, then the folder and the system's reason where
        // the system tells them: the code alone names no path a user can fix.
        throw ESHGetFolderPath("Can not find path specified by CSIDL constant: " +
                               ShellFolderName(id) + ". SHGetFolderPath HRESULT: 0x" + code +
                               (detail.empty() ? std::string() : " (" + detail + ")"));
    }
    return result;
}

TShellFolderPath ResolveFolder(const TShellFolderPath& path, bool create, bool addBackslash,
                               bool capitalize) {
    std::string result = path;
    const std::string drive = DriveOf(path);
    std::string root;
    if (!drive.empty())
        root = drive + '\\';
    else if (platform::IsRootedSystemPath(path))
        root = std::string(1, platform::PathDelimiter());
    std::size_t second = std::string::npos;
    if (!root.empty() && DirectoryExists(root)) {
        if (create && !FileExists(path))
            ForceDirectories(path);
    } else if (path.size() > 1 && path[0] == '%' &&
               (second = path.find('%', 1)) != std::string::npos) {
        const std::string placeholder = path.substr(0, second + 1);
        const std::string base = GetShellFolderPath(ShellFolderIdFromName(placeholder), create);
        std::string rest = path.substr(second + 1);
        // Cut short, the rest would name another folder (".../Quo").
        if (rest.size() > MaxPathRest)
            throw Exception(path + " is not a valid path: more than " +
                            std::to_string(MaxPathRest) + " characters follow the shell folder !");
        if (!rest.empty() && IsPathDelimiter(rest[0]))
            rest.erase(0, 1);
        // Templates are written with backslashes; below a folder of a system
        // with another separator they mean that separator.
        if (platform::PathDelimiter() != '\\' && DriveOf(base).empty())
            for (char& c : rest)
                if (c == '\\')
                    c = platform::PathDelimiter();
        result = StripTrailingBackslash(AddTrailingBackslash(base) + rest);
        if (create && !result.empty() && !FileExists(result))
            ForceDirectories(result);
    }
    if (addBackslash)
        result = AddTrailingBackslash(result);
    // Re-casing is only harmless where file names ignore case; elsewhere the
    // capitalised text would name another, missing directory.
    if (capitalize && platform::FileNamesCaseInsensitive())
        result = CapitalizePath(result, true);
    return result;
}

std::string StripTrailingBackslash(const std::string& text) {
    if (text.empty())
        return text;
    const std::string drive = DriveOf(text);
    if (!drive.empty() && drive.size() == text.size())
        return text + '\\';
    if (!drive.empty() && text.size() == drive.size() + 1 && IsPathDelimiter(text.back()))
        return text;
    // The root of a system whose separator is not the backslash stays a root.
    if (text.size() == 1 && text[0] == platform::PathDelimiter() && text[0] != '\\')
        return text;
    if (IsPathDelimiter(text.back()))
        return text.substr(0, text.size() - 1);
    return text;
}

std::string AddTrailingBackslash(const std::string& text) {
    if (text.empty() || IsPathDelimiter(text.back()))
        return text;
    return text + DelimiterFor(text);
}

std::string CapitalizePath(const std::string& text, bool includeBlank) {
    if (text.find(":/") != std::string::npos)
        return text;
    std::string separators = ".,;-+*/?=()&!\\<>:_\"{|}[]%";
    if (includeBlank)
        separators.insert(separators.begin(), ' ');
    std::string result = text;
    for (std::size_t i = 0; i < result.size(); ++i) {
        const bool wordStart = i == 0 || separators.find(text[i - 1]) != std::string::npos;
        result[i] = wordStart ? UpperAscii(text[i]) : LowerAscii(text[i]);
    }
    const std::size_t dot = result.rfind('.');
    std::size_t lastDelim = std::string::npos;
    for (std::size_t i = result.size(); i > 0; --i)
        if (IsPathDelimiter(result[i - 1]) || result[i - 1] == ':') {
            lastDelim = i - 1;
            break;
        }
    if (dot != std::string::npos && (lastDelim == std::string::npos || dot > lastDelim))
        for (std::size_t i = dot; i < result.size(); ++i)
            result[i] = LowerAscii(result[i]);
    return result;
}
