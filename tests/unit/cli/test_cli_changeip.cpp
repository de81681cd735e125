// quorvet-cli change-ip: option reading and what it prints and returns.

#include "ChangeIpCommand.h"
#include "CliApp.h"
#include "ipchange/uXPortIPChangeStrings.h"
#include "support/FakeIPChangeServices.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>

namespace {

struct TArgsCase {
    std::vector<std::string> args;
    bool ok;
    const char* ip; // the address handed to the engine when ok
    bool all, arp;
};

class ChangeIpArgs : public testing::TestWithParam<TArgsCase> {};

TEST_P(ChangeIpArgs, AcceptedOrRefused) {
    const TArgsCase& c = GetParam();
    TChangeIpOptions o;
    const std::string error = ParseChangeIpArgs(c.args, o);
    EXPECT_EQ(error.empty(), c.ok) << error;
    if (c.ok) {
        EXPECT_EQ(o.Ip, c.ip);
        EXPECT_EQ(o.AllAdapters, c.all);
        EXPECT_EQ(o.Arp, c.arp);
    }
}

using V = std::vector<std::string>;
INSTANTIATE_TEST_SUITE_P(
    Cli, ChangeIpArgs,
    testing::Values(
        TArgsCase{V{"--mac", "00-20-4A-01-02-03", "--ip", "10.77.1.50"}, true, "10.77.1.50", false,
                  false},
        TArgsCase{V{"--mac", "m", "--dhcp", "--all-adapters"}, true, "0.0.0.0", true, false},
        TArgsCase{V{"--arp", "--mac", "m", "--ip", "10.77.1.50"}, true, "10.77.1.50", false, true},
        // Bad MAC and IP texts are the engine's to report, with its codes.
        TArgsCase{V{"--mac", "00:11", "--ip", "1.2.3.256"}, true, "1.2.3.256", false, false},
        TArgsCase{V{"--ip", "1.2.3.4"}, false, "", false, false},
        TArgsCase{V{"--mac", "m", "--ip", "1.2.3.4", "--dhcp"}, false, "", false, false},
        TArgsCase{V{"--mac", "m", "--dhcp", "--arp"}, false, "", false, false},
        TArgsCase{V{"--mac", "m", "--ip", "1.2.3.4", "--adapter", "10.77.1.1", "--all-adapters"},
                  false, "", false, false},
        TArgsCase{V{"--mac", "m", "--ip", "1.2.3.4", "--arp", "--all-adapters"}, false, "", false,
                  false},
        TArgsCase{V{"--mac", "m", "--ip", "1.2.3.4", "--adapter", "qv0"}, false, "", false, false},
        TArgsCase{V{"--mac", "m", "--ip", "1.2.3.4", "--bogus"}, false, "", false, false},
        TArgsCase{V{"--mac", "m", "--ip", "1.2.3.4", "--force", "--no-verify", "--settings",
                    "q.ini", "--timeout", "300"},
                  true, "1.2.3.4", false, false},
        TArgsCase{V{"--mac", "m", "--ip", "1.2.3.4", "--timeout", "soon"}, false, "", false, false},
        TArgsCase{V{"--mac", "m", "--ip", "1.2.3.4", "--settings"}, false, "", false, false},
        TArgsCase{V{"--mac", "m", "--ip", "1.2.3.4", "--arp", "--force"}, false, "", false,
                  false}));

TEST(ChangeIpArgs, ColonMacAsIpLinkPrintsItAndSearchOptions) {
    TChangeIpOptions o;
    ASSERT_EQ(ParseChangeIpArgs({"--mac", "00:20:4a:01:02:03", "--ip", "10.77.1.50", "--force",
                                 "--no-verify", "--settings", "q.ini", "--timeout", "300"},
                                o),
              "");
    EXPECT_EQ(o.Mac, "00-20-4a-01-02-03");
    EXPECT_TRUE(o.Force);
    EXPECT_TRUE(o.NoVerify);
    EXPECT_EQ(o.Search.Settings, "q.ini");
    EXPECT_EQ(o.Search.Timeout, 300);
}

// A search that plays a list of device lists, one per call (the last one
// repeats); a list of one device with MAC "raise" makes the call fail.
struct TScriptedSearch {
    std::vector<std::vector<TXportPar>> lists;
    int calls = 0;
    std::vector<TXportPar> operator()() {
        const auto& list = lists[std::min<std::size_t>(calls++, lists.size() - 1)];
        if (list.size() == 1 && list[0].MAC == "raise")
            throw Exception("Socket Error # 101\r\nNetwork is unreachable");
        return list;
    }
};

const std::string Mac1 = "00-20-4A-01-02-03";
const std::vector<TXportPar> Before = {
    ListedDevice(Mac1, "10.77.1.10", "10.77.1.1"),
    ListedDevice("00-20-4A-01-02-04", "10.77.2.20", "10.77.2.1")};
const std::vector<TXportPar> After = {ListedDevice(Mac1, "10.77.1.50", "10.77.1.1"),
                                      ListedDevice("00-20-4A-01-02-04", "10.77.2.20", "10.77.2.1")};

// One command run against the fakes.
struct TRun {
    TFakeEngine f;
    TScriptedSearch search;
    TChangeIpOptions o;
    std::ostringstream out, err;
    int verifyWindowMs = 0;

    TRun() {
        o.Mac = Mac1;
        o.Ip = "10.77.1.50";
    }
    int operator()() {
        TChangeIpServices s;
        s.Search = std::ref(search);
        s.VerifyWindowMs = verifyWindowMs;
        s.VerifyPauseMs = 0;
        return RunChangeIp(o, *f.engine, s, out, err);
    }
};

TEST(ChangeIpCli, EngineOutcomeThenVerificationDecideTheStatus) {
    struct TCase {
        const char* name;
        const char* mac;
        bool pingAnswers;
        std::vector<std::vector<TXportPar>> lists;
        int status;
        const char* printed;
    };
    const char* sent = "Request of IP address change was successfully sent.\n";
    for (const TCase& c : {
             TCase{"seen",
                   Mac1.c_str(),
                   false,
                   {Before, After},
                   0,
                   "Verified: the device 00-20-4A-01-02-03 answers at its new address "
                   "10.77.1.50.\n"},
             TCase{"not seen",
                   Mac1.c_str(),
                   false,
                   {Before, Before},
                   3,
                   "Not verified: the device 00-20-4A-01-02-03 was not seen at 10.77.1.50 "
                   "within 0 s; it still answers at 10.77.1.10.\n"},
             TCase{"gone",
                   Mac1.c_str(),
                   false,
                   {Before, {}},
                   3,
                   "Not verified: the device 00-20-4A-01-02-03 was not seen at 10.77.1.50 "
                   "within 0 s; it did not answer at all.\n"},
             TCase{"search fails after",
                   Mac1.c_str(),
                   false,
                   {Before, {ListedDevice("raise", "", "")}},
                   3,
                   "Not verified: the device 00-20-4A-01-02-03 was not seen at 10.77.1.50 "
                   "within 0 s; the search failed.\n"},
             TCase{"in use", Mac1.c_str(), true, {Before}, 1, ""},
             TCase{"bad MAC", "00-20-4A-01-02", false, {Before}, 1, ""},
         }) {
        SCOPED_TRACE(c.name);
        TRun run;
        run.o.Mac = c.mac;
        run.f.net.pingAnswers = c.pingAnswers;
        run.search.lists = c.lists;
        EXPECT_EQ(run(), c.status);
        const std::string out = run.out.str();
        if (c.status == 1) {
            EXPECT_EQ(out, c.pingAnswers ? "Selected IP address already exists.\n"
                                         : "MAC address syntax error.\n");
            // A MAC the engine refuses costs no search.
            EXPECT_EQ(run.search.calls, c.pingAnswers ? 1 : 0);
        } else {
            EXPECT_EQ(out, std::string(sent) + c.printed);
            EXPECT_EQ(run.search.calls, 2);
        }
    }
}

TEST(ChangeIpCli, SendsThroughTheAdapterTheDeviceWasFoundOn) {
    TRun run;
    run.search.lists = {Before, After};
    run.f.net.adapterAddresses = {"10.77.2.1", "10.77.1.1"};
    EXPECT_EQ(run(), 0);
    ASSERT_EQ(run.f.net.Count("bind "), 1u);
    EXPECT_EQ(run.f.net.events[1], "bind 10.77.1.1");
    EXPECT_EQ(run.f.net.Count("send "), 1u);
    EXPECT_TRUE(run.err.str().empty()) << run.err.str();
}

TEST(ChangeIpCli, DeviceNotFoundIsRefusedUnlessTheAdapterIsNamed) {
    TRun notFound;
    notFound.search.lists = {{Before[1]}};
    EXPECT_EQ(notFound(), 1);
    EXPECT_EQ(notFound.out.str(), "");
    EXPECT_EQ(notFound.f.net.Count("ping "), 0u);
    EXPECT_EQ(notFound.f.net.Count("send "), 0u);
    EXPECT_NE(notFound.err.str().find("no device with MAC 00-20-4A-01-02-03"), std::string::npos);
    EXPECT_NE(notFound.err.str().find("--all-adapters"), std::string::npos);

    // The "device not found" way: through every adapter, or the one named.
    TRun all;
    all.search.lists = {{Before[1]}, After};
    all.o.AllAdapters = true;
    all.f.net.adapterAddresses = {"10.77.1.1", "10.77.2.1"};
    EXPECT_EQ(all(), 0);
    EXPECT_EQ(all.f.net.Count("send "), 2u);

    TRun named;
    named.search.lists = {{Before[1]}, {}};
    named.o.Adapter = "10.77.1.1";
    named.o.NoVerify = true;
    EXPECT_EQ(named(), 0);
    EXPECT_EQ(named.search.calls, 1);
    EXPECT_EQ(named.f.net.events[1], "bind 10.77.1.1");
    EXPECT_EQ(named.out.str(), "Request of IP address change was successfully sent.\n");
}

TEST(ChangeIpCli, SearchFailureBeforeSendingIsAFailure) {
    TRun run;
    run.search.lists = {{ListedDevice("raise", "", "")}};
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(run.f.net.Count("ping "), 0u);
    EXPECT_EQ(run.err.str(),
              "quorvet-cli change-ip: search failed: Socket Error # 101 Network is unreachable\n");
}

TEST(ChangeIpCli, VerificationSearchesAgainWithinItsWindow) {
    TRun run;
    run.search.lists = {Before, Before, Before, After};
    run.verifyWindowMs = 60000;
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(run.search.calls, 4);
}

TEST(ChangeIpCli, SharedMacSuffixRefusedNamingTheOtherUnlessForced) {
    const TXportPar twin = ListedDevice("00-20-4A-07-02-03", "10.77.1.12", "10.77.1.1");
    const TXportPar farTwin = ListedDevice("00-20-4A-09-02-03", "10.77.2.12", "10.77.2.1");
    std::vector<TXportPar> devices = Before;
    devices.push_back(twin);
    devices.push_back(farTwin);

    TRun refused;
    refused.search.lists = {devices};
    EXPECT_EQ(refused(), 1);
    EXPECT_EQ(refused.f.net.Count("ping "), 0u);
    EXPECT_EQ(refused.f.net.Count("send "), 0u);
    EXPECT_EQ(refused.out.str(), "");
    // Only the twin behind the adapter the datagram goes through.
    EXPECT_EQ(refused.err.str(),
              "quorvet-cli change-ip: the device 00-20-4A-07-02-03 at 10.77.1.12 (adapter "
              "10.77.1.1) has the same last two MAC octets (02-03) and would take the new "
              "address too.\n"
              "quorvet-cli change-ip: nothing was sent; add --force to send anyway.\n");

    // Through every adapter, both twins would hear it.
    TRun all;
    all.search.lists = {devices};
    all.o.AllAdapters = true;
    EXPECT_EQ(all(), 1);
    EXPECT_NE(all.err.str().find("00-20-4A-09-02-03 at 10.77.2.12"), std::string::npos);

    TRun forced;
    forced.search.lists = {devices, After};
    forced.o.Force = true;
    EXPECT_EQ(forced(), 0);
    EXPECT_EQ(forced.f.net.Count("send "), 1u);
    EXPECT_NE(forced.err.str().find("warning: the device 00-20-4A-07-02-03"), std::string::npos);
}

TEST(ChangeIpCli, DhcpIsSeenAtAnyOtherAddress) {
    TRun moved;
    moved.o.Dhcp = true;
    moved.o.Ip = "0.0.0.0";
    moved.search.lists = {Before, {ListedDevice(Mac1, "10.77.1.77", "10.77.1.1")}};
    EXPECT_EQ(moved(), 0);
    EXPECT_NE(moved.out.str().find("answers at 10.77.1.77 (its address by DHCP)."),
              std::string::npos);

    TRun kept;
    kept.o.Dhcp = true;
    kept.o.Ip = "0.0.0.0";
    kept.search.lists = {Before, Before};
    EXPECT_EQ(kept(), 3);
    EXPECT_NE(kept.out.str().find("was not seen at a new address within 0 s; it still answers at "
                                  "10.77.1.10."),
              std::string::npos);
}

TEST(ChangeIpCli, ArpWayNeedsNoSearchBeforeAndIsVerifiedAfter) {
    TRun run;
    run.o.Arp = true;
    run.f.net.adapterTable = {Adapter("qv0", {{"10.77.1.1", "255.255.255.0"}})};
    run.search.lists = {After};
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(run.search.calls, 1);
    EXPECT_NE(run.out.str().find("Verified:"), std::string::npos);

    // No right to make the entry: the message, then the cause on its own line.
    TRun refused;
    refused.o.Arp = true;
    refused.f.net.adapterTable = run.f.net.adapterTable;
    refused.f.net.entryRefused = true;
    EXPECT_EQ(refused(), 1);
    EXPECT_EQ(refused.out.str(), "IP address change error.\n");
    EXPECT_EQ(refused.err.str(), std::string(IPChangeStrings::SIPChangeCauseArpRights) + "\n");
    EXPECT_EQ(refused.search.calls, 0);
}

TEST(ChangeIpCli, NoPingPossibleGivesTheCauseOnItsOwnLine) {
    TRun run;
    run.search.lists = {Before};
    run.f.net.pingRaises = true;
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(run.out.str(), "IP address change error.\n");
    EXPECT_EQ(run.err.str(), std::string(IPChangeStrings::SIPChangeCausePing) + "\n");
}

TEST(ChangeIpCli, LineBreakOfATwoLineMessageIsPrintedAsNewline) {
    TRun run;
    run.o.Ip = "10.77.1.256";
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(run.out.str(), "IP address syntax error.\nWrite correct IP address, please.\n");
    EXPECT_EQ(run.search.calls, 0);
}

TEST(ChangeIpCli, UsageErrorIsNotAResultCode) {
    std::ostringstream out, err;
    EXPECT_EQ(CmdChangeIp({"--mac"}, true, out, err), 2);
    EXPECT_TRUE(out.str().empty());
    EXPECT_NE(err.str().find("--mac needs a value"), std::string::npos);
    EXPECT_EQ(CmdChangeIp({"--help"}, false, out, err), 0);
    EXPECT_NE(out.str().find("Usage: quorvet-cli change-ip"), std::string::npos);
    EXPECT_NE(out.str().find("3 sent but the device was not seen"), std::string::npos);
}

TEST(ChangeIpCli, RefusesOutsideTheTestNetworkUnlessToldOtherwise) {
    // Refused before anything is pinged or sent: a bad MAC would otherwise
    // come back as the engine's code 1.
    std::ostringstream out, err;
    EXPECT_EQ(CmdChangeIp({"--mac", "00:11", "--ip", "10.77.1.50"}, false, out, err), 2);
    EXPECT_TRUE(out.str().empty());
    EXPECT_NE(err.str().find("--real-network"), std::string::npos);
    TChangeIpOptions o;
    EXPECT_EQ(ParseChangeIpArgs({"--mac", "m", "--dhcp", "--real-network"}, o), "");
    EXPECT_TRUE(o.RealNetwork);
}

} // namespace
