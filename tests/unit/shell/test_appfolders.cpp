#include "ShellSandbox.h"
#include "base/uErrors.h"
#include "platform/UserSettingsStore.h"
#include "shell/uShellFolders.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>

namespace af = uApplicationFolders;
using ::testing::StartsWith;

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Files a writability probe may have left: "test.txt" or one of its own
// "test-XXXXXX.txt".
std::vector<std::string> ProbesUnder(const std::string& dir) {
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (name.rfind("test", 0) == 0 && name.size() >= 8 &&
            name.compare(name.size() - 4, 4, ".txt") == 0)
            found.push_back(e.path());
    }
    return found;
}

// Every entry below dir with its content (links: their target text).
std::map<std::string, std::string> Snapshot(const std::string& dir) {
    std::map<std::string, std::string> entries;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) {
        if (e.is_symlink())
            entries[e.path()] = "-> " + std::filesystem::read_symlink(e.path()).string();
        else if (e.is_regular_file())
            entries[e.path()] = ReadFile(e.path());
        else
            entries[e.path()] = "<dir>";
    }
    return entries;
}

} // namespace

using IdentityTest = ShellSandbox;

TEST_F(IdentityTest, BuiltInIdentityWithoutSettingsFile) {
    af::InitIdentity();
    EXPECT_EQ(af::IniFileName(), bin + "/Quorvet.ini");
    EXPECT_EQ(af::Company(), "KAVEN");
    EXPECT_EQ(af::CompanyLong(), "KAVENTA");
    EXPECT_EQ(af::AppName(), "Quorvet");
    EXPECT_EQ(af::AppNameLong(), "Quorvet utility");
    EXPECT_EQ(af::Splash1(), "Quorvet utility");
    EXPECT_EQ(af::Splash2(), "KAVEN");
    EXPECT_EQ(af::VendorFolderName(), "KavenLoggers");
    EXPECT_EQ(af::RegistryKeyPath(), "\\Software\\KavenLoggers\\Quorvet");
}

TEST_F(IdentityTest, CompanyDecidesTheVendorFolderOnlyWhenItIsAUsableName) {
    const std::pair<std::string, std::string> cases[] = {
        {"Kaven", "KavenLoggers"},
        {"kAVEN", "KavenLoggers"},
        {"Acme Ltd", "Acme Ltd"},
        {std::string(255, 'x'), std::string(255, 'x')},
        {std::string(256, 'x'), "KavenLoggers"},
        {"Ac?me", "KavenLoggers"},
        {"Ac:me", "KavenLoggers"},
        {"a/b", "KavenLoggers"},
        {"", "KavenLoggers"},
        {"..", "KavenLoggers"},
        {std::string("Ac\0me", 5), "KavenLoggers"},
    };
    for (const auto& [company, vendor] : cases) {
        WriteIni("[label]\ncompany=" + company + "\n");
        af::InitIdentity();
        EXPECT_EQ(af::Company(), company);
        EXPECT_EQ(af::VendorFolderName(), vendor) << company;
        EXPECT_EQ(af::RegistryKeyPath(), "\\Software\\KavenLoggers\\Quorvet");
    }
}

TEST_F(IdentityTest, SplashAndNameDefaultsWithAFile) {
    WriteIni("[LABEL]\nCompany=Acme\nAppNameLong=Acme tool\n[splash]\n");
    af::InitIdentity();
    EXPECT_EQ(af::AppNameLong(), "Acme tool");
    EXPECT_EQ(af::Splash1(), "Quorvet utility");
    EXPECT_EQ(af::Splash2(), "Acme"); // follows the company just read
    EXPECT_EQ(af::CompanyLong(), "KAVENTA");

    WriteIni("[splash]\n1=One\n2=Two\n");
    af::InitIdentity();
    EXPECT_EQ(af::Splash1(), "One");
    EXPECT_EQ(af::Splash2(), "Two");
    EXPECT_EQ(af::Company(), "KAVEN");
}

TEST_F(IdentityTest, SettingsFileIsLookedForBesideTheProgramThenInTheSettingsFolders) {
    namespace id = uApplicationSpecifical;
    const std::string user = home + "/.config/KavenLoggers/Quorvet.ini";
    const std::string machineA = root + "/xdg-a/KavenLoggers/Quorvet.ini";
    const std::string machineB = machineConfig + "/KavenLoggers/Quorvet.ini";
    SetEnv("XDG_CONFIG_DIRS", root + "/xdg-a:relative/ignored:" + machineConfig);

    // None anywhere: the place beside the program, from which nothing is read.
    EXPECT_EQ(id::FindSettingsFile(), bin + "/Quorvet.ini");

    WriteFile(machineB, "[label]\nappnamelong=Machine B\n");
    EXPECT_EQ(id::FindSettingsFile(), machineB);
    WriteFile(machineA, "[label]\nappnamelong=Machine A\n");
    EXPECT_EQ(id::FindSettingsFile(), machineA);
    WriteFile(user, "[label]\nappnamelong=User\n");
    EXPECT_EQ(id::FindSettingsFile(), user);
    af::InitIdentity();
    EXPECT_EQ(af::IniFileName(), user);
    EXPECT_EQ(af::AppNameLong(), "User");
    // XDG_CONFIG_HOME moves the user's file.
    SetEnv("XDG_CONFIG_HOME", root + "/cfg");
    EXPECT_EQ(id::FindSettingsFile(), machineA);
    WriteFile(root + "/cfg/KavenLoggers/Quorvet.ini", "");
    EXPECT_EQ(id::FindSettingsFile(), root + "/cfg/KavenLoggers/Quorvet.ini");

    // The file beside the program comes first (the Windows layout).
    WriteIni("[label]\nappnamelong=Beside\n");
    af::InitIdentity();
    EXPECT_EQ(af::IniFileName(), bin + "/Quorvet.ini");
    EXPECT_EQ(af::AppNameLong(), "Beside");

    // The folder name is fixed: a company named in a file does not move it.
    std::filesystem::remove(bin + "/Quorvet.ini");
    std::filesystem::remove_all(root + "/cfg");
    WriteFile(machineA, "[label]\ncompany=Acme\n");
    af::InitIdentity();
    EXPECT_EQ(af::IniFileName(), machineA);
    EXPECT_EQ(af::VendorFolderName(), "Acme");
}

TEST_F(IdentityTest, SettingsFolderWithoutAPlainFileIsPassedOver) {
    // A pipe would block the start for ever, a folder is no file.
    std::filesystem::create_directories(home + "/.config/KavenLoggers");
    ASSERT_EQ(mkfifo((home + "/.config/KavenLoggers/Quorvet.ini").c_str(), 0600), 0);
    std::filesystem::create_directories(machineConfig + "/KavenLoggers/Quorvet.ini");
    EXPECT_EQ(uApplicationSpecifical::FindSettingsFile(), bin + "/Quorvet.ini");
    // An empty or unset list means /etc/xdg; relative entries are ignored.
    SetEnv("XDG_CONFIG_DIRS", "relative:also/relative");
    const std::string found = uApplicationSpecifical::FindSettingsFile();
    EXPECT_TRUE(found == bin + "/Quorvet.ini" || found.rfind("/etc/xdg/", 0) == 0) << found;
    EXPECT_EQ(found.find("relative"), std::string::npos);
}

TEST_F(IdentityTest, SettingsFileThatIsNoPlainFileIsNotRead) {
    // Opening a pipe for reading would wait for a writer for ever.
    ASSERT_EQ(mkfifo((bin + "/Quorvet.ini").c_str(), 0600), 0);
    af::InitIdentity();
    EXPECT_EQ(af::AppNameLong(), "Quorvet utility");
}

using AppFoldersTest = ShellSandbox;

TEST_F(AppFoldersTest, FoldersUnderTheSharedAndPerUserFolders) {
    // The shared folder as an installer makes it.
    std::filesystem::create_directories(shared + "/KavenLoggers/Quorvet");
    af::SetAppFolders();
    EXPECT_EQ(af::DataFolder(), shared + "/KavenLoggers/Quorvet/");
    EXPECT_EQ(af::LocalFolder(), home + "/.local/share/KavenLoggers/Quorvet/");
    EXPECT_EQ(af::DocumentsFolder(), home + "/Documents/KavenLoggers/Quorvet/");
    EXPECT_EQ(af::FilesFolder(), af::DocumentsFolder());
    EXPECT_EQ(af::ExeFolder(), bin + "/");
    EXPECT_EQ(af::DatabaseFolder(), af::DataFolder() + "NxDatabase/");
    for (const std::string& d : {af::DataFolder(), af::LocalFolder(), af::DocumentsFolder()})
        EXPECT_TRUE(IsDir(d)) << d;
    EXPECT_FALSE(IsDir(af::DatabaseFolder()));
    EXPECT_TRUE(ProbesUnder(root).empty());
    // The store is created, and nothing is written into it.
    const std::string store = home + "/.config/KavenLoggers/Quorvet.conf";
    EXPECT_TRUE(std::filesystem::is_regular_file(store));
    EXPECT_EQ(ReadFile(store), "");
}

TEST_F(AppFoldersTest, ConfiguredNamesAndStoredFilesFolder) {
    WriteIni("[label]\ncompany=Acme\nappname=../../escape\n");
    std::filesystem::create_directories(shared + "/Acme/Quorvet");
    const std::string store = home + "/.config/KavenLoggers/Quorvet.conf";
    WriteFile(store, "[General]\nFolder=/wrong\n[files]\nfolder=/data/My Files\n");
    af::SetAppFolders();
    EXPECT_EQ(af::AppName(), "../../escape");
    // The unusable application name does not move the folders.
    EXPECT_EQ(af::DataFolder(), shared + "/Acme/Quorvet/");
    EXPECT_EQ(af::DocumentsFolder(), home + "/Documents/Acme/Quorvet/");
    EXPECT_FALSE(std::filesystem::exists(root + "/escape"));
    EXPECT_EQ(af::FilesFolder(), "/data/My Files");
    EXPECT_EQ(ReadFile(store), "[General]\nFolder=/wrong\n[files]\nfolder=/data/My Files\n");
}

TEST_F(AppFoldersTest, StoreWritesItsOwnValuesAndLeavesTheFilesFolderAlone) {
    const std::string store = home + "/.config/KavenLoggers/Quorvet.conf";
    const std::string before = "[files]\r\nfolder=C:\\Data, \"2024\"\r\n";
    WriteFile(store, before);
    auto settings = platform::TUserSettingsStore::OpenOrCreate("\\Software\\KavenLoggers\\Quorvet");
    settings->WriteString("UserChoices", "SortColumn", "3");
    settings->WriteString("UserChoices", "SortColumn", "4");
    EXPECT_EQ(settings->ReadString("UserChoices", "SortColumn"), "4");
    EXPECT_EQ(ReadFile(store), before + "[UserChoices]\nSortColumn=4\n");
    EXPECT_FALSE(std::filesystem::exists(store + ".new"));
    // What cannot be stored as one line is refused and changes nothing.
    EXPECT_THROW(settings->WriteString("UserChoices", "SortColumn", "1\n[Files]"), Exception);
    // A store that cannot be replaced fails loudly and stays as it was.
    std::filesystem::create_directories(store + ".new/x");
    EXPECT_THROW(settings->WriteString("UserChoices", "Width", "640"), Exception);
    EXPECT_EQ(settings->ReadString("Files", "Folder"), "C:\\Data, \"2024\"");
    EXPECT_EQ(ReadFile(store), before + "[UserChoices]\nSortColumn=4\n");
}

TEST_F(AppFoldersTest, UnusableSharedFolderFallsBackToTheLocalOne) {
    // Tests run as root, where permission bits stop nothing: a regular file
    // where a folder must go makes the shared folder uncreatable for anyone.
    const std::string blockers[] = {"/KavenLoggers", "/KavenLoggers/Quorvet"};
    for (const std::string& blocker : blockers) {
        std::filesystem::remove_all(shared);
        WriteFile(shared + blocker, "not a folder");
        af::SetAppFolders();
        EXPECT_EQ(af::DataFolder(), home + "/.local/share/KavenLoggers/Quorvet/") << blocker;
        EXPECT_EQ(af::DataFolder(), af::LocalFolder());
        EXPECT_TRUE(IsDir(af::DataFolder()));
        EXPECT_TRUE(ProbesUnder(root).empty());
    }
    // The shared base itself cannot be resolved: also a silent fallback.
    platform::OverrideShellFolder(CommonAppData, shared + "/KavenLoggers/Quorvet/below-a-file");
    af::SetAppFolders();
    EXPECT_EQ(af::DataFolder(), af::LocalFolder());
}

TEST_F(AppFoldersTest, SharedFolderIsUsedOnlyWhenItExists) {
    // Tests run as root, who could make it: the program still does not.
    ASSERT_TRUE(IsDir(shared));
    af::SetAppFolders();
    EXPECT_EQ(af::DataFolder(), af::LocalFolder());
    EXPECT_FALSE(std::filesystem::exists(shared + "/KavenLoggers"));
    EXPECT_TRUE(std::filesystem::is_empty(shared));
    // Made by an installer, and writable: used.
    std::filesystem::create_directories(shared + "/KavenLoggers/Quorvet");
    af::SetAppFolders();
    EXPECT_EQ(af::DataFolder(), shared + "/KavenLoggers/Quorvet/");
}

TEST_F(AppFoldersTest, WritabilityProbeTouchesNothingThatWasThere) {
    EXPECT_TRUE(af::TestFolderWritable(root));
    EXPECT_TRUE(ProbesUnder(root).empty());
    EXPECT_FALSE(af::TestFolderWritable("/proc/self/")); // not writable, even for root
    EXPECT_FALSE(af::TestFolderWritable(root + "/missing/"));
    EXPECT_FALSE(af::TestFolderWritable(""));
    EXPECT_FALSE(af::TestFolderWritable(std::string("a\0b", 3)));

    // Whatever lies in the folder, under the old probe's name or another, a
    // link to a file elsewhere among it, stays as it was.
    const std::string folder = shared + "/KavenLoggers/Quorvet";
    WriteFile(folder + "/test.txt", "a user's notes");
    WriteFile(folder + "/test-000000.txt", "another user's notes");
    WriteFile(root + "/target", "keep");
    std::filesystem::create_symlink(root + "/target", folder + "/test-aaaaaa.txt");
    std::filesystem::create_symlink(root + "/nowhere", folder + "/test-bbbbbb.txt");
    // SetAppFolders makes the per-user folders and the store in the home;
    // outside it nothing may change.
    const auto outsideHome = [this] {
        auto entries = Snapshot(root);
        for (auto it = entries.begin(); it != entries.end();)
            it = it->first.rfind(home, 0) == 0 ? entries.erase(it) : std::next(it);
        return entries;
    };
    const auto before = outsideHome();
    EXPECT_TRUE(af::TestFolderWritable(folder + "/"));
    EXPECT_TRUE(af::TestFolderWritable(folder));
    af::SetAppFolders();
    EXPECT_EQ(af::DataFolder(), folder + "/");
    EXPECT_EQ(outsideHome(), before);
}

TEST_F(AppFoldersTest, FailuresNameTheGuardedSequence) {
    struct Case {
        const char* variable;
        std::string expected;
    };
    const std::string below = root + "/plain-file/below";
    const Case cases[] = {
        // The shell's text, then the folder and the system's reason.
        {"XDG_DATA_HOME", "Error occured in SetAppFolders: Can not find path specified by CSIDL "
                          "constant: %CSIDL_LOCAL_APPDATA%. SHGetFolderPath HRESULT: 0x80070003 (" +
                              below + ": Not a directory)"},
        {"XDG_CONFIG_HOME", "Error occured in SetAppFolders: Failed to create key "
                            "\\Software\\KavenLoggers\\Quorvet (" +
                                below + "/KavenLoggers: Not a directory)"},
    };
    WriteFile(root + "/plain-file", "x");
    for (const Case& c : cases) {
        SetEnv(c.variable, below);
        try {
            af::SetAppFolders();
            ADD_FAILURE() << c.variable;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.expected);
        }
        SetEnv(c.variable, std::nullopt);
    }
    // The data folder's own level cannot be made.
    WriteFile(home + "/.local/share/KavenLoggers", "not a folder");
    try {
        af::SetAppFolders();
        ADD_FAILURE() << "data folder";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Error occured in SetAppFolders: Unable to create directory " +
                                   home + "/.local/share/KavenLoggers/Quorvet/: Not a directory");
    }
}

TEST_F(AppFoldersTest, CompanyNameThatMakesTheFolderPathTooLongIsRefused) {
    // Up to 251 characters the folder keeps the whole name.
    WriteIni("[label]\ncompany=" + std::string(251, 'C') + "\n");
    af::SetAppFolders();
    EXPECT_EQ(af::LocalFolder(), home + "/.local/share/" + std::string(251, 'C') + "/Quorvet/");
    EXPECT_TRUE(IsDir(af::LocalFolder()));
    for (std::size_t n = 252; n <= 255; ++n) {
        const std::string company(n, 'C');
        WriteIni("[label]\ncompany=" + company + "\n");
        try {
            af::SetAppFolders();
            ADD_FAILURE() << n << " characters: " << af::DataFolder();
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), "Error occured in SetAppFolders: %CSIDL_LOCAL_APPDATA%/" +
                                       company +
                                       "/Quorvet is not a valid path: more than 260 "
                                       "characters follow the shell folder !");
        }
        // Nothing was made under a cut name.
        for (const std::string& under : {shared, home + "/.local/share"})
            EXPECT_FALSE(std::filesystem::exists(under + "/" + company)) << n;
    }
}

TEST_F(AppFoldersTest, DocumentsFolderThatCannotBeMadeDoesNotStopStartUp) {
    // Nothing writes there: named all the same, and the start goes on.
    WriteFile(root + "/plain-file", "x");
    WriteFile(home + "/.config/user-dirs.dirs",
              "XDG_DOCUMENTS_DIR=\"" + root + "/plain-file/d\"\n");
    ASSERT_NO_THROW(af::SetAppFolders());
    EXPECT_EQ(af::DocumentsFolder(), root + "/plain-file/d/KavenLoggers/Quorvet/");
    EXPECT_EQ(af::FilesFolder(), af::DocumentsFolder());
    EXPECT_TRUE(IsDir(af::DataFolder()));
    // Its own levels below a usable documents folder: the same.
    std::filesystem::remove(home + "/.config/user-dirs.dirs");
    WriteFile(home + "/Documents/KavenLoggers", "not a folder");
    ASSERT_NO_THROW(af::SetAppFolders());
    EXPECT_EQ(af::DocumentsFolder(), home + "/Documents/KavenLoggers/Quorvet/");
}

TEST(ProgramFile, IsTheRunningProgramUnlessOverridden) {
    const std::string self = platform::ProgramFilePath();
    EXPECT_EQ(std::filesystem::path(self).filename(), "test_shell");
    EXPECT_TRUE(std::filesystem::is_regular_file(self));
    platform::OverrideProgramFilePath("/opt/quorvet/quorvet");
    EXPECT_EQ(platform::ProgramFilePath(), "/opt/quorvet/quorvet");
    platform::OverrideProgramFilePath(std::nullopt);
    EXPECT_EQ(platform::ProgramFilePath(), self);
}
