// quorvet-cli change-ip: option reading and what it prints and returns.

#include "ChangeIpCommand.h"
#include "FakeServices.h"

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
        TArgsCase{V{"--mac", "m", "--ip", "1.2.3.4", "--force"}, false, "", false, false}));

TEST(ChangeIpCli, PrintsTheMessageAndReturnsTheCode) {
    struct TCase {
        const char* mac;
        bool pingAnswers;
        int code;
        const char* printed;
    };
    for (const TCase& c : {
             TCase{"00-20-4A-01-02-03", false, 2,
                   "Request of IP address change was successfully sent.\n"},
             TCase{"00-20-4A-01-02-03", true, 1, "Selected IP address already exists.\n"},
             TCase{"00-20-4A-01-02", false, 1, "MAC address syntax error.\n"},
         }) {
        TFakeEngine f;
        f.net.pingAnswers = c.pingAnswers;
        TChangeIpOptions o;
        o.Mac = c.mac;
        o.Ip = "10.77.1.50";
        std::ostringstream out;
        EXPECT_EQ(RunChangeIp(o, *f.engine, out), c.code);
        EXPECT_EQ(out.str(), c.printed);
    }
}

TEST(ChangeIpCli, LineBreakOfATwoLineMessageIsPrintedAsNewline) {
    TFakeEngine f;
    TChangeIpOptions o;
    o.Mac = "00-20-4A-01-02-03";
    o.Ip = "10.77.1.256";
    std::ostringstream out;
    EXPECT_EQ(RunChangeIp(o, *f.engine, out), 1);
    EXPECT_EQ(out.str(), "IP address syntax error.\nWrite correct IP address, please.\n");
}

TEST(ChangeIpCli, UsageErrorIsNotAResultCode) {
    std::ostringstream out, err;
    EXPECT_EQ(CmdChangeIp({"--mac"}, true, out, err), ChangeIpUsageExit);
    EXPECT_TRUE(out.str().empty());
    EXPECT_NE(err.str().find("--mac needs a value"), std::string::npos);
    EXPECT_EQ(CmdChangeIp({"--help"}, false, out, err), 0);
    EXPECT_NE(out.str().find("Usage: quorvet-cli change-ip"), std::string::npos);
}

TEST(ChangeIpCli, RefusesOutsideTheTestNetworkUnlessToldOtherwise) {
    // Refused before anything is pinged or sent: a bad MAC would otherwise
    // come back as the engine's code 1.
    std::ostringstream out, err;
    EXPECT_EQ(CmdChangeIp({"--mac", "00:11", "--ip", "10.77.1.50"}, false, out, err),
              ChangeIpUsageExit);
    EXPECT_TRUE(out.str().empty());
    EXPECT_NE(err.str().find("--real-network"), std::string::npos);
    TChangeIpOptions o;
    EXPECT_EQ(ParseChangeIpArgs({"--mac", "m", "--dhcp", "--real-network"}, o), "");
    EXPECT_TRUE(o.RealNetwork);
}

} // namespace
