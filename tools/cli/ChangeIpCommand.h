#pragma once
// quorvet-cli change-ip: the IP change engine from the command line, with a
// search before (the adapter the device answers on, devices that would take
// the address too) and after (whether it answers at its new address).

#include "CliSearch.h"
#include "ipchange/uXPortIPChange.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace CLI {
class App;
}

struct TChangeIpOptions {
    std::string Mac;
    std::string Ip;
    std::string Adapter;
    bool AllAdapters = false;
    bool Arp = false;
    bool Dhcp = false;
    bool Force = false;
    bool NoVerify = false;
    bool RealNetwork = false;
    TSearchOptions Search;
};

// What the command uses besides the engine; tests substitute a scripted
// search.
struct TChangeIpServices {
    // One search of every adapter; raises the search's error.
    std::function<std::vector<TXportPar>()> Search;
    // After sending, searches are repeated until the device answers at its
    // new address or this time has passed (at least one search).
    int VerifyWindowMs = 5000;
    // Pause between two of those searches.
    int VerifyPauseMs = 500;
};

// Adds the subcommand "change-ip" with its options to the program's parser.
CLI::App& AddChangeIpCommand(CLI::App& app, TChangeIpOptions& options);
// After the parser: raises cmdline::TUsageError for missing or conflicting
// options, and completes the rest (a MAC with colons takes hyphens, --dhcp
// sends 0.0.0.0).
void CheckChangeIpOptions(const CLI::App& command, TChangeIpOptions& options);

// Runs one change: the engine's message on out (line breaks as "\n"), its
// cause and every refusal on err, the verification's line on out. Returns
// the exit status (ExitDone, ExitFailed or ExitNotSeen).
int RunChangeIp(const TChangeIpOptions& options, TXPortIPChange& engine,
                const TChangeIpServices& services, std::ostream& out, std::ostream& err);

// The change with the system's services; returns the exit status.
int RunChangeIpCommand(const TChangeIpOptions& options, std::ostream& out, std::ostream& err);
