#pragma once
// quorvet-cli search: one search of every adapter, printed as a table or as
// JSON, optionally with the engine's log.

#include "CliSearch.h"

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
};

// Adds the subcommand "search" with its options to the program's parser.
CLI::App& AddSearchCommand(CLI::App& app, TSearchCommandOptions& options);

// Runs the search: the list on out, a failure's message on err. Returns the
// exit status (ExitDone or ExitFailed).
int RunSearchCommand(const TSearchCommandOptions& options, std::ostream& out, std::ostream& err);
