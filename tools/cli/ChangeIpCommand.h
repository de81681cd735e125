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

extern const char* const ChangeIpUsage;

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
    bool Help = false;
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

// Reads the options after "change-ip". Returns an error text, empty when the
// command line is usable.
std::string ParseChangeIpArgs(const std::vector<std::string>& args, TChangeIpOptions& options);

// Runs one change: the engine's message on out (line breaks as "\n"), its
// cause and every refusal on err, the verification's line on out. Returns
// the exit status (ExitDone, ExitFailed or ExitNotSeen).
int RunChangeIp(const TChangeIpOptions& options, TXPortIPChange& engine,
                const TChangeIpServices& services, std::ostream& out, std::ostream& err);

// The whole subcommand with the system's services; returns the exit status.
// Outside the private test network (no QVNET_ID) it refuses to run unless
// --real-network is given.
int CmdChangeIp(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int CmdChangeIp(const std::vector<std::string>& args, bool insideTestNetwork, std::ostream& out,
                std::ostream& err);
