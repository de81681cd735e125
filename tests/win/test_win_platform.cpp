// The Windows services behind the platform layer, run under Wine by
// tests/win/wine-run in a namespace with loopback and one adapter,
// 192.0.2.1/24 (QV_WINE_SANDBOX).

#include "WinTestPaths.h"
#include "base/uErrors.h"
#include "device/uDeviceComm.h"
#include "platform/Icmp.h"
#include "platform/Process.h"
#include "platform/ShellFolders.h"
#include "platform/UserSettingsStore.h"
#include "search/IPInfo.h"
#include "shell/uApplicationFolders.h"
#include "shell/uApplicationSpecifical.h"
#include "shell/uShellFolders.h"
#include "utils/uUtilsWinAPI.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::string Quote(const std::string& s) {
    return "\"" + s + "\"";
}

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(WinProcess, ProgramThatCannotStartRaisesWithQuotedCommandLine) {
    for (const std::string line :
         {"qv-no-such-program-42 --flag", "C:\\nowhere\\qv.exe a", "", "\"\" arg"}) {
        try {
            RunAndWait(line, true, 1000);
            ADD_FAILURE() << "started: " << line;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), "Unable to Create Process \"" + line + "\"");
        }
    }
}

TEST(WinProcess, EndedProcessIsTrueAndTheLimitRunsOut) {
    EXPECT_TRUE(RunAndWait(Quote(SleepProgram()) + " 0", true, 10000));
    EXPECT_TRUE(RunAndWait(Quote(SleepProgram()) + " 0", false, -1));
    const auto start = Clock::now();
    EXPECT_FALSE(RunAndWait(Quote(SleepProgram()) + " 1500", true, 100));
    const long long elapsed = MsSince(start);
    EXPECT_GE(elapsed, 95);
    EXPECT_LT(elapsed, 1400);
}

TEST(WinProcess, ExitStatusOnceEndedWithOutputKeptOrDiscarded) {
    for (auto output : {platform::TProcessOutput::Inherit, platform::TProcessOutput::Discard}) {
        auto process = platform::TProcess::Start(Quote(SleepProgram()) + " 300", true, output);
        ASSERT_NE(process, nullptr);
        EXPECT_EQ(process->Wait(0), platform::TProcessWait::TimedOut);
        EXPECT_EQ(process->ExitStatus(), -1);
        ASSERT_EQ(process->Wait(10000), platform::TProcessWait::Ended);
        EXPECT_EQ(process->ExitStatus(), 3);
    }
    // Every user may use the ICMP library: no ping program to fall back to.
    EXPECT_EQ(platform::SystemPingProgram(), "");
    EXPECT_EQ(platform::OpenPingProgram(SleepProgram()), nullptr);
}

TEST(WinProcess, OutputIsReadAndAProgramPastItsLimitIsStopped) {
    auto r = platform::RunForOutput(Quote(CliProgram()) + " --version", 20000, 1024);
    EXPECT_TRUE(r.Started);
    ASSERT_EQ(r.Wait, platform::TProcessWait::Ended);
    EXPECT_EQ(r.ExitStatus, 0);
    EXPECT_EQ(r.Text.substr(0, 19), "quorvet-cli 1.0.0.0");
    r = platform::RunForOutput(Quote(CliProgram()) + " --version", 20000, 5);
    EXPECT_EQ(r.Text, "quorv"); // bounded: the rest is not wanted
    const auto start = Clock::now();
    r = platform::RunForOutput(Quote(SleepProgram()) + " 5000", 200, 1024);
    EXPECT_EQ(r.Wait, platform::TProcessWait::TimedOut);
    EXPECT_LT(MsSince(start), 4000);
    EXPECT_FALSE(platform::RunForOutput("qv-no-such-program-42", 1000, 1024).Started);
}

TEST(WinFileVersion, VersionResourceOfTheProgramFiles) {
    EXPECT_EQ(TWinAPIUtils::GetFileVersion(platform::ProgramFilePath()), "1.0.0.0");
    EXPECT_EQ(TWinAPIUtils::GetFileVersion(CliProgram()), "1.0.0.0");
    char temp[MAX_PATH + 1] = {};
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    const std::string text =
        std::string(temp) + "qv-version-" + std::to_string(GetCurrentProcessId()) + ".txt";
    std::ofstream(text) << "1.0.0.0\n";
    for (const std::string& path : {SleepProgram(), text, text + ".missing", std::string()})
        EXPECT_EQ(TWinAPIUtils::GetFileVersion(path), "") << path;
    DeleteFileA(text.c_str());
}

class WinSettingsStore : public ::testing::Test {
protected:
    const std::string key =
        "\\Software\\KavenLoggers\\QuorvetTest" + std::to_string(GetCurrentProcessId());
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, key.substr(1).c_str()); }

    void SetFolder(DWORD type, const void* data, DWORD size) {
        HKEY files = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (key.substr(1) + "\\Files").c_str(), 0,
                                  nullptr, 0, KEY_ALL_ACCESS, nullptr, &files, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(files, "Folder", 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
        RegCloseKey(files);
    }
};

TEST_F(WinSettingsStore, WrittenValuesReadBackBesideTheFilesFolder) {
    const char folder[] = "D:\\Measurements\\";
    SetFolder(REG_SZ, folder, sizeof folder);
    auto store = platform::TUserSettingsStore::OpenOrCreate(key);
    store->WriteString("UserChoices", "SortColumn", "3");
    store->WriteString("UserChoices", "SortColumn", "4");
    EXPECT_EQ(store->ReadString("UserChoices", "SortColumn"), "4");
    EXPECT_EQ(store->ReadString("Files", "Folder"), std::string(folder));
    EXPECT_THROW(store->WriteString("UserChoices", "Bad", std::string("a\0b", 3)), Exception);
}

TEST_F(WinSettingsStore, KeyIsCreatedAndFilesFolderRead) {
    auto store = platform::TUserSettingsStore::OpenOrCreate(key);
    HKEY opened = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, key.substr(1).c_str(), 0, KEY_READ, &opened),
              ERROR_SUCCESS);
    RegCloseKey(opened);
    EXPECT_EQ(store->Location(), "HKEY_CURRENT_USER" + key);
    EXPECT_EQ(store->ReadString("Files", "Folder"), std::nullopt);

    const char folder[] = "D:\\Measurements\\";
    SetFolder(REG_SZ, folder, sizeof folder);
    EXPECT_EQ(store->ReadString("Files", "Folder"), std::string(folder));
    EXPECT_EQ(store->ReadString("Files", "Other"), std::nullopt);
    // Stored without its terminating zero, the value still ends where it should.
    SetFolder(REG_SZ, "E:\\x", 4);
    EXPECT_EQ(store->ReadString("Files", "Folder"), std::string("E:\\x"));

    const DWORD number = 7;
    SetFolder(REG_DWORD, &number, sizeof number);
    try {
        store->ReadString("Files", "Folder");
        ADD_FAILURE() << "a number was read as a folder";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Invalid data type for 'Folder'");
    }
}

TEST(WinShellFolders, PlaceholdersResolveToCapitalisedExistingFolders) {
    const std::string local = GetShellFolderPath(28, false);
    ASSERT_FALSE(local.empty());
    EXPECT_EQ(local.substr(1, 2), ":\\") << local;
    EXPECT_TRUE(DirectoryExists(local)) << local;
    EXPECT_FALSE(GetShellFolderPath(-1, false).empty());
    EXPECT_FALSE(GetShellFolderPath(5, true).empty());

    const std::string folder =
        ResolveFolder("%csidl_local_appdata%\\KavenLoggers\\Quorvet Test", true, true, true);
    EXPECT_TRUE(EndsWith(folder, "\\Kavenloggers\\Quorvet Test\\")) << folder;
    EXPECT_EQ(folder, CapitalizePath(folder, true));
    EXPECT_TRUE(DirectoryExists(folder)) << folder;
    // A folder the shell does not give reports the shell's result code.
    try {
        GetShellFolderPath(15, false);
        ADD_FAILURE() << "identifier 15 resolved";
    } catch (const ESHGetFolderPath& e) {
        EXPECT_EQ(e.Message().rfind("Can not find path specified by CSIDL constant: %%. "
                                    "SHGetFolderPath HRESULT: 0x",
                                    0),
                  0u)
            << e.Message();
    }
}

TEST(WinAppFolders, SetAppFoldersMakesTheFoldersAndOpensThePerUserKey) {
    namespace af = uApplicationFolders;
    ASSERT_NO_THROW(af::SetAppFolders());
    EXPECT_EQ(af::VendorFolderName(), "KavenLoggers");
    EXPECT_EQ(af::RegistryKeyPath(), "\\Software\\KavenLoggers\\Quorvet");
    for (const std::string& folder : {af::DataFolder(), af::LocalFolder(), af::DocumentsFolder()}) {
        EXPECT_TRUE(EndsWith(folder, "\\Kavenloggers\\Quorvet\\")) << folder;
        EXPECT_EQ(folder, CapitalizePath(folder, true));
        EXPECT_TRUE(DirectoryExists(folder)) << folder;
        EXPECT_FALSE(FileExists(folder + "test.txt")) << folder;
    }
    EXPECT_EQ(af::FilesFolder(), af::DocumentsFolder());
    EXPECT_EQ(af::ExeFolder(), ExtractFilePath(platform::ProgramFilePath()));
    EXPECT_EQ(af::DatabaseFolder(), af::DataFolder() + "NxDatabase\\");
    EXPECT_EQ(af::IniFileName(), af::ExeFolder() + "Quorvet.ini");
    HKEY key = nullptr;
    EXPECT_EQ(
        RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\KavenLoggers\\Quorvet", 0, KEY_READ, &key),
        ERROR_SUCCESS);
    RegCloseKey(key);
    af::FinalizeAppFolders();
}

TEST(WinAppFolders, WritabilityProbeKeepsWhatWasThereAndLeavesNothing) {
    namespace af = uApplicationFolders;
    const std::string folder = platform::GetTempFolder() + "quorvet-probe-test\\";
    ASSERT_TRUE(ForceDirectories(folder));
    { std::ofstream(folder + "test.txt", std::ios::binary) << "a user's notes"; }
    EXPECT_TRUE(af::TestFolderWritable(folder));
    EXPECT_TRUE(af::TestFolderWritable(folder.substr(0, folder.size() - 1)));
    EXPECT_FALSE(af::TestFolderWritable(folder + "missing\\"));
    std::ifstream in(folder + "test.txt", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "a user's notes");
    in.close();
    // Only the user's file is there: the probe's own went with its handle.
    WIN32_FIND_DATAA found{};
    int files = 0;
    const HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            ++files;
            EXPECT_STREQ(found.cFileName, "test.txt");
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    EXPECT_EQ(files, 1);
    DeleteFileA((folder + "test.txt").c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST(WinAppFolders, SettingsFileLivesBesideTheProgram) {
    // No settings folders of the system's on Windows: the Windows layout.
    EXPECT_TRUE(platform::SettingsFileFolders().empty());
    EXPECT_EQ(uApplicationSpecifical::FindSettingsFile(),
              ExtractFilePath(platform::ProgramFilePath()) + "Quorvet.ini");
}

// A port nobody listens on: bound once, then released.
int ClosedLoopbackPort() {
    TXPort probe;
    probe.BindToAddress("127.0.0.1");
    return probe.LocalPort();
}

TEST(WinSocket, UnreachablePortDoesNotEndTheNextReceive) {
    TXPort link;
    link.BindToAddress("127.0.0.1");
    link.Host = "127.0.0.1";
    link.Port = ClosedLoopbackPort();
    link.SendToHost(XPortInfoRequest);
    std::string peer;
    int port = -1;
    std::string data;
    // Windows would report the port-unreachable answer as a connection reset.
    EXPECT_NO_THROW(data = link.ReceiveDatagram(300, peer, port));
    EXPECT_EQ(data, "");
    EXPECT_EQ(peer, "");

    TXPort device;
    device.BindToAddress("127.0.0.1");
    device.SendTo("reply", "127.0.0.1", link.LocalPort());
    EXPECT_EQ(link.ReceiveDatagram(2000, peer, port), "reply");
    EXPECT_EQ(peer, "127.0.0.1");
    EXPECT_EQ(port, device.LocalPort());
}

TEST(WinSocket, FailuresCarryTheWinsockCodeAndItsText) {
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[] {
             TXPort link;
             link.SendToHost(XPortInfoRequest); // no Host set
         },
         "Socket Error # 10039\r\nDestination address required."},
        {[] {
             TXPort link;
             link.BindToAddress("127.0.0.1");
             link.BufferSize = 100;
             TXPort other;
             other.BindToAddress("127.0.0.1");
             other.SendTo(std::string(101, 'x'), "127.0.0.1", link.LocalPort());
             std::string peer;
             int port = 0;
             link.ReceiveDatagram(2000, peer, port);
         },
         "Socket Error # 10040\r\nMessage too long."},
    };
    for (const auto& [action, message] : cases) {
        try {
            action();
            ADD_FAILURE() << "no error: " << message;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), message);
        }
    }
}

TEST(WinAdapters, TableOfTheSandbox) {
    const char* sandbox = std::getenv("QV_WINE_SANDBOX");
    if (sandbox == nullptr)
        GTEST_SKIP() << "not in the wine-run sandbox";
    // qvu0 with the address, and its veth peer qvu1 without one.
    TIPInfo info;
    ASSERT_EQ(info.AdapterCount(), 2);
    int withAddress = -1;
    for (int i = 0; i < info.AdapterCount(); ++i) {
        const TAdapter& a = info.Adapter(i);
        ASSERT_GE(a.AddressCount(), 1); // Windows always gives a first entry
        EXPECT_EQ(a.HardwareAddressLength, 6);
        EXPECT_EQ(a.HardwareAddress.size(), 17u);
        if (a.IPAddresses[0].Address == sandbox)
            withAddress = i;
        else
            EXPECT_EQ(a.IPAddresses[0].Address, "0.0.0.0");
    }
    ASSERT_GE(withAddress, 0);
    EXPECT_EQ(info.Adapter(withAddress).IPAddresses[0].Mask, "255.255.255.0");
    std::vector<std::string> list;
    GetAdapterAddresses(list);
    std::sort(list.begin(), list.end());
    EXPECT_EQ(list, (std::vector<std::string>{"0.0.0.0", sandbox}));
}

} // namespace
