#include "shell/uApplicationSpecifical.h"

#include "base/uIniFile.h"
#include "platform/ProgramFile.h"
#include "platform/ShellFolders.h"
#include "shell/uShellFolders.h"
#include "shell/uShellStrings.h"

#include <filesystem>
#include <system_error>

namespace uApplicationSpecifical {

namespace {

const char* const SettingsFileName = "Quorvet.ini";
// The folder of the settings file in the system's settings folders. Fixed,
// as the registry key is: the company a settings file names cannot decide
// where that file is looked for.
const char* const SettingsVendorFolder = "KavenLoggers";
const char* const BuiltInCompany = "KAVEN";
const char* const BuiltInCompanyLong = "KAVENTA";
const char* const BuiltInAppName = "Quorvet";
// The first splash line's default when the file lacks it is this literal, not
// the (possibly translated) string table text.
const char* const DefaultSplash1 = "Quorvet utility";

struct TIdentity {
    std::string Company = BuiltInCompany;
    std::string CompanyLong = BuiltInCompanyLong;
    std::string AppName = BuiltInAppName;
    std::string AppNameLong = ShellStrings::SAppNameLong;
    std::string Splash1 = ShellStrings::SAppNameLong;
    std::string Splash2 = BuiltInCompany;
    std::string IniFileName;
};

TIdentity& Identity() {
    static TIdentity identity;
    return identity;
}

} // namespace

const std::string& Company() {
    return Identity().Company;
}
const std::string& CompanyLong() {
    return Identity().CompanyLong;
}
const std::string& AppName() {
    return Identity().AppName;
}
const std::string& AppNameLong() {
    return Identity().AppNameLong;
}
const std::string& Splash1() {
    return Identity().Splash1;
}
const std::string& Splash2() {
    return Identity().Splash2;
}
const std::string& IniFileName() {
    return Identity().IniFileName;
}

void ResetIdentity() {
    Identity() = TIdentity();
}

namespace {

// Only a plain file is read: a pipe or device under this name would block
// start-up for ever.
bool IsPlainFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

} // namespace

std::string FindSettingsFile() {
    std::string besideProgram;
    try {
        besideProgram = ExtractFilePath(platform::ProgramFilePath()) + SettingsFileName;
    } catch (const std::exception&) {
        // No program folder: the system's settings folders still count.
    }
    if (IsPlainFile(besideProgram))
        return besideProgram;
    const char delim = platform::PathDelimiter();
    for (const std::string& folder : platform::SettingsFileFolders()) {
        const std::string candidate =
            AddTrailingBackslash(folder) + SettingsVendorFolder + delim + SettingsFileName;
        if (IsPlainFile(candidate))
            return candidate;
    }
    return besideProgram;
}

void ReadIdentity() {
    TIdentity id;
    id.IniFileName = FindSettingsFile();
    if (IsPlainFile(id.IniFileName)) {
        // An unreadable file reads like an empty one: every key takes its default.
        const TIniFile ini = TIniFile::Load(id.IniFileName).value_or(TIniFile::Parse(""));
        id.Company = ini.ReadString("label", "company", BuiltInCompany);
        id.CompanyLong = ini.ReadString("label", "companylong", BuiltInCompanyLong);
        id.AppName = ini.ReadString("label", "appname", BuiltInAppName);
        id.AppNameLong = ini.ReadString("label", "appnamelong", ShellStrings::SAppNameLong);
        id.Splash1 = ini.ReadString("splash", "1", DefaultSplash1);
        id.Splash2 = ini.ReadString("splash", "2", id.Company);
    }
    Identity() = std::move(id);
}

} // namespace uApplicationSpecifical
