#pragma once
// What the device list's openers start: the device's web page and its
// configuration console (Telnet), as command lines for the process runner
// (platform/Process.h), which never hands them to a shell.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace devicelist {

// The module's configuration console listens here unless the settings file
// says otherwise ([Device] TelnetPort=).
inline constexpr int kDefaultTelnetPort = 9999;

// "http://IP/" for a dotted IPv4 address; empty for anything else, so that a
// text from the network never becomes a URL of its own making.
std::string WebPageUrl(const std::string& ip);

// The Telnet port of a [Device] TelnetPort value: 1 to 65535 in decimal;
// a missing or bad value gives the default.
int TelnetPortFromValue(const std::optional<std::string>& value);
// The same, read from the settings file (none, or unreadable: the default).
int TelnetPort(const std::string& settingsFile);

// One argument of a command line, quoted (when needed) so that
// platform::SplitCommandLine gives it back unchanged.
std::string QuoteArgument(const std::string& argument);

// What the openers learn from the system; replaced in tests.
struct TOpenerEnvironment {
    // An environment variable; nullopt when unset.
    std::function<std::optional<std::string>(const std::string& name)> Variable;
    // The path of a program found in PATH (or the name itself when it holds
    // a folder and the file is there); nullopt when there is none.
    std::function<std::optional<std::string>(const std::string& name)> FindProgram;
};
TOpenerEnvironment SystemEnvironment();

// The browser command of QUORVET_BROWSER with the URL as its last argument;
// nullopt when the variable is unset or empty (the desktop's browser serves).
std::optional<std::string> BrowserCommand(const std::string& url, const TOpenerEnvironment& env);

enum class TConsoleProblem { None, NoTelnet, NoTerminal };

struct TConsoleCommands {
    TConsoleProblem Problem = TConsoleProblem::None;
    // Tried in this order until one starts.
    std::vector<std::string> CommandLines;
};

// The Telnet client (QUORVET_TELNET, else "telnet" from PATH) for IP and
// port, in a terminal window. Linux: the terminal of QUORVET_TERMINAL (a
// command line the client's is appended to), of $TERMINAL (with -e), then
// x-terminal-emulator and a few common ones, each when installed. Windows:
// telnet.exe is a console program and gets a console window of its own, so
// it is started directly unless QUORVET_TERMINAL names a wrapper.
TConsoleCommands TelnetConsoleCommands(const std::string& ip, int port,
                                       const TOpenerEnvironment& env);

} // namespace devicelist
