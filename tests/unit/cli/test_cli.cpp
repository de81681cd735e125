// quorvet-cli's command line: what each command line reads, the help, and
// the exit status of a command line that cannot be used. Nothing here
// searches: every run stops at the command line.

#include "CliApp.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using V = std::vector<std::string>;

struct TRun {
    int status = -1;
    std::string out, err;
};

// Outside the test network, so that a command line that were accepted by
// mistake is refused before it sends anything.
TRun RunCommandLine(const V& args) {
    std::ostringstream out, err;
    TRun r;
    r.status = RunCli(args, false, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(CliCommandLine, SearchOptionsAreRead) {
    TCliCommandLine line(true);
    const cmdline::TParsed p =
        line.Parse({"search", "--json", "--sequential", "--timeout", "$1F4", "--log", "s.log",
                    "--log-mask", "0x10", "--settings", "a.ini", "--settings", "b.ini"});
    EXPECT_EQ(p.Error, "");
    EXPECT_FALSE(p.Help);
    EXPECT_EQ(line.Command(), TCliCommandLine::TCommand::Search);
    EXPECT_TRUE(line.Search.Json);
    EXPECT_TRUE(line.Search.Sequential);
    EXPECT_FALSE(line.Search.RealNetwork);
    EXPECT_EQ(line.Search.Search.Timeout, 500);
    EXPECT_EQ(line.Search.LogFile, "s.log");
    EXPECT_EQ(line.Search.LogMask, 16);
    EXPECT_EQ(line.Search.Search.Settings, "b.ini"); // the last one counts

    TCliCommandLine defaults(true);
    EXPECT_EQ(defaults.Parse({"search", "--timeout", "-1"}).Error, "");
    EXPECT_EQ(defaults.Search.Search.Timeout, -1);
    EXPECT_EQ(defaults.Search.Search.Settings, std::nullopt);
    EXPECT_EQ(defaults.Search.LogMask, 16);
    EXPECT_FALSE(defaults.Search.Json);
}

TEST(CliCommandLine, UsageErrorsExitTwoWithTheReasonAndAHint) {
    struct TCase {
        V args;
        std::string reason;
        std::string command;
    };
    const TCase cases[] = {
        {{}, "no command given", "quorvet-cli"},
        {{"frobnicate"}, "unknown command 'frobnicate'", "quorvet-cli"},
        {{"search", "--bogus"}, "unknown option '--bogus'", "quorvet-cli search"},
        {{"search", "now"}, "unexpected argument 'now'", "quorvet-cli search"},
        {{"search", "--settings"}, "--settings needs a value", "quorvet-cli search"},
        {{"search", "--timeout", "soon"},
         "'soon' is not a valid integer value",
         "quorvet-cli search"},
        {{"search", "--log-mask", "256"},
         "--log-mask takes a number from 0 to 255",
         "quorvet-cli search"},
        {{"search", "--log-mask", "-1"},
         "--log-mask takes a number from 0 to 255",
         "quorvet-cli search"},
        {{"search"}, "add --real-network to search", "quorvet-cli search"},
        {{"change-ip", "--mac", "00-20-4A-01-02-03"},
         "give either --ip or --dhcp",
         "quorvet-cli change-ip"},
    };
    for (const TCase& c : cases) {
        const TRun r = RunCommandLine(c.args);
        SCOPED_TRACE(r.err);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(Has(r.err, c.command + ": ")) << c.command;
        EXPECT_TRUE(Has(r.err, c.reason)) << c.reason;
        EXPECT_TRUE(Has(r.err, "Try '" + c.command + " --help'."));
    }
}

TEST(CliCommandLine, HelpListsEveryOptionAndTheExitStatuses) {
    for (const V& args : {V{"--help"}, V{"-h"}, V{"help"}}) {
        const TRun r = RunCommandLine(args);
        EXPECT_EQ(r.status, 0) << args[0];
        EXPECT_EQ(r.err, "");
        for (const char* option :
             {"search", "change-ip", "--settings", "--timeout", "--json", "--sequential", "--log",
              "--log-mask", "--real-network", "--mac", "--ip", "--dhcp", "--adapter",
              "--all-adapters", "--arp", "--force", "--no-verify", "--help"})
            EXPECT_TRUE(Has(r.out, option)) << args[0] << ": " << option;
        for (const char* status : {"0  done", "1  failed or refused", "2  usage error",
                                   "3  change-ip: sent, but the device was not seen"})
            EXPECT_TRUE(Has(r.out, status)) << args[0] << ": " << status;
    }
    const TRun search = RunCommandLine({"search", "--help"});
    EXPECT_EQ(search.status, 0);
    EXPECT_TRUE(Has(search.out, "Usage: quorvet-cli search"));
    EXPECT_TRUE(Has(search.out, "--log-mask"));
    EXPECT_TRUE(Has(search.out, "2  usage error"));
    EXPECT_FALSE(Has(search.out, "--all-adapters"));
}

} // namespace
