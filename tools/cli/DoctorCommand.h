#pragma once
// quorvet-cli doctor: read-only checks of this computer for what keeps a
// search from finding devices or an IP change from working, one line each.

#include <optional>
#include <ostream>
#include <string>

namespace CLI {
class App;
}

struct TDoctorOptions {
    std::optional<std::string> Settings; // default: the file the search reads
};

// Adds the subcommand "doctor" with its options to the program's parser.
CLI::App& AddDoctorCommand(CLI::App& app, TDoctorOptions& options);

// Runs the checks and prints one line per result on out. Returns ExitDone
// when no check found a problem, ExitFailed otherwise.
int RunDoctorCommand(const TDoctorOptions& options, std::ostream& out, std::ostream& err);
