// The checks themselves: facts in, one line each out.
#include "diagnostics/uDiagnostics.h"

#include "search/uXPortSearch.h"
#include "utils/uUtilsConvert.h"

#include <algorithm>

namespace {

using namespace DiagnosticCheck;

// Devices on a busy network may take a few hundred ms to answer; a shorter
// wait than this misses them.
constexpr int MinUsefulReadTimeout = 200;
// The link's own wait, which ReadTimeout -1 keeps.
constexpr int LinkDefaultWaitMs = 3000;

TCheckResult Ok(const char* name, std::string text) {
    return {name, TCheckStatus::Ok, std::move(text)};
}
TCheckResult Problem(const char* name, std::string text) {
    return {name, TCheckStatus::Problem, std::move(text)};
}
TCheckResult Note(const char* name, std::string text) {
    return {name, TCheckStatus::Note, std::move(text)};
}

// The addresses an adapter really has (a disconnected adapter on Windows
// lists 0.0.0.0).
std::vector<platform::AdapterAddressRecord> RealAddresses(const TAdapterFacts& adapter) {
    std::vector<platform::AdapterAddressRecord> real;
    for (const auto& a : adapter.Addresses)
        if (!a.Address.empty() && a.Address != "0.0.0.0")
            real.push_back(a);
    return real;
}

std::string AddressList(const std::vector<platform::AdapterAddressRecord>& addresses) {
    std::string text;
    for (const auto& a : addresses)
        text += (text.empty() ? "" : ", ") + a.Address + "/" + a.Mask;
    return text;
}

void CheckAdapters(const TDiagnosticFacts& facts, std::vector<TCheckResult>& out) {
    if (!facts.AdapterTableError.empty()) {
        out.push_back(Problem(Adapters, "the adapter table cannot be read (" +
                                            facts.AdapterTableError +
                                            "): the search cannot run at all"));
        return;
    }
    if (facts.Adapters.empty()) {
        out.push_back(Problem(Adapters, "this computer has only the loopback adapter: there is "
                                        "nothing to search on; connect a network adapter and "
                                        "give it an IPv4 address"));
        return;
    }
    bool anyAddress = false;
    for (const auto& adapter : facts.Adapters) {
        const auto addresses = RealAddresses(adapter);
        anyAddress = anyAddress || !addresses.empty();
        const std::string& n = adapter.Name;
        // An adapter that is off or unplugged is often just not the one in
        // use (the wireless one, a docking port): worth knowing, no fault.
        if (adapter.Link.Known && !adapter.Link.Up)
            out.push_back(Note(Adapters, n +
                                             " is down: it is not searched; if the devices are "
                                             "behind it, switch it on (ip link set " +
                                             n + " up)"));
        else if (adapter.Link.Known && !adapter.Link.Carrier && addresses.empty())
            out.push_back(Note(Adapters, n + " has no link and no IPv4 address: it is not "
                                             "searched; if the devices are behind it, check "
                                             "the cable"));
        else if (adapter.Link.Known && !adapter.Link.Carrier)
            out.push_back(Problem(Adapters, n + " has " + AddressList(addresses) +
                                                " but no link (no cable, or the other end is "
                                                "off): the devices behind it cannot answer; "
                                                "check the cable and the switch"));
        else if (addresses.empty())
            out.push_back(
                Problem(Adapters, n +
                                      " is up but has no IPv4 address: it is not searched; give "
                                      "it an address in the devices' network (e.g. ip addr add "
                                      "192.168.1.10/24 dev " +
                                      n + ") or wait for DHCP"));
        else
            out.push_back(Ok(Adapters, n + " " + AddressList(addresses) +
                                           (adapter.Link.Known ? ", up, link" : "")));
    }
    if (!anyAddress)
        out.push_back(Problem(Adapters, "no adapter has an IPv4 address: the search has nothing "
                                        "to broadcast on"));
}

void CheckReversePath(const TDiagnosticFacts& facts, std::vector<TCheckResult>& out) {
    if (!facts.RpFilterAll)
        return;
    for (const auto& adapter : facts.Adapters) {
        if (!adapter.RpFilter || RealAddresses(adapter).empty())
            continue;
        // The kernel applies the stricter of the two.
        const int mode = std::max(*facts.RpFilterAll, *adapter.RpFilter);
        const std::string& n = adapter.Name;
        const std::string values =
            " (net.ipv4.conf.all.rp_filter=" + std::to_string(*facts.RpFilterAll) +
            ", net.ipv4.conf." + n + ".rp_filter=" + std::to_string(*adapter.RpFilter) + ")";
        const std::string fix = "; to hear it, as root: sysctl -w net.ipv4.conf.all.rp_filter=0 "
                                "net.ipv4.conf." +
                                n + ".rp_filter=0";
        if (mode == 1)
            out.push_back(
                Problem(ReversePath, n + ": strict" + values +
                                         ": the replies of a device on a subnet other than the "
                                         "adapter's are dropped, so it is not listed" +
                                         fix));
        else if (mode >= 2 && facts.DefaultRoute == std::optional<bool>(true))
            out.push_back(Ok(ReversePath, n + ": loose" + values +
                                              " with a default route: a device on another "
                                              "subnet is heard"));
        else if (mode >= 2)
            out.push_back(
                Problem(ReversePath, n + ": loose" + values +
                                         " without a default route: the replies of a device on a "
                                         "subnet other than the adapter's are dropped, so it is "
                                         "not listed" +
                                         fix));
        else
            out.push_back(
                Ok(ReversePath, n + ": off" + values + ": a device on another subnet is heard"));
    }
}

void CheckFirewall(const TDiagnosticFacts& facts, std::vector<TCheckResult>& out) {
    if (!facts.Firewall)
        return;
    const TFirewallFacts& fw = *facts.Firewall;
    if (fw.Source == TRulesSource::None) {
        out.push_back(Note(Firewall, "the rules cannot be read (" + fw.Unread +
                                         "); run doctor as root to check them"));
        return;
    }
    const char* tool = fw.Source == TRulesSource::Nft ? "nftables" : "iptables";
    const auto drops = FirewallDrops(fw.Source, fw.Rules);
    if (drops.empty()) {
        out.push_back(Ok(Firewall, std::string("no ") + tool +
                                       " rule drops the query to UDP port 30718 or its replies"));
        return;
    }
    for (const auto& d : drops)
        out.push_back(Problem(Firewall, std::string(tool) + " " + d +
                                            ": no device is heard; allow UDP from port 30718 "
                                            "(e.g. nft insert rule inet filter input udp sport "
                                            "30718 accept) and UDP to port 30718"));
}

std::string KiB(int bytes) {
    return std::to_string(bytes / 1024) + " KiB";
}

void CheckReceiveQueue(const TDiagnosticFacts& facts, std::vector<TCheckResult>& out) {
    if (!facts.GrantedReceiveQueue)
        return;
    const int granted = *facts.GrantedReceiveQueue;
    const std::string limit =
        facts.RmemMax ? " (net.core.rmem_max=" + std::to_string(*facts.RmemMax) + ")" : "";
    if (granted >= TXportSearch::MinReceiveBufferSize)
        out.push_back(Ok(ReceiveQueue, "a search socket gets " + KiB(granted) + limit));
    else
        out.push_back(
            Problem(ReceiveQueue, "a search socket gets only " + KiB(granted) + limit + " of the " +
                                      KiB(TXportSearch::DefaultReceiveBufferSize) +
                                      " it asks for: replies of more than about 250 devices "
                                      "answering at once may be lost; run as root, or as root: "
                                      "sysctl -w net.core.rmem_max=" +
                                      std::to_string(TXportSearch::DefaultReceiveBufferSize)));
}

void CheckPing(const TDiagnosticFacts& facts, std::vector<TCheckResult>& out) {
    const std::string range = facts.PingGroupRange
                                  ? " (net.ipv4.ping_group_range=\"" + *facts.PingGroupRange + "\")"
                                  : "";
    if (facts.IcmpSocket)
        out.push_back(Ok(Ping, "this user may open an ICMP socket: the IP change can check that "
                               "a new address is free"));
    else if (!facts.PingProgram.empty())
        out.push_back(Ok(Ping, "no ICMP socket for this user" + range +
                                   "; the IP change pings through " + facts.PingProgram));
    else
        out.push_back(Problem(Ping, "this user may open no ICMP socket" + range +
                                        " and there is no ping program: every IP change fails; "
                                        "install the ping program (iputils-ping), or allow the "
                                        "user's group in net.ipv4.ping_group_range"));
}

void CheckArpTable(const TDiagnosticFacts& facts, std::vector<TCheckResult>& out) {
#ifdef _WIN32
    const char* who = "an administrator";
#else
    const char* who = "root (or CAP_NET_ADMIN)";
#endif
    if (facts.MayChangeNeighbourTable)
        out.push_back(Ok(ArpTable, std::string("this user may make ARP-table entries: the "
                                               "ARP-table way of the IP change can be used")));
    else
        out.push_back(Problem(ArpTable, std::string("the ARP-table way of the IP change needs ") +
                                            who + ": it fails for this user; run the program as " +
                                            who + ", or change the address without that way"));
}

void CheckSettings(const TDiagnosticFacts& facts, std::vector<TCheckResult>& out) {
    const std::string builtIn =
        "the built-in ReadTimeout of " + std::to_string(TXportSearch::DefaultReadTimeout) + " ms";
    if (facts.SettingsFile.empty()) {
        out.push_back(Ok(Settings, "no settings file to look for: " + builtIn));
        return;
    }
    const std::string& file = facts.SettingsFile;
    switch (facts.SettingsRead) {
    case TFileRead::Missing:
        out.push_back(Ok(Settings, "no settings file (" + file +
                                       " and the configuration "
                                       "folders): " +
                                       builtIn));
        return;
    case TFileRead::Ok:
        break;
    default:
        out.push_back(Problem(
            Settings, file + " cannot be read (" +
                          (facts.SettingsRead == TFileRead::NotRegular ? "not a regular file"
                           : facts.SettingsRead == TFileRead::TooLarge ? "too large"
                                                                       : "no access") +
                          "): its settings are not used; fix or remove it"));
        return;
    }
    if (!facts.ReadTimeout) {
        out.push_back(Ok(Settings, file + " without [Connection] ReadTimeout: " + builtIn));
        return;
    }
    const std::string& raw = *facts.ReadTimeout;
    const auto value = StrToIntOpt(raw);
    const int wait =
        TXportSearch::EffectiveReadTimeout(value.value_or(TXportSearch::DefaultReadTimeout));
    const std::string fix =
        "; set it to " + std::to_string(TXportSearch::DefaultReadTimeout) + " (ms) or more";
    const std::string what = file + ": [Connection] ReadTimeout=" + raw;
    if (!value)
        out.push_back(Problem(Settings, what + " is no number, so " + builtIn + " is used" + fix));
    else if (wait == 0)
        out.push_back(Problem(Settings, what +
                                            ": the search does not wait for replies and "
                                            "misses devices" +
                                            fix));
    else if (wait > 0 && wait < MinUsefulReadTimeout)
        out.push_back(Problem(Settings, what + ": the search waits only " + std::to_string(wait) +
                                            " ms for replies and misses slow devices" + fix));
    else
        out.push_back(Ok(Settings, what + ": the search waits " +
                                       std::to_string(wait == -1 ? LinkDefaultWaitMs : wait) +
                                       " ms for replies"));
}

} // namespace

std::vector<TCheckResult> RunChecks(const TDiagnosticFacts& facts) {
    std::vector<TCheckResult> out;
    CheckAdapters(facts, out);
    CheckReversePath(facts, out);
    CheckFirewall(facts, out);
    CheckReceiveQueue(facts, out);
    CheckPing(facts, out);
    CheckArpTable(facts, out);
    CheckSettings(facts, out);
    return out;
}

const TCheckResult* MostLikelyCause(const std::vector<TCheckResult>& results,
                                    TSearchOutcome outcome) {
    // What the search needs first comes first: somewhere to broadcast, the
    // replies let in, time to wait for them, room to queue them. The ping
    // and the ARP table never keep a device from being listed.
    static const std::vector<const char*> noDevice = {Adapters, Firewall, ReversePath, Settings,
                                                      ReceiveQueue};
    // Found devices whose details did not come: the exchange after the
    // discovery, which a firewall or a short wait cuts off.
    static const std::vector<const char*> noDetails = {Firewall, Settings, ReceiveQueue};
    // A problem first; else what could not be checked or is worth knowing
    // (a firewall whose rules this user cannot read, an adapter switched off).
    for (const TCheckStatus status : {TCheckStatus::Problem, TCheckStatus::Note})
        for (const char* name : outcome == TSearchOutcome::NoDevice ? noDevice : noDetails)
            for (const auto& r : results)
                if (r.Status == status && r.Name == name)
                    return &r;
    return nullptr;
}

std::string FormatCheckResult(const TCheckResult& result) {
    const char* status = result.Status == TCheckStatus::Ok     ? "ok"
                         : result.Status == TCheckStatus::Note ? "note"
                                                               : "problem";
    return std::string(status) + ": " + result.Name + ": " + result.Text;
}
