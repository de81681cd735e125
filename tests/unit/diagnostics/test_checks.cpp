// The checks on facts given by the test: which line each situation gives,
// and which problem the search dialog's hint names first.
#include "diagnostics/uDiagnostics.h"

#include <gtest/gtest.h>

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TAdapterFacts Adapter(const std::string& name, const std::string& address = "10.77.1.1",
                      int rpFilter = 0) {
    TAdapterFacts a;
    a.Name = name;
    if (!address.empty())
        a.Addresses.push_back({address, "255.255.255.0"});
    a.Link = {true, true, true};
    a.RpFilter = rpFilter;
    return a;
}

// A computer on which every check is ok.
TDiagnosticFacts Healthy() {
    TDiagnosticFacts f;
    f.Adapters = {Adapter("eth0")};
    f.RpFilterAll = 0;
    f.DefaultRoute = false;
    f.Firewall = TFirewallFacts{TRulesSource::Nft, "", ""};
    f.IcmpSocket = true;
    f.PingGroupRange = "0 2147483647";
    f.MayChangeNeighbourTable = true;
    f.RmemMax = 212992;
    f.GrantedReceiveQueue = 8 * 1024 * 1024;
    f.SettingsFile = "/opt/q/Quorvet.ini";
    f.SettingsRead = TFileRead::Missing;
    return f;
}

std::vector<TCheckResult> Of(const std::vector<TCheckResult>& all, const std::string& name) {
    std::vector<TCheckResult> picked;
    for (const auto& r : all)
        if (r.Name == name)
            picked.push_back(r);
    return picked;
}

// The one result of a check; fails the test when there is not exactly one.
TCheckResult One(const TDiagnosticFacts& facts, const std::string& name) {
    const auto picked = Of(RunChecks(facts), name);
    EXPECT_EQ(picked.size(), 1u) << name;
    return picked.empty() ? TCheckResult{} : picked.front();
}

TEST(Checks, AHealthyComputerHasOnlyOkLinesInAFixedOrder) {
    const auto results = RunChecks(Healthy());
    std::vector<std::string> names;
    for (const auto& r : results) {
        EXPECT_EQ(r.Status, TCheckStatus::Ok) << FormatCheckResult(r);
        names.push_back(r.Name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"adapters", "reverse-path filter", "firewall",
                                               "receive queue", "ping", "ARP table", "settings"}));
    EXPECT_EQ(FormatCheckResult(results[0]),
              "ok: adapters: eth0 10.77.1.1/255.255.255.0, up, link");
    EXPECT_EQ(MostLikelyCause(results, TSearchOutcome::NoDevice), nullptr);
}

TEST(Checks, AdaptersThatCannotBeSearchedAreNamedWithWhatToDo) {
    TDiagnosticFacts f = Healthy();
    TAdapterFacts down = Adapter("eth1", "10.1.1.1");
    down.Link = {true, false, false};
    TAdapterFacts unplugged = Adapter("eth2", "10.2.2.2");
    unplugged.Link = {true, true, false};
    TAdapterFacts noAddress = Adapter("eth3", "");
    TAdapterFacts windowsUnplugged = Adapter("{GUID}", "0.0.0.0");
    windowsUnplugged.Link = {};
    f.Adapters = {Adapter("eth0"), down, unplugged, noAddress, windowsUnplugged};
    TAdapterFacts unpluggedNoAddress = Adapter("eth4", "");
    unpluggedNoAddress.Link = {true, true, false};
    f.Adapters.push_back(unpluggedNoAddress);
    const auto lines = Of(RunChecks(f), "adapters");
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0].Status, TCheckStatus::Ok);
    // Off, or unplugged without an address: often not the adapter in use.
    EXPECT_EQ(FormatCheckResult(lines[1]),
              "note: adapters: eth1 is down: it is not searched; if the devices are behind it, "
              "switch it on (ip link set eth1 up)");
    EXPECT_EQ(lines[5].Status, TCheckStatus::Note);
    EXPECT_TRUE(Has(lines[5].Text, "eth4 has no link and no IPv4 address")) << lines[5].Text;
    // An address without a link is searched in vain; up without an address
    // is the DHCP that never answered.
    const char* problems[] = {"eth2 has 10.2.2.2/255.255.255.0 but no link",
                              "eth3 is up but has no IPv4 address",
                              "{GUID} is up but has no IPv4 address"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(lines[i + 2].Status, TCheckStatus::Problem);
        EXPECT_TRUE(Has(lines[i + 2].Text, problems[i])) << lines[i + 2].Text;
    }
    EXPECT_TRUE(Has(lines[3].Text, "ip addr add 192.168.1.10/24 dev eth3"));
}

TEST(Checks, ALoopbackOnlyComputerAndOneWithoutAddressesHaveNothingToSearch) {
    TDiagnosticFacts f = Healthy();
    f.Adapters.clear();
    auto lines = Of(RunChecks(f), "adapters");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].Status, TCheckStatus::Problem);
    EXPECT_TRUE(Has(lines[0].Text, "only the loopback adapter")) << lines[0].Text;

    f.Adapters = {Adapter("eth0", "")};
    lines = Of(RunChecks(f), "adapters");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(Has(lines[1].Text, "no adapter has an IPv4 address")) << lines[1].Text;

    f.AdapterTableError = "System Error.  Code: 5. no access";
    lines = Of(RunChecks(f), "adapters");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(Has(lines[0].Text, "cannot be read (System Error.  Code: 5. no access)"));
}

TEST(Checks, TheStricterReversePathFilterOfAllAndTheAdapterCounts) {
    struct TCase {
        int all, own;
        std::optional<bool> defaultRoute;
        TCheckStatus status;
        std::string part;
    };
    const TCase cases[] = {
        {0, 0, false, TCheckStatus::Ok, "eth0: off"},
        {1, 0, false, TCheckStatus::Problem, "eth0: strict"},
        {0, 1, true, TCheckStatus::Problem, "eth0: strict"}, // a default route does not help
        {2, 1, true, TCheckStatus::Ok, "eth0: loose"},       // max(2, 1) = loose
        {0, 2, true, TCheckStatus::Ok, "with a default route: a device on another subnet is heard"},
        {2, 0, false, TCheckStatus::Problem,
         "loose (net.ipv4.conf.all.rp_filter=2, "
         "net.ipv4.conf.eth0.rp_filter=0) without a default "
         "route"},
        {2, 0, std::nullopt, TCheckStatus::Problem, "without a default route"},
    };
    for (const TCase& c : cases) {
        TDiagnosticFacts f = Healthy();
        f.RpFilterAll = c.all;
        f.Adapters[0].RpFilter = c.own;
        f.DefaultRoute = c.defaultRoute;
        const TCheckResult r = One(f, "reverse-path filter");
        SCOPED_TRACE(std::to_string(c.all) + "/" + std::to_string(c.own) + ": " + r.Text);
        EXPECT_EQ(r.Status, c.status);
        EXPECT_TRUE(Has(r.Text, c.part));
        if (c.status == TCheckStatus::Problem) {
            EXPECT_TRUE(Has(r.Text, "sysctl -w net.ipv4.conf.all.rp_filter=0 "
                                    "net.ipv4.conf.eth0.rp_filter=0"));
        }
    }
}

TEST(Checks, ReversePathIsLeftOutWhereTheSystemHasNoneOrTheAdapterNoAddress) {
    TDiagnosticFacts f = Healthy();
    f.RpFilterAll = std::nullopt; // Windows
    EXPECT_TRUE(Of(RunChecks(f), "reverse-path filter").empty());
    f = Healthy();
    f.Adapters = {Adapter("eth0", "", 1), Adapter("eth1", "10.1.1.1", 1)};
    const auto lines = Of(RunChecks(f), "reverse-path filter");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(Has(lines[0].Text, "eth1: strict"));
}

TEST(Checks, FirewallRulesThatDropAreProblemsAnUnreadableRulesetANote) {
    TDiagnosticFacts f = Healthy();
    f.Firewall = TFirewallFacts{TRulesSource::Iptables,
                                "*filter\n:INPUT ACCEPT [0:0]\n"
                                "-A INPUT -p udp -m udp --sport 30718 -j DROP\nCOMMIT\n",
                                ""};
    TCheckResult r = One(f, "firewall");
    EXPECT_EQ(r.Status, TCheckStatus::Problem);
    EXPECT_EQ(r.Text, "iptables filter INPUT: \"-A INPUT -p udp -m udp --sport 30718 -j DROP\" "
                      "drops the replies: no device is heard; allow UDP from port 30718 (e.g. nft "
                      "insert rule inet filter input udp sport 30718 accept) and UDP to port "
                      "30718");

    f.Firewall = TFirewallFacts{TRulesSource::None, "", "nft failed with status 1"};
    r = One(f, "firewall");
    EXPECT_EQ(FormatCheckResult(r), "note: firewall: the rules cannot be read (nft failed with "
                                    "status 1); run doctor as root to check them");
    f.Firewall = std::nullopt; // Windows
    EXPECT_TRUE(Of(RunChecks(f), "firewall").empty());
}

TEST(Checks, ReceiveQueueBelowWhatTheSearchNeedsIsAProblem) {
    TDiagnosticFacts f = Healthy();
    f.GrantedReceiveQueue = 425984; // the usual limit, doubled by the kernel
    TCheckResult r = One(f, "receive queue");
    EXPECT_EQ(r.Status, TCheckStatus::Problem);
    EXPECT_TRUE(Has(r.Text, "only 416 KiB (net.core.rmem_max=212992) of the 4096 KiB"));
    EXPECT_TRUE(Has(r.Text, "sysctl -w net.core.rmem_max=4194304"));
    f.GrantedReceiveQueue = 1024 * 1024;
    EXPECT_EQ(One(f, "receive queue").Status, TCheckStatus::Ok);
    f.GrantedReceiveQueue = std::nullopt;
    EXPECT_TRUE(Of(RunChecks(f), "receive queue").empty());
}

TEST(Checks, PingNeedsASocketOrTheProgram) {
    TDiagnosticFacts f = Healthy();
    f.IcmpSocket = false;
    f.PingGroupRange = "1 0";
    f.PingProgram = "/usr/bin/ping";
    TCheckResult r = One(f, "ping");
    EXPECT_EQ(r.Status, TCheckStatus::Ok);
    EXPECT_EQ(r.Text, "no ICMP socket for this user (net.ipv4.ping_group_range=\"1 0\"); the IP "
                      "change pings through /usr/bin/ping");
    f.PingProgram.clear();
    r = One(f, "ping");
    EXPECT_EQ(r.Status, TCheckStatus::Problem);
    EXPECT_TRUE(Has(r.Text, "may open no ICMP socket (net.ipv4.ping_group_range=\"1 0\") and "
                            "there is no ping program: every IP change fails"));
}

TEST(Checks, TheArpTableWayNeedsTheRight) {
    TDiagnosticFacts f = Healthy();
    f.MayChangeNeighbourTable = false;
    const TCheckResult r = One(f, "ARP table");
    EXPECT_EQ(r.Status, TCheckStatus::Problem);
    EXPECT_TRUE(Has(r.Text, "the ARP-table way of the IP change needs ")) << r.Text;
}

TEST(Checks, TheSettingsFileAndItsReadTimeout) {
    struct TCase {
        TFileRead read;
        std::optional<std::string> timeout;
        TCheckStatus status;
        std::string part;
    };
    const TCase cases[] = {
        {TFileRead::Missing, std::nullopt, TCheckStatus::Ok,
         "no settings file (/opt/q/Quorvet.ini and the configuration folders): the built-in "
         "ReadTimeout of 1000 ms"},
        {TFileRead::Ok, std::nullopt, TCheckStatus::Ok, "without [Connection] ReadTimeout"},
        {TFileRead::Ok, "$1F4", TCheckStatus::Ok, "ReadTimeout=$1F4: the search waits 500 ms"},
        {TFileRead::Ok, "-1", TCheckStatus::Ok, "waits 3000 ms"},
        {TFileRead::Ok, "99999", TCheckStatus::Ok, "waits 60000 ms"},
        {TFileRead::Ok, "-5", TCheckStatus::Ok, "waits 1000 ms"},
        {TFileRead::Ok, "0", TCheckStatus::Problem, "does not wait for replies"},
        {TFileRead::Ok, "50", TCheckStatus::Problem, "waits only 50 ms"},
        {TFileRead::Ok, "soon", TCheckStatus::Problem, "ReadTimeout=soon is no number"},
        {TFileRead::NotRegular, std::nullopt, TCheckStatus::Problem, "(not a regular file)"},
        {TFileRead::Failed, std::nullopt, TCheckStatus::Problem, "cannot be read (no access)"},
    };
    for (const TCase& c : cases) {
        TDiagnosticFacts f = Healthy();
        f.SettingsRead = c.read;
        f.ReadTimeout = c.timeout;
        const TCheckResult r = One(f, "settings");
        SCOPED_TRACE(r.Text);
        EXPECT_EQ(r.Status, c.status);
        EXPECT_TRUE(Has(r.Text, c.part));
    }
}

TEST(MostLikelyCause, FollowsWhatTheSearchNeedsFirst) {
    TDiagnosticFacts f = Healthy();
    f.Adapters[0].RpFilter = 1;
    f.GrantedReceiveQueue = 100000;
    f.IcmpSocket = false;
    f.MayChangeNeighbourTable = false;
    f.SettingsRead = TFileRead::Ok;
    f.ReadTimeout = "0";
    f.Firewall = TFirewallFacts{TRulesSource::Nft,
                                "table inet f {\n\tchain o {\n\t\ttype filter hook output "
                                "priority 0; policy accept;\n\t\tudp dport 30718 drop\n\t}\n}\n",
                                ""};
    auto results = RunChecks(f);
    const std::vector<std::pair<std::string, std::string>> noDevice = {
        {"firewall", "reverse-path filter"},
        {"reverse-path filter", "settings"},
        {"settings", "receive queue"},
        {"receive queue", ""},
    };
    // Mend the cause found first, then the next one comes up.
    for (const auto& [first, next] : noDevice) {
        const TCheckResult* cause = MostLikelyCause(results, TSearchOutcome::NoDevice);
        ASSERT_NE(cause, nullptr);
        EXPECT_EQ(cause->Name, first);
        for (auto& r : results)
            if (r.Name == first)
                r.Status = TCheckStatus::Ok;
        if (next.empty()) {
            EXPECT_EQ(MostLikelyCause(results, TSearchOutcome::NoDevice), nullptr)
                << "ping and the ARP table keep no device from being listed";
        } else {
            EXPECT_EQ(MostLikelyCause(results, TSearchOutcome::NoDevice)->Name, next);
        }
    }

    // Unreadable details: not the filter, which would have hidden the device.
    results = RunChecks(f);
    EXPECT_EQ(MostLikelyCause(results, TSearchOutcome::DetailsUnreadable)->Name, "firewall");
    f.Firewall->Rules.clear();
    results = RunChecks(f);
    EXPECT_EQ(MostLikelyCause(results, TSearchOutcome::DetailsUnreadable)->Name, "settings");
    f.Adapters = {Adapter("eth0", "")};
    results = RunChecks(f);
    EXPECT_EQ(MostLikelyCause(results, TSearchOutcome::NoDevice)->Name, "adapters");

    // Without a problem, a note of those checks: the firewall this user
    // cannot read.
    f = Healthy();
    f.Firewall = TFirewallFacts{TRulesSource::None, "", "nft failed with status 1"};
    f.IcmpSocket = false; // a problem, but not one of a search
    results = RunChecks(f);
    const TCheckResult* cause = MostLikelyCause(results, TSearchOutcome::NoDevice);
    ASSERT_NE(cause, nullptr);
    EXPECT_EQ(cause->Status, TCheckStatus::Note);
    EXPECT_EQ(cause->Name, "firewall");
}

} // namespace
