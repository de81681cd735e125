// The facts of this computer: the adapter table, kernel settings, the
// firewall's ruleset (read with the system's own tools, never changed), and
// what this user may do. Nothing is sent: the ICMP and search sockets are
// only opened.
#include "diagnostics/uDiagnostics.h"

#include "base/uIniFile.h"
#include "platform/Icmp.h"
#include "platform/Process.h"
#include "platform/Socket.h"
#include "search/uXPortSearch.h"
#include "utils/uPing.h"
#include "utils/uUtilsConvert.h"

#include <exception>

namespace {

// A ruleset tool that does not answer within this is given up (it is killed).
constexpr int RulesetWaitMs = 5000;
constexpr std::size_t MaxRulesetBytes = 8 * 1024 * 1024;

std::optional<int> KernelInt(const std::string& key) {
    const auto text = platform::ReadKernelSetting(key);
    if (!text)
        return std::nullopt;
    return StrToIntOpt(*text);
}

#ifndef _WIN32
// The first of "nft list ruleset" and "iptables-save" that runs; the reason
// when neither gives a ruleset (not installed, or not root). Windows keeps
// its firewall elsewhere: not checked there.
TFirewallFacts ReadRuleset() {
    TFirewallFacts facts;
    std::vector<std::string> tried;
    for (const auto& [source, command] : {std::pair{TRulesSource::Nft, "nft list ruleset"},
                                          std::pair{TRulesSource::Iptables, "iptables-save"}}) {
        const auto run = platform::RunForOutput(command, RulesetWaitMs, MaxRulesetBytes);
        const std::string name = command;
        if (!run.Started) {
            tried.push_back(name.substr(0, name.find(' ')) + " is missing");
            continue;
        }
        if (run.Wait == platform::TProcessWait::TimedOut) {
            tried.push_back(name + " did not finish");
            continue;
        }
        if (run.Wait != platform::TProcessWait::Ended || run.ExitStatus != 0) {
            tried.push_back(name + " failed" +
                            (run.ExitStatus > 0 ? " with status " + std::to_string(run.ExitStatus)
                                                : std::string()));
            continue;
        }
        facts.Source = source;
        facts.Rules = run.Text;
        return facts;
    }
    for (const auto& t : tried)
        facts.Unread += (facts.Unread.empty() ? "" : ", ") + t;
    return facts;
}
#endif

} // namespace

TDiagnosticFacts GatherFacts(const std::string& settingsFile) {
    TDiagnosticFacts facts;
    try {
        for (const auto& rec : platform::ReadAdapterTable()) {
            TAdapterFacts adapter;
            adapter.Name = rec.Name;
            adapter.Addresses = rec.Addresses;
            adapter.Link = platform::ReadLinkState(rec.Name);
            adapter.RpFilter = KernelInt("net/ipv4/conf/" + rec.Name + "/rp_filter");
            facts.Adapters.push_back(std::move(adapter));
        }
    } catch (const std::exception& e) {
        facts.AdapterTableError = e.what();
        // The table's message spans two lines on some systems.
        for (auto& c : facts.AdapterTableError)
            if (c == '\r' || c == '\n')
                c = ' ';
    }
    facts.RpFilterAll = KernelInt("net/ipv4/conf/all/rp_filter");
    facts.DefaultRoute = platform::HasDefaultRoute();
#ifndef _WIN32
    facts.Firewall = ReadRuleset();
#endif

    facts.IcmpSocket = platform::TIcmpEcho::Open(platform::TIcmpKind::Any) != nullptr;
    facts.PingGroupRange = platform::ReadKernelSetting("net/ipv4/ping_group_range");
    if (facts.PingGroupRange)
        for (auto& c : *facts.PingGroupRange)
            if (c == '\t')
                c = ' ';
    facts.PingProgram = PingProgram();
    facts.MayChangeNeighbourTable = platform::MayChangeNeighbourTable();

    facts.RmemMax = KernelInt("net/core/rmem_max");
#ifndef _WIN32
    // The search socket's own request, on a socket that sends nothing.
    platform::UdpSocket socket;
    int granted = 0;
    if (socket.Open() &&
        socket.SetReceiveBufferSize(TXportSearch::DefaultReceiveBufferSize, granted) == 0)
        facts.GrantedReceiveQueue = granted;
#endif

    facts.SettingsFile = settingsFile;
    if (!settingsFile.empty()) {
        std::string text;
        facts.SettingsRead = ReadRegularFile(settingsFile, TIniFile::MaxFileSize, text);
        if (facts.SettingsRead == TFileRead::Ok) {
            const TIniFile ini = TIniFile::Parse(text);
            const std::string none = std::string(1, '\0');
            const std::string value = ini.ReadString("Connection", "ReadTimeout", none);
            if (value != none)
                facts.ReadTimeout = value;
        }
    }
    return facts;
}
