#include "ShellSandbox.h"
#include "shell/uShellFolders.h"
#include "support/HostileFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::MatchesRegex;

TEST(ShellFolderText, StripTrailingBackslash) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"C:", "C:\\"},
        {"C:\\", "C:\\"},
        {"C:\\a\\", "C:\\a"},
        {"C:\\a", "C:\\a"},
        {"C:\\a\\\\", "C:\\a\\"}, // only the last one goes
        {"\\\\srv\\share", "\\\\srv\\share\\"},
        {"\\\\srv\\share\\", "\\\\srv\\share\\"},
        {"\\\\srv\\share\\dir\\", "\\\\srv\\share\\dir"},
        {"/", "/"}, // the root stays a root
        {"/var/lib/", "/var/lib"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(StripTrailingBackslash(in), out) << in;
}

TEST(ShellFolderText, AddTrailingBackslash) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},           {"C:\\a", "C:\\a\\"},      {"C:\\a\\", "C:\\a\\"},     {"C:", "C:\\"},
        {"a\\b", "a\\b\\"}, {"/var/lib", "/var/lib/"}, {"/var/lib/", "/var/lib/"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(AddTrailingBackslash(in), out) << in;
}

TEST(ShellFolderText, CapitalizePath) {
    struct Case {
        std::string in;
        bool blank;
        std::string out;
    };
    const Case cases[] = {
        {"c:\\program files\\my app\\readme.TXT", true, "C:\\Program Files\\My App\\Readme.txt"},
        {"C:\\Documents and Settings\\All Users\\Application Data\\KavenLoggers\\Quorvet\\", true,
         "C:\\Documents And Settings\\All Users\\Application Data\\Kavenloggers\\Quorvet\\"},
        {"c:\\my app", false, "C:\\My app"},
        {"c:\\docs.OLD\\x\\", true, "C:\\Docs.Old\\X\\"},   // a folder path has no extension
        {"a_b-c(d)e.TAR.GZ", true, "A_B-C(D)E.Tar.gz"},     // only the last extension,
        {"c:\\\xC3\x84hnlich", true, "C:\\\xC3\x84hnlich"}, // multi-byte characters untouched
        {"HTTP://Host/PATH.HTML", true, "HTTP://Host/PATH.HTML"},
        {"x:/", true, "x:/"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CapitalizePath(c.in, c.blank), c.out) << c.in;
}

TEST(ShellFolderNames, TableHasEveryPlaceholderInItsSlot) {
    const std::pair<int, const char*> spots[] = {
        {-1, "%CSIDL_TEMP%"},
        {0, "%CSIDL_DESKTOP%"},
        {5, "%CSIDL_PERSONAL%"},
        {14, "%CSIDL_MYVIDEO%"},
        {16, "%CSIDL_DESKTOPDIRECTORY%"},
        {26, "%CSIDL_APPDATA%"},
        {28, "%CSIDL_LOCAL_APPDATA%"},
        {35, "%CSIDL_COMMON_APPDATA%"},
        {49, "%CSIDL_CONNECTIONS%"},
        {53, "%CSIDL_COMMON_MUSIC%"},
        {59, "%CSIDL_CDBURN_AREA%"},
        {61, "%CSIDL_COMPUTERSNEARME%"},
    };
    for (const auto& [id, name] : spots)
        EXPECT_EQ(ShellFolderName(id), name) << id;
    int unnamed = 0;
    for (int id = ShellFolderIdMin; id <= ShellFolderIdMax; ++id) {
        const std::string& name = ShellFolderName(id);
        if (name == "%%") {
            ++unnamed;
            continue;
        }
        EXPECT_EQ(ShellFolderIdFromName(name), id) << name;
        std::string lower = name;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(ShellFolderIdFromName(lower), id) << lower;
    }
    EXPECT_EQ(unnamed, 5);
    EXPECT_EQ(ShellFolderIdFromName("%%"), 15); // the first unnamed slot
}

TEST(ShellFolderNames, ErrorsCarryTheirMessages) {
    auto messageOf = [](auto&& f) -> std::string {
        try {
            f();
        } catch (const Exception& e) {
            return e.Message();
        }
        return "no error";
    };
    EXPECT_EQ(messageOf([] { ShellFolderIdFromName("%csidl_Nowhere%"); }),
              "%csidl_Nowhere% is not a valid shellfoldername !");
    EXPECT_EQ(messageOf([] { GetShellFolderPath(62, false); }),
              "62 is not a valid shellfolder identifier !");
    EXPECT_EQ(messageOf([] { GetShellFolderPath(-2, false); }),
              "-2 is not a valid shellfolder identifier !");
    EXPECT_EQ(messageOf([] { ResolveFolder("%nope", false, false, false); }), "no error");
}

TEST(ShellFolderNames, FoldersWithoutMeaningFailWithTheShellMessage) {
    for (const char* path : {"%%\\x", "%CSIDL_DRIVES%\\x", "%CSIDL_WINDOWS%"}) {
        try {
            ResolveFolder(path, false, true, true);
            ADD_FAILURE() << path << " resolved";
        } catch (const ESHGetFolderPath& e) {
            const std::string placeholder(path, std::string(path).find('%', 1) + 1);
            EXPECT_THAT(e.Message(),
                        MatchesRegex("Can not find path specified by CSIDL constant: " +
                                     placeholder + "\\. SHGetFolderPath HRESULT: 0x[0-9A-F]{8}"));
        }
    }
}

using ResolveFolderTest = ShellSandbox;

TEST_F(ResolveFolderTest, PathsWithoutPlaceholder) {
    EXPECT_EQ(ResolveFolder("%abc", true, false, true), "%abc");
    EXPECT_EQ(ResolveFolder("", true, false, true), "");
    // A rooted path is kept as written, created when asked, and never re-cased.
    const std::string path = root + "/Abs/Sub Dir";
    EXPECT_EQ(ResolveFolder(path, false, true, true), path + "/");
    EXPECT_FALSE(IsDir(path));
    EXPECT_EQ(ResolveFolder(path, true, true, true), path + "/");
    EXPECT_TRUE(IsDir(path));
}

TEST_F(ResolveFolderTest, PlaceholderExpandsCreatesAndKeepsLetterCase) {
    const std::string upper = ResolveFolder("%CSIDL_LOCAL_APPDATA%\\Acme\\Tool", true, true, true);
    EXPECT_EQ(upper, home + "/.local/share/Acme/Tool/");
    EXPECT_TRUE(IsDir(upper));
    EXPECT_FALSE(IsDir(home + "/.local/share/acme")); // no capitalised twin
    EXPECT_EQ(ResolveFolder("%csidl_local_appdata%/Acme/Tool", false, true, true), upper);
    EXPECT_EQ(ResolveFolder("%CSIDL_TEMP%", false, false, false), root + "/tmp");
    EXPECT_EQ(ResolveFolder("%CSIDL_APPDATA%", false, false, false), home + "/.config");
    // The virtual "my documents" folder falls back to the personal one.
    EXPECT_EQ(GetShellFolderPath(12, false), GetShellFolderPath(5, false));
    EXPECT_EQ(GetShellFolderPath(5, false), home + "/Documents");
}

TEST_F(ResolveFolderTest, DocumentsFolderFollowsUserDirs) {
    WriteFile(home + "/.config/user-dirs.dirs", "# written by xdg-user-dirs-update\n"
                                                "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n"
                                                "XDG_MUSIC_DIR=relative/ignored\n");
    EXPECT_EQ(GetShellFolderPath(5, true), home + "/Dokumente");
    EXPECT_TRUE(IsDir(home + "/Dokumente"));
    EXPECT_EQ(GetShellFolderPath(13, false), home + "/Music");
}

TEST_F(ResolveFolderTest, UserDirsThatIsNoPlainFileLeavesTheDefault) {
    const std::string userDirs = home + "/.config/user-dirs.dirs";
    const std::string line = "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
    std::filesystem::create_directories(home + "/.config");
    auto documents = [] { return GetShellFolderPath(5, false); };

    {
        // Start-up would wait for a writer for ever.
        TFifo fifo(userDirs);
        ASSERT_TRUE(fifo.Created());
        std::string found;
        EXPECT_TRUE(EndsWithin([&] { found = documents(); }, fifo));
        EXPECT_EQ(found, home + "/Documents");
    }
    // Would be read to the end of memory.
    std::filesystem::create_symlink("/dev/zero", userDirs);
    EXPECT_EQ(documents(), home + "/Documents");
    std::filesystem::remove(userDirs);
    std::filesystem::create_directory(userDirs);
    EXPECT_EQ(documents(), home + "/Documents");
    std::filesystem::remove(userDirs);
    // No real user-dirs.dirs is that long; what it says is not taken.
    WriteFile(userDirs, line + std::string(64 * 1024, '#'));
    EXPECT_EQ(documents(), home + "/Documents");
    // The same line in a file of ordinary size is, also through a link.
    WriteFile(home + "/dirs", line + std::string(1000, '#'));
    std::filesystem::remove(userDirs);
    std::filesystem::create_symlink(home + "/dirs", userDirs);
    EXPECT_EQ(documents(), home + "/Dokumente");
}

TEST_F(ResolveFolderTest, TooLongARestIsRefusedNotCut) {
    const std::string base = home + "/.local/share";
    // 260 characters after the placeholder still fit.
    const std::string fits = "/" + std::string(251, 'c') + "/Quorvet";
    ASSERT_EQ(fits.size(), 260u);
    EXPECT_EQ(ResolveFolder("%CSIDL_LOCAL_APPDATA%" + fits, true, true, true), base + fits + "/");
    EXPECT_TRUE(IsDir(base + fits));
    for (std::size_t n = 252; n <= 255; ++n) {
        const std::string path = "%CSIDL_LOCAL_APPDATA%/" + std::string(n, 'c') + "/Quorvet";
        try {
            ResolveFolder(path, true, true, true);
            ADD_FAILURE() << n << " characters resolved";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), path + " is not a valid path: more than 260 characters follow "
                                          "the shell folder !");
        }
        EXPECT_FALSE(std::filesystem::exists(base + "/" + std::string(n, 'c'))) << n;
    }
}
