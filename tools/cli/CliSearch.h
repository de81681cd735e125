#pragma once
// What the subcommands that search share: the exit statuses, the settings
// file and time-out options, and a search configured from them.

#include "search/uXPortSearch.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// Exit statuses of every subcommand.
inline constexpr int ExitDone = 0;
inline constexpr int ExitFailed = 1;  // failed or refused
inline constexpr int ExitUsage = 2;   // malformed command line
inline constexpr int ExitNotSeen = 3; // change-ip: sent, device not seen at its new address

// "Quorvet.ini" beside the program, as the GUI reads it; empty when the
// system cannot tell where the program is (then no settings file is read).
std::string DefaultSettingsFile();

struct TSearchOptions {
    std::optional<std::string> Settings; // default: DefaultSettingsFile()
    std::optional<int> Timeout;          // ReadTimeout override, ms
};

// Takes "--settings FILE" or "--timeout MS" at args[i], moving i onto the
// value. False when args[i] is neither; error is set when the value is
// missing or not a number.
bool TakeSearchOption(const std::vector<std::string>& args, std::size_t& i, TSearchOptions& options,
                      std::string& error);

// Reads the settings file and applies the time-out; raises the engine's
// errors.
void ConfigureSearch(TXportSearch& engine, const TSearchOptions& options);
