#pragma once
// quorvet-cli search: one search of every adapter, printed as a table or as
// JSON, optionally with the engine's log.

#include "CliSearch.h"
#include "utils/KavenLog.h"

#include <optional>
#include <ostream>
#include <string>

namespace CLI {
class App;
}

struct TSearchCommandOptions {
    TSearchOptions Search;
    bool Json = false;
    bool Csv = false;
    bool Stream = false;
    bool Trace = false;
    bool Sequential = false;
    bool RealNetwork = false;
    std::string LogFile;
    int LogMask = 16;
    int Watch = 0; // seconds between searches; 0: search once
};

// Adds the subcommand "search" with its options to the program's parser.
CLI::App& AddSearchCommand(CLI::App& app, TSearchCommandOptions& options);

// Runs the search: the list on out, a failure's message on err. Returns the
// exit status (ExitDone or ExitFailed).
int RunSearchCommand(const TSearchCommandOptions& options, std::ostream& out, std::ostream& err);

// The engine set up as the options say: sequential, the log file (refused
// with a message on err when it cannot be appended to: false), --stream's
// lines on out, --trace's on err, the device limit's warning on err.
bool PrepareSearchEngine(TXportSearch& engine, const TSearchCommandOptions& options,
                         std::optional<TEventLog>& log, std::ostream& out, std::ostream& err);
// False, with a message on err, when lines could not be written to the log.
bool SearchLogComplete(const std::optional<TEventLog>& log, const TSearchCommandOptions& options,
                       std::ostream& err);
