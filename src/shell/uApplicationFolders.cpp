#include "shell/uApplicationFolders.h"

#include "base/uAsciiText.h"
#include "base/uErrors.h"
#include "platform/FolderProbe.h"
#include "platform/ProgramFile.h"
#include "platform/ShellFolders.h"
#include "platform/UserSettingsStore.h"
#include "shell/uApplicationSpecifical.h"
#include "shell/uShellFolders.h"

#include <memory>
#include <system_error>

namespace uApplicationFolders {

namespace {

const char* const DefaultVendorFolderName = "KavenLoggers";
const char* const DefaultAppFolderName = "Quorvet";
const char* const FixedRegistryKeyPath = "\\Software\\KavenLoggers\\Quorvet";

struct TFolders {
    std::string AppName, AppNameLong, Splash1, Splash2, Company, CompanyLong, IniFileName;
    std::string VendorFolderName, RegistryKeyPath;
    std::string DataFolder, LocalFolder, DocumentsFolder, FilesFolder, ExeFolder, DatabaseFolder;
};

TFolders& Values() {
    static TFolders values;
    return values;
}

std::unique_ptr<platform::TUserSettingsStore>& Store() {
    static std::unique_ptr<platform::TUserSettingsStore> store;
    return store;
}

// The application's own folder level. The configured name is only used when
// it is one plain folder name: "..", "a/b" or an empty name from a settings
// file must not move the folders elsewhere.
std::string AppFolderName() {
    const std::string& name = Values().AppName;
    return !name.empty() && IsValidFileName(name) ? name : DefaultAppFolderName;
}

std::string Template(const char* placeholder) {
    const char delim = platform::PathDelimiter();
    return std::string(placeholder) + delim + Values().VendorFolderName + delim + AppFolderName();
}

std::string Resolve(const char* placeholder, bool create) {
    return AddTrailingBackslash(ResolveFolder(Template(placeholder), create, true, true));
}

// A folder the rest of the program is told about must exist.
void EnsureDirectory(const std::string& folder) {
    std::error_code ec;
    if (!DirectoryExists(folder) && !ForceDirectories(folder, ec))
        throw Exception("Unable to create directory " + folder + ": " + ec.message());
}

} // namespace

const std::string& AppName() {
    return Values().AppName;
}
const std::string& AppNameLong() {
    return Values().AppNameLong;
}
const std::string& Splash1() {
    return Values().Splash1;
}
const std::string& Splash2() {
    return Values().Splash2;
}
const std::string& Company() {
    return Values().Company;
}
const std::string& CompanyLong() {
    return Values().CompanyLong;
}
const std::string& IniFileName() {
    return Values().IniFileName;
}
const std::string& VendorFolderName() {
    return Values().VendorFolderName;
}
const std::string& RegistryKeyPath() {
    return Values().RegistryKeyPath;
}
const std::string& DataFolder() {
    return Values().DataFolder;
}
const std::string& LocalFolder() {
    return Values().LocalFolder;
}
const std::string& DocumentsFolder() {
    return Values().DocumentsFolder;
}
const std::string& FilesFolder() {
    return Values().FilesFolder;
}
const std::string& ExeFolder() {
    return Values().ExeFolder;
}
const std::string& DatabaseFolder() {
    return Values().DatabaseFolder;
}

platform::TUserSettingsStore* UserSettings() {
    return Store().get();
}

bool IsValidFileName(const std::string& name) {
    if (name.size() > 255 || name == "." || name == "..")
        return false;
    for (char c : name) {
        // Control characters (the zero byte above all) are no part of a name:
        // a zero byte would silently cut the path short.
        if (static_cast<unsigned char>(c) < 0x20)
            return false;
        switch (c) {
        case '"':
        case '*':
        case '/':
        case ':':
        case '<':
        case '>':
        case '?':
        case '\\':
        case '|':
            return false;
        default:
            break;
        }
    }
    return true;
}

void InitIdentity() {
    namespace id = uApplicationSpecifical;
    id::ReadIdentity();
    TFolders& v = Values();
    v.Company = id::Company();
    v.CompanyLong = id::CompanyLong();
    if (UpperAscii(v.Company) == "KAVEN" || v.Company.empty() || !IsValidFileName(v.Company))
        v.VendorFolderName = DefaultVendorFolderName;
    else
        v.VendorFolderName = v.Company;
    v.AppName = id::AppName();
    v.AppNameLong = id::AppNameLong();
    v.Splash1 = id::Splash1();
    v.Splash2 = id::Splash2();
    v.IniFileName = id::IniFileName();
    v.RegistryKeyPath = FixedRegistryKeyPath;
}

bool TestFolderWritable() {
    return TestFolderWritable(Values().DataFolder);
}

bool TestFolderWritable(const std::string& folder) {
    // A file of the probe's own: "test.txt" or any other file somebody keeps
    // in a shared folder is never opened, let alone emptied or deleted.
    return platform::ProbeFolderWritable(folder);
}

void SetAppFolders() {
    try {
        TFolders& v = Values();
        InitIdentity();
        Store() = platform::TUserSettingsStore::OpenOrCreate(v.RegistryKeyPath);

        bool sharedUsable = false;
        try {
            // Where the machine-wide folder is the installer's to make, a
            // program run with the rights to make it (as root) leaves it be.
            const bool create = !platform::MachineFoldersMadeByInstaller();
            v.DataFolder = Resolve("%CSIDL_COMMON_APPDATA%", create);
            if (create && !DirectoryExists(v.DataFolder))
                ForceDirectories(v.DataFolder);
            sharedUsable = DirectoryExists(v.DataFolder) && TestFolderWritable();
        } catch (const std::exception&) {
            sharedUsable = false;
        }
        if (!sharedUsable)
            v.DataFolder = Resolve("%CSIDL_LOCAL_APPDATA%", true);
        EnsureDirectory(v.DataFolder);

        v.LocalFolder = Resolve("%CSIDL_LOCAL_APPDATA%", false);
        EnsureDirectory(v.LocalFolder);

        // Nothing here writes into the documents folder: one that cannot be
        // made is named all the same and does not stop the program.
        try {
            v.DocumentsFolder = Resolve("%CSIDL_PERSONAL%", true);
        } catch (const ESHGetFolderPath&) {
            v.DocumentsFolder = Resolve("%CSIDL_PERSONAL%", false);
        }

        v.FilesFolder = Store()->ReadString("Files", "Folder").value_or(v.DocumentsFolder);
        v.ExeFolder = ExtractFilePath(platform::ProgramFilePath());
        v.DatabaseFolder = v.DataFolder + "NxDatabase" + platform::PathDelimiter();
    } catch (const std::exception& e) {
        throw Exception(std::string("Error occured in SetAppFolders: ") + e.what());
    }
}

void FinalizeAppFolders() {
    Store().reset();
    Values() = TFolders();
}

} // namespace uApplicationFolders
