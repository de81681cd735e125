// Reading a firewall ruleset (nft list ruleset, or iptables-save) for what
// keeps the search's datagrams away: the query goes to UDP port 30718 from a
// port of the system's choosing, the replies come from port 30718. A reply
// to a broadcast is no "established" traffic for the connection tracking, so
// an input chain that drops what it does not accept drops the replies too.
#include "diagnostics/uDiagnostics.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <sstream>

namespace {

constexpr long DevicePort = 30718;

enum class TChainSide { Input, Output, Forward, Other };

std::vector<std::string> Tokens(const std::string& rule) {
    std::vector<std::string> tokens;
    std::string current;
    for (char c : rule) {
        if (std::isspace(static_cast<unsigned char>(c)) || c == ',' || c == '{' || c == '}' ||
            c == ';') {
            if (!current.empty())
                tokens.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        tokens.push_back(current);
    return tokens;
}

// "30718", "30000-31000", "30000:31000" (either end may be left out in
// iptables' form): whether it holds the port; nullopt for no port at all.
std::optional<bool> PortValueHolds(const std::string& token) {
    const std::size_t sep = token.find_first_of("-:");
    auto number = [](const std::string& text, long def) -> std::optional<long> {
        if (text.empty())
            return def;
        if (text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        return std::stol(text);
    };
    const auto low = number(token.substr(0, sep), 0);
    const auto high = sep == std::string::npos ? low : number(token.substr(sep + 1), 65535);
    if (!low || !high || token.empty())
        return std::nullopt;
    return *low <= DevicePort && DevicePort <= *high;
}

// Whether the rule matches the device port as its source ("sport") or
// destination ("dport") port, in nft's or iptables' words.
bool MatchesPort(const std::vector<std::string>& tokens, const std::string& which) {
    const bool source = which == "sport";
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::string& t = tokens[i];
        const bool keyword = source ? (t == "sport" || t == "--sport" || t == "--sports" ||
                                       t == "--source-port" || t == "--source-ports")
                                    : (t == "dport" || t == "--dport" || t == "--dports" ||
                                       t == "--destination-port" || t == "--destination-ports");
        if (!keyword)
            continue;
        if (i > 0 && tokens[i - 1] == "!")
            continue; // a negated match is about every other port
        for (std::size_t j = i + 1; j < tokens.size(); ++j) {
            const auto holds = PortValueHolds(tokens[j]);
            if (!holds)
                break;
            if (*holds)
                return true;
        }
    }
    return false;
}

bool Has(const std::vector<std::string>& tokens, const char* word) {
    for (const auto& t : tokens)
        if (t == word)
            return true;
    return false;
}

bool Drops(const std::vector<std::string>& t, TRulesSource source) {
    if (source == TRulesSource::Nft)
        return Has(t, "drop") || Has(t, "reject");
    for (std::size_t i = 0; i + 1 < t.size(); ++i)
        if (t[i] == "-j" && (t[i + 1] == "DROP" || t[i + 1] == "REJECT"))
            return true;
    return false;
}

bool Accepts(const std::vector<std::string>& t, TRulesSource source) {
    if (source == TRulesSource::Nft)
        return Has(t, "accept");
    for (std::size_t i = 0; i + 1 < t.size(); ++i)
        if (t[i] == "-j" && t[i + 1] == "ACCEPT")
            return true;
    return false;
}

// A drop without any condition: what a chain does with everything left.
bool DropsEverything(const std::vector<std::string>& t, TRulesSource source) {
    std::size_t i = 0;
    if (source == TRulesSource::Nft) {
        if (i < t.size() && t[i] == "counter") {
            ++i;
            if (i + 3 < t.size() && t[i] == "packets" && t[i + 2] == "bytes")
                i += 4;
        }
        return i < t.size() && (t[i] == "drop" || t[i] == "reject");
    }
    // "-A CHAIN -j DROP" or "-A CHAIN -j REJECT [--reject-with X]"
    return t.size() >= 4 && t[0] == "-A" && t[2] == "-j" && (t[3] == "DROP" || t[3] == "REJECT") &&
           (t.size() == 4 || (t.size() == 6 && t[4] == "--reject-with"));
}

struct TChain {
    std::string Name; // "table inet filter, chain input" or "filter INPUT"
    TChainSide Side = TChainSide::Other;
    bool PolicyDrop = false;
    std::vector<std::string> Rules;
};

TChainSide SideOfHook(const std::string& hook) {
    if (hook == "input" || hook == "prerouting" || hook == "INPUT" || hook == "PREROUTING")
        return TChainSide::Input;
    if (hook == "output" || hook == "postrouting" || hook == "OUTPUT" || hook == "POSTROUTING")
        return TChainSide::Output;
    if (hook == "forward" || hook == "FORWARD")
        return TChainSide::Forward;
    return TChainSide::Other;
}

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    const auto e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

std::vector<TChain> NftChains(const std::string& rules) {
    std::vector<TChain> chains;
    std::istringstream in(rules);
    std::string line, table;
    int depth = 0;
    bool inChain = false;
    int skipDepth = 0; // inside a set, map or other object: no rules there
    while (std::getline(in, line)) {
        const std::string text = Trim(line);
        const auto t = Tokens(text);
        const bool opens = !text.empty() && text.back() == '{';
        if (text == "}") {
            if (skipDepth > 0 && depth == skipDepth)
                skipDepth = 0;
            else if (inChain && depth == 2)
                inChain = false;
            depth = std::max(0, depth - 1);
            continue;
        }
        if (skipDepth > 0) {
            if (opens)
                ++depth;
            continue;
        }
        if (depth == 0 && opens && !t.empty() && t[0] == "table") {
            table = Trim(text.substr(0, text.size() - 1));
            ++depth;
            continue;
        }
        if (depth == 1 && opens) {
            ++depth;
            if (t.size() >= 2 && t[0] == "chain") {
                inChain = true;
                chains.push_back({table + ", chain " + t[1], TChainSide::Other, false, {}});
            } else {
                skipDepth = depth;
            }
            continue;
        }
        if (depth == 2 && inChain && !t.empty()) {
            TChain& chain = chains.back();
            if (t[0] == "type") {
                for (std::size_t i = 0; i + 1 < t.size(); ++i) {
                    if (t[i] == "hook")
                        chain.Side = SideOfHook(t[i + 1]);
                    if (t[i] == "policy")
                        chain.PolicyDrop = t[i + 1] == "drop";
                }
            } else if (t[0] != "comment" && t[0] != "policy") {
                chain.Rules.push_back(text);
            }
            if (opens)
                skipDepth = ++depth; // a rule written over several lines: not read
            continue;
        }
        if (opens)
            ++depth;
    }
    return chains;
}

std::vector<TChain> IptablesChains(const std::string& rules) {
    std::vector<TChain> chains;
    std::istringstream in(rules);
    std::string line, table;
    auto find = [&chains, &table](const std::string& name) -> TChain& {
        for (auto& c : chains)
            if (c.Name == table + " " + name)
                return c;
        chains.push_back({table + " " + name, SideOfHook(name), false, {}});
        return chains.back();
    };
    while (std::getline(in, line)) {
        const std::string text = Trim(line);
        if (text.empty() || text[0] == '#')
            continue;
        if (text[0] == '*') {
            table = text.substr(1);
            continue;
        }
        const auto t = Tokens(text);
        if (text[0] == ':' && t.size() >= 2) {
            find(t[0].substr(1)).PolicyDrop = t[1] == "DROP";
            continue;
        }
        if (t.size() >= 2 && t[0] == "-A")
            find(t[1]).Rules.push_back(text);
    }
    return chains;
}

} // namespace

std::vector<std::string> FirewallDrops(TRulesSource source, const std::string& rules) {
    if (source == TRulesSource::None)
        return {};
    const std::vector<TChain> chains =
        source == TRulesSource::Nft ? NftChains(rules) : IptablesChains(rules);
    // Anywhere in the ruleset (ufw and firewalld keep them in chains of their
    // own): a rule that lets the replies, or the query, through.
    bool repliesAccepted = false, queryAccepted = false;
    for (const auto& chain : chains)
        for (const auto& rule : chain.Rules) {
            const auto t = Tokens(rule);
            if (Accepts(t, source)) {
                repliesAccepted = repliesAccepted || MatchesPort(t, "sport");
                queryAccepted = queryAccepted || MatchesPort(t, "dport");
            }
        }
    std::vector<std::string> found;
    for (const auto& chain : chains) {
        if (chain.Side == TChainSide::Forward)
            continue;
        const bool inputSide = chain.Side != TChainSide::Output;
        const bool outputSide = chain.Side != TChainSide::Input;
        bool dropsRest = chain.PolicyDrop;
        for (const auto& rule : chain.Rules) {
            const auto t = Tokens(rule);
            if (!Drops(t, source))
                continue;
            if (inputSide && MatchesPort(t, "sport"))
                found.push_back(chain.Name + ": \"" + rule + "\" drops the replies");
            else if (outputSide && MatchesPort(t, "dport"))
                found.push_back(chain.Name + ": \"" + rule + "\" drops the query");
            else if (DropsEverything(t, source))
                dropsRest = true;
        }
        if (!dropsRest)
            continue;
        if (chain.Side == TChainSide::Input && !repliesAccepted)
            found.push_back(chain.Name + " drops what it does not accept, and no rule accepts the "
                                         "replies (UDP from port 30718)");
        else if (chain.Side == TChainSide::Output && !queryAccepted)
            found.push_back(chain.Name + " drops what it does not accept, and no rule accepts the "
                                         "query (UDP to port 30718)");
    }
    return found;
}
