#pragma once
// Field diagnostics: read-only checks of this computer for the causes that
// keep a search from finding devices (adapters, reverse-path filter,
// firewall, receive queue) or an IP change from working (ping, ARP table),
// and of the settings file. Each check gives one line: what was found, and
// when it is a problem, what to do. Nothing is sent and nothing is changed.
//
// The checks work on facts (TDiagnosticFacts), gathered from the system by
// GatherFacts; tests give them facts of their own.

#include "base/uFileRead.h"
#include "platform/Adapters.h"
#include "platform/SystemState.h"

#include <optional>
#include <string>
#include <vector>

enum class TCheckStatus {
    Ok,
    Note,    // could not be checked, or worth knowing; not a problem
    Problem, // a cause of missed devices or of a failing IP change
};

struct TCheckResult {
    std::string Name; // the check, e.g. "firewall" (see DiagnosticCheck)
    TCheckStatus Status = TCheckStatus::Ok;
    std::string Text; // what was found, and for a problem what to do
};

// The names of the checks.
namespace DiagnosticCheck {
inline const char* const Adapters = "adapters";
inline const char* const ReversePath = "reverse-path filter";
inline const char* const Firewall = "firewall";
inline const char* const ReceiveQueue = "receive queue";
inline const char* const Ping = "ping";
inline const char* const ArpTable = "ARP table";
inline const char* const Settings = "settings";
} // namespace DiagnosticCheck

struct TAdapterFacts {
    std::string Name;
    std::vector<platform::AdapterAddressRecord> Addresses; // IPv4 with masks
    platform::TLinkState Link;
    std::optional<int> RpFilter; // net.ipv4.conf.NAME.rp_filter
};

enum class TRulesSource { None, Nft, Iptables };

struct TFirewallFacts {
    TRulesSource Source = TRulesSource::None; // None: no ruleset could be read
    std::string Rules;                        // the ruleset as the tool prints it
    std::string Unread; // Source None: why (e.g. "nft and iptables-save are missing")
};

struct TDiagnosticFacts {
    std::string AdapterTableError;       // not empty: the table could not be read
    std::vector<TAdapterFacts> Adapters; // loopback left out
    std::optional<int> RpFilterAll;      // net.ipv4.conf.all.rp_filter; nullopt: no such filter
    std::optional<bool> DefaultRoute;
    std::optional<TFirewallFacts> Firewall; // nullopt: not checked on this system

    bool IcmpSocket = false;                   // this user may open an ICMP socket
    std::optional<std::string> PingGroupRange; // net.ipv4.ping_group_range
    std::string PingProgram;                   // the IP change's fallback; empty: none

    bool MayChangeNeighbourTable = false;

    std::optional<int> RmemMax;             // net.core.rmem_max
    std::optional<int> GrantedReceiveQueue; // what a search socket gets; nullopt: not checked

    std::string SettingsFile; // the file the search reads; empty: none to look for
    TFileRead SettingsRead = TFileRead::Missing;
    std::optional<std::string> ReadTimeout; // [Connection] ReadTimeout as written
};

// The checks, in a fixed order: adapters, reverse-path filter (per adapter),
// firewall, receive queue, ping, ARP table, settings.
std::vector<TCheckResult> RunChecks(const TDiagnosticFacts& facts);

// The facts of this computer, for this process's user. settingsFile is the
// one the search would read (empty: none).
TDiagnosticFacts GatherFacts(const std::string& settingsFile);

// The rules of a ruleset that drop or refuse the discovery query (UDP to
// port 30718) or its replies (from port 30718), or an input chain that drops
// what it does not accept without accepting them; one line each, naming the
// rule or chain. Empty when none.
std::vector<std::string> FirewallDrops(TRulesSource source, const std::string& rules);

// How a search ended, for the hint that names a cause.
enum class TSearchOutcome {
    NoDevice,          // nothing was found
    DetailsUnreadable, // devices were found, but some without their details ("N/A")
};

// The problem most likely behind that outcome, by what the search depends
// on first (or, without one, a note of those checks); nullptr when none of
// the results explains it.
const TCheckResult* MostLikelyCause(const std::vector<TCheckResult>& results,
                                    TSearchOutcome outcome);

// One result as a line: "ok: NAME: TEXT", "note: ...", "problem: ...".
std::string FormatCheckResult(const TCheckResult& result);
