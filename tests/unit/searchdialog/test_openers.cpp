// What the device list's openers would start, against a made-up system.

#include "platform/Process.h"
#include "searchdialog/rules/uDeviceOpeners.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>

using namespace devicelist;

namespace {

struct TFakeSystem {
    std::map<std::string, std::string> Variables;
    std::map<std::string, std::string> Programs; // name -> path

    TOpenerEnvironment Environment() const {
        return {.Variable = [this](const std::string& n) -> std::optional<std::string> {
                    const auto it = Variables.find(n);
                    return it == Variables.end() ? std::nullopt : std::optional(it->second);
                },
                .FindProgram = [this](const std::string& n) -> std::optional<std::string> {
                    const auto it = Programs.find(n);
                    return it == Programs.end() ? std::nullopt : std::optional(it->second);
                }};
    }
};

} // namespace

TEST(DeviceOpeners, WebPageOnlyForAnAddress) {
    EXPECT_EQ(WebPageUrl("10.77.1.10"), "http://10.77.1.10/");
    EXPECT_EQ(WebPageUrl("010.077.001.010"), "http://10.77.1.10/"); // never read as octal
    EXPECT_EQ(WebPageUrl("N/A"), "");
    EXPECT_EQ(WebPageUrl("10.77.1.10/evil"), "");
    EXPECT_EQ(WebPageUrl(""), "");
}

TEST(DeviceOpeners, TelnetPortFromSettings) {
    EXPECT_EQ(TelnetPortFromValue(std::nullopt), 9999);
    EXPECT_EQ(TelnetPortFromValue("23"), 23);
    EXPECT_EQ(TelnetPortFromValue("65535"), 65535);
    for (const char* bad : {"", "0", "65536", "-1", "23x", " 23", "0x17", "999999999999"}) {
        EXPECT_EQ(TelnetPortFromValue(std::string(bad)), 9999) << bad;
    }
    const std::string file = testing::TempDir() + "openers-Quorvet.ini";
    {
        std::ofstream out(file, std::ios::binary);
        out << "[device]\ntelnetport=2323\n";
    }
    EXPECT_EQ(TelnetPort(file), 2323);
    std::remove(file.c_str());
    EXPECT_EQ(TelnetPort(file), 9999); // gone
    EXPECT_EQ(TelnetPort(""), 9999);
}

TEST(DeviceOpeners, QuotedArgumentsSplitBackUnchanged) {
    for (const std::string arg : {"plain", "", "two words", "say \"hi\"", "C:\\Program Files\\x\\",
                                  "a\\\\\"b", "tab\there"}) {
        const auto args = platform::SplitCommandLine("prog " + QuoteArgument(arg) + " next");
        ASSERT_EQ(args.size(), 3u) << arg;
        EXPECT_EQ(args[1], arg);
        EXPECT_EQ(args[2], "next");
    }
    EXPECT_EQ(QuoteArgument("plain"), "plain");
}

TEST(DeviceOpeners, BrowserSeam) {
    TFakeSystem system;
    EXPECT_EQ(BrowserCommand("http://10.77.1.10/", system.Environment()), std::nullopt);
    system.Variables["QUORVET_BROWSER"] = "";
    EXPECT_EQ(BrowserCommand("http://10.77.1.10/", system.Environment()), std::nullopt);
    system.Variables["QUORVET_BROWSER"] = "/opt/fake browser --new";
    EXPECT_EQ(BrowserCommand("http://10.77.1.10/", system.Environment()),
              "/opt/fake browser --new http://10.77.1.10/");
}

TEST(DeviceOpeners, TelnetConsoleNeedsAClient) {
    TFakeSystem system;
    system.Programs["xterm"] = "/usr/bin/xterm";
    const TConsoleCommands none = TelnetConsoleCommands("10.77.1.10", 9999, system.Environment());
    EXPECT_EQ(none.Problem, TConsoleProblem::NoTelnet);
    EXPECT_TRUE(none.CommandLines.empty());
    // A named client and a named wrapper serve without looking further.
    system.Variables["QUORVET_TELNET"] = "/tmp/my telnet";
    system.Variables["QUORVET_TERMINAL"] = "/tmp/term -x";
    const TConsoleCommands named = TelnetConsoleCommands("10.77.1.10", 23, system.Environment());
    EXPECT_EQ(named.Problem, TConsoleProblem::None);
    EXPECT_EQ(named.CommandLines,
              std::vector<std::string>{"/tmp/term -x /tmp/my telnet 10.77.1.10 23"});
}

#ifdef _WIN32
TEST(DeviceOpeners, TelnetConsoleOnWindowsStartsTheClientItself) {
    TFakeSystem system;
    system.Programs["telnet.exe"] = "C:\\Windows\\System32\\telnet.exe";
    const TConsoleCommands c = TelnetConsoleCommands("10.77.1.10", 9999, system.Environment());
    EXPECT_EQ(c.Problem, TConsoleProblem::None);
    EXPECT_EQ(c.CommandLines,
              std::vector<std::string>{"C:\\Windows\\System32\\telnet.exe 10.77.1.10 9999"});
}
#else
TEST(DeviceOpeners, TelnetConsoleInTheUsersTerminal) {
    TFakeSystem system;
    system.Programs["telnet"] = "/usr/bin/telnet";
    EXPECT_EQ(TelnetConsoleCommands("10.77.1.10", 9999, system.Environment()).Problem,
              TConsoleProblem::NoTerminal);
    system.Programs["xterm"] = "/usr/bin/xterm";
    system.Programs["gnome-terminal"] = "/usr/bin/gnome-terminal";
    system.Variables["TERMINAL"] = "/home/u/bin/my term";
    const TConsoleCommands c = TelnetConsoleCommands("10.77.1.10", 9999, system.Environment());
    EXPECT_EQ(c.Problem, TConsoleProblem::None);
    // The user's choice first, then the system's, then the common ones.
    EXPECT_EQ(c.CommandLines, (std::vector<std::string>{
                                  "\"/home/u/bin/my term\" -e /usr/bin/telnet 10.77.1.10 9999",
                                  "/usr/bin/gnome-terminal -- /usr/bin/telnet 10.77.1.10 9999",
                                  "/usr/bin/xterm -e /usr/bin/telnet 10.77.1.10 9999"}));
}
#endif

TEST(DeviceOpeners, FindsProgramsInPath) {
    const TOpenerEnvironment env = SystemEnvironment();
    EXPECT_EQ(env.FindProgram("no-such-program-quorvet"), std::nullopt);
    EXPECT_EQ(env.FindProgram(""), std::nullopt);
#ifndef _WIN32
    EXPECT_EQ(env.FindProgram("/bin/sh"), "/bin/sh");
    EXPECT_NE(env.FindProgram("sh"), std::nullopt);
    EXPECT_EQ(env.FindProgram("/etc/passwd"), std::nullopt); // not a program
#endif
}
