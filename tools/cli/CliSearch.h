#pragma once
// What the subcommands that search share: the exit statuses, the settings
// file and time-out options, and a search configured from them.

#include "CommandLine.h"
#include "search/uXPortSearch.h"

#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

// Exit statuses of every subcommand: the tools' policy, and one of change-ip.
using cmdline::ExitDone;
using cmdline::ExitFailed;
using cmdline::ExitUsage;
inline constexpr int ExitNotSeen = 3; // change-ip: sent, device not seen at its new address

// The test network's runs set QVNET_ID; outside one, the commands that send
// refuse to run unless told --real-network.
bool InsideTestNetwork();

// "Quorvet.ini" beside the program, as the GUI reads it; empty when the
// system cannot tell where the program is (then no settings file is read).
std::string DefaultSettingsFile();

struct TSearchOptions {
    std::optional<std::string> Settings; // default: DefaultSettingsFile()
    std::optional<int> Timeout;          // ReadTimeout override, ms
    std::vector<std::string> Targets;    // --target targets, each checked
};

// Adds "--settings FILE", "--timeout MS" and "--target TARGET" to a command; a
// time-out that is not a number and a target that cannot be searched are
// usage errors.
void AddSearchOptions(CLI::App& command, TSearchOptions& options);

// Reads the settings file and applies the time-out and the targets: those of
// --target, or else the settings file's [Search] Targets=. Raises the
// engine's errors, and Exception for a settings-file target list that cannot
// be searched.
// Whether a search with these options asks targets (--target or the
// settings file's list).
bool SearchHasTargets(const TSearchOptions& options);

void ConfigureSearch(TXportSearch& engine, const TSearchOptions& options);
