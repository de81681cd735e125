// quorvet-cli: runs the core's engines from the command line. One function
// per subcommand; each returns the process exit status.

#include "ChangeIpCommand.h"
#include "CliOutput.h"
#include "CliSearch.h"
#include "search/uXPortSearch.h"
#include "utils/KavenLog.h"
#include "utils/uUtilsConvert.h"

#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

const char* const Usage =
    "Usage: quorvet-cli COMMAND [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  search    Broadcast the discovery query on every network adapter and\n"
    "            list the devices that answer.\n"
    "  change-ip Give a device a new IP address (see 'change-ip --help').\n"
    "\n"
    "Options of search:\n"
    "  --settings FILE  settings file to read ([Connection] ReadTimeout and\n"
    "                   [GlobalTypes] type names); default: Quorvet.ini beside\n"
    "                   this program. A missing file is not an error.\n"
    "  --timeout MS     wait of every receive in milliseconds, overriding the\n"
    "                   settings (0 = do not wait, -1 = 3000 ms; at most 60000)\n"
    "  --json           print a JSON array, one object per device\n"
    "  --sequential     search adapter after adapter instead of on all adapters\n"
    "                   at once (same result, slower; for comparison)\n"
    "  --log FILE       append the search's progress and device list to FILE\n"
    "                   (timestamped lines; the file is created when missing)\n"
    "  --log-mask N     category mask of the log (default 16: the device list\n"
    "                   and the reads; 0 leaves them out)\n"
    "  --real-network   search outside the private test network (see below)\n"
    "  --help           show this text\n"
    "\n"
    "Exit status of every command:\n"
    "  0  done: search completed (also with no device found); change-ip sent its\n"
    "     request or made its ARP-table entry and (unless --no-verify) a search\n"
    "     found the device at its new address\n"
    "  1  failed or refused (search: the message goes to standard error)\n"
    "  2  usage error\n"
    "  3  change-ip: sent, but the device was not seen at its new address\n"
    "\n"
    "Searching sends broadcasts on every adapter of this computer. Outside the\n"
    "private test network (tests/net/qvnet run NETFILE -- ..., which sets\n"
    "QVNET_ID) search refuses to run unless --real-network is given.\n";

int UsageError(const std::string& message) {
    std::cerr << "quorvet-cli: " << message << "\n"
              << "Try 'quorvet-cli --help'.\n";
    return ExitUsage;
}

int CmdSearch(const std::vector<std::string>& args) {
    TSearchOptions searchOptions;
    bool json = false;
    bool realNetwork = false;
    bool sequential = false;
    std::string logFile;
    int logMask = 16;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string error;
        if (TakeSearchOption(args, i, searchOptions, error)) {
            if (!error.empty())
                return UsageError(error);
        } else if (a == "--help" || a == "-h") {
            std::cout << Usage;
            return ExitDone;
        } else if (a == "--json") {
            json = true;
        } else if (a == "--sequential") {
            sequential = true;
        } else if (a == "--real-network") {
            realNetwork = true;
        } else if (a == "--log" || a == "--log-mask") {
            if (i + 1 >= args.size())
                return UsageError(a + " needs a value");
            const std::string& value = args[++i];
            if (a == "--log") {
                logFile = value;
            } else {
                const std::optional<int> mask = StrToIntOpt(value);
                if (!mask || *mask < 0 || *mask > 255)
                    return UsageError("--log-mask takes a number from 0 to 255");
                logMask = *mask;
            }
        } else {
            return UsageError("unknown option '" + a + "'");
        }
    }
    // A developer's stray run must not broadcast on the machine's real
    // interfaces; a technician on a real network says so explicitly.
    const char* testNet = std::getenv("QVNET_ID");
    if (!realNetwork && (!testNet || !*testNet))
        return UsageError("not inside the private test network; add --real-network to search "
                          "the real networks of this computer");
    TXportSearch engine;
    engine.Sequential = sequential;
    // The only place the program creates a log: asked for on the command line.
    std::optional<TEventLog> log;
    if (!logFile.empty()) {
        log.emplace(logFile, true, static_cast<std::uint8_t>(logMask));
        engine.Log = &*log;
    }
    try {
        ConfigureSearch(engine, searchOptions);
        engine.Search();
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return ExitFailed;
    }
    std::cout << (json ? DeviceJson(engine.Devices()) : DeviceTable(engine.Devices()));
    return ExitDone;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return UsageError("no command given");
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << Usage;
        return ExitDone;
    }
    if (command == "search")
        return CmdSearch(args);
    if (command == "change-ip")
        return CmdChangeIp(args, std::cout, std::cerr);
    return UsageError("unknown command '" + command + "'");
}
