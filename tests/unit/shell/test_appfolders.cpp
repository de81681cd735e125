#include "ShellSandbox.h"
#include "shell/uShellFolders.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace af = uApplicationFolders;
using ::testing::StartsWith;

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> ProbesUnder(const std::string& dir) {
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
        if (e.path().filename() == "test.txt")
            found.push_back(e.path());
    return found;
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

TEST_F(IdentityTest, SettingsFileThatIsNoPlainFileIsNotRead) {
    // Opening a pipe for reading would wait for a writer for ever.
    ASSERT_EQ(mkfifo((bin + "/Quorvet.ini").c_str(), 0600), 0);
    af::InitIdentity();
    EXPECT_EQ(af::AppNameLong(), "Quorvet utility");
}

using AppFoldersTest = ShellSandbox;

TEST_F(AppFoldersTest, FoldersUnderTheSharedAndPerUserFolders) {
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

TEST_F(AppFoldersTest, WritabilityProbe) {
    EXPECT_TRUE(af::TestFolderWritable(root));
    EXPECT_FALSE(std::filesystem::exists(root + "/test.txt"));
    EXPECT_FALSE(af::TestFolderWritable("/proc/self/")); // not writable, even for root
    EXPECT_FALSE(af::TestFolderWritable(root + "/missing/"));
    EXPECT_FALSE(af::TestFolderWritable(""));
    // A link in the probe's place is not followed: its target stays intact.
    WriteFile(root + "/target", "keep");
    std::filesystem::create_directories(root + "/linked");
    std::filesystem::create_symlink(root + "/target", root + "/linked/test.txt");
    EXPECT_FALSE(af::TestFolderWritable(root + "/linked/"));
    EXPECT_EQ(ReadFile(root + "/target"), "keep");
}

TEST_F(AppFoldersTest, FailuresNameTheGuardedSequence) {
    struct Case {
        const char* variable;
        const char* expected;
    };
    const Case cases[] = {
        {"XDG_DATA_HOME", "Error occured in SetAppFolders: Can not find path specified by CSIDL "
                          "constant: %CSIDL_LOCAL_APPDATA%. SHGetFolderPath HRESULT: 0x80070003"},
        {"XDG_CONFIG_HOME",
         "Error occured in SetAppFolders: Failed to create key \\Software\\KavenLoggers\\Quorvet"},
    };
    WriteFile(root + "/plain-file", "x");
    // The local folder is needed when the shared one is unusable.
    WriteFile(shared + "/KavenLoggers", "not a folder");
    for (const Case& c : cases) {
        SetEnv(c.variable, root + "/plain-file/below");
        try {
            af::SetAppFolders();
            ADD_FAILURE() << c.variable;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.expected);
        }
        SetEnv(c.variable, std::nullopt);
    }
    // Documents folder redirected below a file.
    WriteFile(home + "/.config/user-dirs.dirs",
              "XDG_DOCUMENTS_DIR=\"" + root + "/plain-file/d\"\n");
    try {
        af::SetAppFolders();
        ADD_FAILURE() << "documents";
    } catch (const Exception& e) {
        EXPECT_THAT(e.Message(), StartsWith("Error occured in SetAppFolders: Can not find path "
                                            "specified by CSIDL constant: %CSIDL_PERSONAL%."));
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

TEST(ProgramFile, IsTheRunningProgramUnlessOverridden) {
    const std::string self = platform::ProgramFilePath();
    EXPECT_EQ(std::filesystem::path(self).filename(), "test_shell");
    EXPECT_TRUE(std::filesystem::is_regular_file(self));
    platform::OverrideProgramFilePath("/opt/quorvet/quorvet");
    EXPECT_EQ(platform::ProgramFilePath(), "/opt/quorvet/quorvet");
    platform::OverrideProgramFilePath(std::nullopt);
    EXPECT_EQ(platform::ProgramFilePath(), self);
}
