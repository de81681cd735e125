#include "searchdialog/rules/uDeviceOpeners.h"

#include "base/uIniFile.h"
#include "utils/uUtilsConvert.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace devicelist {

std::string WebPageUrl(const std::string& ip) {
    std::array<std::uint8_t, 4> bytes{};
    if (!IsValidIP(ip) || !IPToBytes(ip, bytes)) {
        return {};
    }
    // Written anew: a browser reads "010" as octal.
    return "http://" + std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." +
           std::to_string(bytes[2]) + "." + std::to_string(bytes[3]) + "/";
}

int TelnetPortFromValue(const std::optional<std::string>& value) {
    if (!value || value->empty() || value->size() > 5) {
        return kDefaultTelnetPort;
    }
    int port = 0;
    for (const char c : *value) {
        if (c < '0' || c > '9') {
            return kDefaultTelnetPort;
        }
        port = port * 10 + (c - '0');
    }
    return port >= 1 && port <= 65535 ? port : kDefaultTelnetPort;
}

int TelnetPort(const std::string& settingsFile) {
    if (settingsFile.empty()) {
        return kDefaultTelnetPort;
    }
    const std::optional<TIniFile> ini = TIniFile::Load(settingsFile);
    return TelnetPortFromValue(ini ? ini->Value("Device", "TelnetPort") : std::nullopt);
}

std::string QuoteArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
        return argument;
    }
    // Backslashes count only before a quote: those are doubled, and so are
    // the ones before the closing quote.
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            out.append(backslashes * 2 + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

namespace {

#ifdef _WIN32
constexpr char kPathSeparator = ';';
#else
constexpr char kPathSeparator = ':';
#endif

bool IsProgramFile(const std::filesystem::path& path) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::is_regular_file(status)) {
        return false;
    }
#ifdef _WIN32
    return true;
#else
    using std::filesystem::perms;
    return (status.permissions() & (perms::owner_exec | perms::group_exec | perms::others_exec)) !=
           perms::none;
#endif
}

std::optional<std::string> FindInPath(const std::string& name) {
    if (name.empty()) {
        return std::nullopt;
    }
    const auto found = [](const std::filesystem::path& p) -> std::optional<std::string> {
        if (IsProgramFile(p)) {
            return p.string();
        }
#ifdef _WIN32
        if (p.extension().empty() && IsProgramFile(std::filesystem::path(p) += ".exe")) {
            return (std::filesystem::path(p) += ".exe").string();
        }
#endif
        return std::nullopt;
    };
    if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos) {
        return found(name);
    }
    std::string dirs;
    if (const char* path = std::getenv("PATH")) {
        dirs = path;
    }
#ifdef _WIN32
    // Where Windows keeps its own programs, also when PATH lost it.
    if (const char* root = std::getenv("SystemRoot")) {
        dirs = std::string(root) + "\\System32;" + dirs;
    }
#endif
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(kPathSeparator, start);
        if (end == std::string::npos) {
            end = dirs.size();
        }
        const std::string dir = dirs.substr(start, end - start);
        if (!dir.empty()) {
            if (auto program = found(std::filesystem::path(dir) / name)) {
                return program;
            }
        }
        start = end + 1;
    }
    return std::nullopt;
}

std::optional<std::string> NonEmptyVariable(const TOpenerEnvironment& env,
                                            const std::string& name) {
    std::optional<std::string> value = env.Variable ? env.Variable(name) : std::nullopt;
    return value && !value->empty() ? value : std::nullopt;
}

} // namespace

TOpenerEnvironment SystemEnvironment() {
    return {.Variable = [](const std::string& name) -> std::optional<std::string> {
                const char* value = std::getenv(name.c_str());
                return value ? std::optional<std::string>(value) : std::nullopt;
            },
            .FindProgram = &FindInPath};
}

std::optional<std::string> BrowserCommand(const std::string& url, const TOpenerEnvironment& env) {
    const std::optional<std::string> browser = NonEmptyVariable(env, "QUORVET_BROWSER");
    if (!browser) {
        return std::nullopt;
    }
    return *browser + " " + QuoteArgument(url);
}

TConsoleCommands TelnetConsoleCommands(const std::string& ip, int port,
                                       const TOpenerEnvironment& env) {
    TConsoleCommands result;
    std::optional<std::string> telnet = NonEmptyVariable(env, "QUORVET_TELNET");
    if (!telnet && env.FindProgram) {
#ifdef _WIN32
        telnet = env.FindProgram("telnet.exe");
#else
        telnet = env.FindProgram("telnet");
#endif
        if (telnet) {
            telnet = QuoteArgument(*telnet);
        }
    }
    if (!telnet) {
        result.Problem = TConsoleProblem::NoTelnet;
        return result;
    }
    const std::string client = *telnet + " " + QuoteArgument(ip) + " " + std::to_string(port);
    if (const auto wrapper = NonEmptyVariable(env, "QUORVET_TERMINAL")) {
        result.CommandLines.push_back(*wrapper + " " + client);
        return result;
    }
#ifdef _WIN32
    result.CommandLines.push_back(client);
#else
    if (const auto terminal = NonEmptyVariable(env, "TERMINAL")) {
        result.CommandLines.push_back(QuoteArgument(*terminal) + " -e " + client);
    }
    // How each runs a program given after it, for those that differ.
    struct TTerminal {
        const char* Name;
        const char* Run;
    };
    static constexpr std::array<TTerminal, 6> terminals = {{{"x-terminal-emulator", "-e"},
                                                            {"gnome-terminal", "--"},
                                                            {"konsole", "-e"},
                                                            {"xfce4-terminal", "-x"},
                                                            {"mate-terminal", "-x"},
                                                            {"xterm", "-e"}}};
    for (const TTerminal& t : terminals) {
        if (const auto path = env.FindProgram ? env.FindProgram(t.Name) : std::nullopt) {
            result.CommandLines.push_back(QuoteArgument(*path) + " " + t.Run + " " + client);
        }
    }
    if (result.CommandLines.empty()) {
        result.Problem = TConsoleProblem::NoTerminal;
    }
#endif
    return result;
}

} // namespace devicelist
