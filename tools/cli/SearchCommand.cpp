#include "SearchCommand.h"

#include "CliOutput.h"
#include "WatchCommand.h"
#include "platform/FileAppend.h"
#include "utils/KavenLog.h"
#include "utils/uUtilsConvert.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <optional>

namespace {

constexpr const char* SearchPrefix = "quorvet-cli search: ";

} // namespace

CLI::App& AddSearchCommand(CLI::App& app, TSearchCommandOptions& options) {
    CLI::App& search =
        *app.add_subcommand("search", "Broadcast the discovery query on every network adapter and\n"
                                      "list the devices that answer.");
    AddSearchOptions(search, options.Search);
    CLI::Option* json =
        search.add_flag("--json", options.Json, "print a JSON array, one object per device");
    search
        .add_flag("--csv", options.Csv,
                  "print CSV (RFC 4180, UTF-8): a header row with the fields\n"
                  "of --json, then one row per device")
        ->excludes(json);
    search
        .add_flag("--stream", options.Stream,
                  "print each device as soon as it is read: one JSON object\n"
                  "per line (the fields of --json), no table or array at the end")
        ->excludes(json)
        ->excludes("--csv");
    search.add_flag("--trace", options.Trace,
                    "write every datagram sent and received to standard error,\n"
                    "one line each: ms since the start, what the search made of\n"
                    "it (sent, reply, repeat, stray, late, skipped), adapter,\n"
                    "peer, length and first bytes");
    search.add_flag("--sequential", options.Sequential,
                    "search adapter after adapter instead of on all adapters\n"
                    "at once (same result, slower; for comparison)");
    search
        .add_option("--log", options.LogFile,
                    "append the search's progress and device list to FILE\n"
                    "(timestamped lines; the file is created when missing;\n"
                    "a folder, pipe, device or unwritable file is refused)")
        ->type_name("FILE");
    search
        .add_option_function<std::string>(
            "--log-mask",
            [&options](const std::string& value) {
                const std::optional<int> mask = StrToIntOpt(value);
                if (!mask || *mask < 0 || *mask > 255)
                    throw cmdline::TUsageError("--log-mask takes a number from 0 to 255");
                options.LogMask = *mask;
            },
            "category mask of the log (default 16: the device list\n"
            "and the reads; 0 leaves them out)")
        ->type_name("N");
    search
        .add_option_function<std::string>(
            "--watch",
            [&options](const std::string& value) {
                const std::optional<int> seconds = StrToIntOpt(value);
                if (!seconds || *seconds < MinWatchSeconds || *seconds > MaxWatchSeconds)
                    throw cmdline::TUsageError("--watch takes a number of seconds from " +
                                               std::to_string(MinWatchSeconds) + " to " +
                                               std::to_string(MaxWatchSeconds));
                options.Watch = *seconds;
            },
            WatchOptionHelp())
        ->type_name("N")
        ->excludes("--csv")
        ->excludes("--stream");
    search.add_flag("--real-network", options.RealNetwork,
                    "search outside the private test network (see below)");
    return search;
}

bool PrepareSearchEngine(TXportSearch& engine, const TSearchCommandOptions& options,
                         std::optional<TEventLog>& log, std::ostream& out, std::ostream& err) {
    engine.Sequential = options.Sequential;
    // The only place the program creates a log: asked for on the command line.
    if (!options.LogFile.empty()) {
        // A log that cannot be written is refused before the search, not
        // found missing afterwards.
        const std::string problem = platform::AppendTargetProblem(options.LogFile);
        if (!problem.empty()) {
            err << SearchPrefix << "cannot append to the log file " << options.LogFile << ": "
                << problem << "\n";
            return false;
        }
        log.emplace(options.LogFile, true, static_cast<std::uint8_t>(options.LogMask));
        engine.Log = &*log;
    }
    if (options.Stream)
        engine.OnDevice = [&out](const TXportPar& d) {
            const std::string array = DeviceJson({d}); // "[\n  {...}\n]\n"
            out << array.substr(4, array.size() - 7) << "\n" << std::flush;
        };
    if (options.Trace)
        engine.OnTrace = [&err](const TXportSearch::TTraceEvent& event) {
            err << TraceLine(event) << "\n";
        };
    engine.OnLimit = [&err, &engine](const std::string& adapter) {
        err << "Warning: device limit of " << engine.MaxEntriesPerAdapter << " reached on adapter "
            << adapter << ": further devices were ignored.\n";
    };
    return true;
}

bool SearchLogComplete(const std::optional<TEventLog>& log, const TSearchCommandOptions& options,
                       std::ostream& err) {
    if (log && log->LostLines() > 0) {
        err << SearchPrefix << log->LostLines() << " line(s) could not be written to the log file "
            << options.LogFile << ".\n";
        return false;
    }
    return true;
}

int RunSearchCommand(const TSearchCommandOptions& options, std::ostream& out, std::ostream& err) {
    if (options.Watch > 0)
        return RunSearchWatch(options, out, err);
    TXportSearch engine;
    std::optional<TEventLog> log;
    if (!PrepareSearchEngine(engine, options, log, out, err))
        return ExitFailed;
    try {
        ConfigureSearch(engine, options.Search);
        engine.Search();
    } catch (const std::exception& e) {
        err << e.what() << "\n";
        return ExitFailed;
    }
    if (!options.Stream)
        out << (options.Json  ? DeviceJson(engine.Devices())
                : options.Csv ? DeviceCsv(engine.Devices())
                              : DeviceTable(engine.Devices()));
    return SearchLogComplete(log, options, err) ? ExitDone : ExitFailed;
}
