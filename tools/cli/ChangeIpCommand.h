#pragma once
// quorvet-cli change-ip: the IP change engine from the command line.

#include "ipchange/uXPortIPChange.h"

#include <ostream>
#include <string>
#include <vector>

// Exit status for a malformed command line; 0, 1 and 2 are the engine's
// result codes.
inline constexpr int ChangeIpUsageExit = 64;

extern const char* const ChangeIpUsage;

struct TChangeIpOptions {
    std::string Mac;
    std::string Ip;
    std::string Adapter;
    bool AllAdapters = false;
    bool Arp = false;
    bool Dhcp = false;
    bool RealNetwork = false;
    bool Help = false;
};

// Reads the options after "change-ip". Returns an error text, empty when the
// command line is usable.
std::string ParseChangeIpArgs(const std::vector<std::string>& args, TChangeIpOptions& options);

// Runs one change with the given engine, writes its message (line breaks as
// "\n") and returns its result code.
int RunChangeIp(const TChangeIpOptions& options, TXPortIPChange& engine, std::ostream& out);

// The whole subcommand with the system's services; returns the exit status.
// Outside the private test network (no QVNET_ID) it refuses to run unless
// --real-network is given.
int CmdChangeIp(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int CmdChangeIp(const std::vector<std::string>& args, bool insideTestNetwork, std::ostream& out,
                std::ostream& err);
