// quorvet-cli's search targets: --target on the command line, the settings
// file's list, and change-ip refusing a device behind a router. Nothing here
// sends: the searches are scripted or stop at the command line.

#include "ChangeIpCommand.h"
#include "CliApp.h"
#include "support/FakeIPChangeServices.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

using V = std::vector<std::string>;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

struct TTempIni {
    TTempIni(const std::string& text) { std::ofstream(path) << text; }
    ~TTempIni() { std::filesystem::remove(path); }
    std::string path =
        (std::filesystem::temp_directory_path() /
         ("qv-cli-targets-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
          ".ini"))
            .string();
};

} // namespace

TEST(CliTargets, TargetsAreRepeatableAndChecked) {
    TCliCommandLine line(true);
    EXPECT_EQ(line.Parse({"search", "--target", "10.20.0.0/24", "--target", "10.30.1.7", "--target",
                          "10.1.1.1-10.1.1.3"})
                  .Error,
              "");
    EXPECT_EQ(line.Search.Search.Targets, (V{"10.20.0.0/24", "10.30.1.7", "10.1.1.1-10.1.1.3"}));

    TCliCommandLine changeIp(true);
    EXPECT_EQ(changeIp
                  .Parse({"change-ip", "--mac", "00-20-4A-01-02-03", "--ip", "10.20.0.9",
                          "--target", "10.20.0.5"})
                  .Error,
              "");

    for (const V& args :
         {V{"search", "--target", "10.16.0.0/21"}, V{"search", "--target", "10.20.0.9-10.20.0.1"},
          V{"search", "--target", "printer"}, V{"search", "--target", "10.0.0.0-10.0.255.255"},
          V{"search", "--target", "10.20.0.0/22", "--target", "10.20.4.0/22", "--target",
            "10.20.8.0/22", "--target", "10.20.12.0/22", "--target", "10.20.16.0/24"}}) {
        std::ostringstream out, err;
        EXPECT_EQ(RunCli(args, true, out, err), 2) << args[2];
        EXPECT_EQ(out.str(), "");
        EXPECT_TRUE(Has(err.str(), "quorvet-cli search: Target '")) << err.str();
    }
    std::ostringstream out, err;
    RunCli({"search", "--target", "10.16.0.0/21"}, true, out, err);
    EXPECT_TRUE(Has(err.str(), "wider than /22")) << err.str();
}

TEST(CliTargets, TheSettingsFileListUnlessTargetsAreGiven) {
    TTempIni ini("[Search]\nTargets=10.20.0.4/31, 10.30.1.7\n");
    TSearchOptions options;
    options.Settings = ini.path;
    TXportSearch engine;
    ConfigureSearch(engine, options);
    EXPECT_EQ(engine.Targets, (V{"10.20.0.4", "10.20.0.5", "10.30.1.7"}));
    EXPECT_TRUE(SearchHasTargets(options));

    options.Targets = {"10.40.0.1"};
    TXportSearch replaced;
    ConfigureSearch(replaced, options);
    EXPECT_EQ(replaced.Targets, V{"10.40.0.1"});

    TTempIni none("[Connection]\nReadTimeout=300\n");
    TSearchOptions plain;
    plain.Settings = none.path;
    TXportSearch engine2;
    ConfigureSearch(engine2, plain);
    EXPECT_TRUE(engine2.Targets.empty());
    EXPECT_FALSE(SearchHasTargets(plain));
}

TEST(CliTargets, ABadSettingsFileListFailsTheSearchWithItsPlace) {
    TTempIni ini("[Search]\nTargets=10.20.0.0/16\n");
    TSearchOptions options;
    options.Settings = ini.path;
    TXportSearch engine;
    try {
        ConfigureSearch(engine, options);
        FAIL() << "accepted";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Settings file " + ini.path +
                                   ", [Search] Targets: Target '10.20.0.0/16': a network wider "
                                   "than /22 (1024 addresses) is refused; give smaller networks");
    }
}

TEST(CliTargets, ChangeIpRefusesADeviceBehindARouterBeforeSendingAnything) {
    for (const bool arp : {false, true}) {
        SCOPED_TRACE(arp ? "ARP-table way" : "IP-SETUP way");
        TFakeEngine f;
        TChangeIpOptions o;
        o.Mac = "00-20-4A-01-02-03";
        o.Ip = "10.20.0.50";
        o.Arp = arp;
        o.Search.Targets = {"10.20.0.5"};
        int calls = 0;
        TChangeIpServices s;
        s.Search = [&] {
            ++calls;
            return std::vector<TXportPar>{ListedDevice(o.Mac, "10.20.0.5", "unicast")};
        };
        s.VerifyWindowMs = 0;
        std::ostringstream out, err;
        EXPECT_EQ(RunChangeIp(o, *f.engine, s, out, err), 1);
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(out.str(), "");
        EXPECT_EQ(err.str(),
                  "quorvet-cli change-ip: refused for the device 00-20-4A-01-02-03 at 10.20.0.5 "
                  "(adapter unicast): The device was found by unicast through a router: both "
                  "ways of the IP change need the device's own network segment (a broadcast and "
                  "an ARP-table entry do not cross a router). Change its address from a computer "
                  "on that segment. Nothing was sent.\n");
        EXPECT_TRUE(f.net.events.empty());
    }
}

TEST(CliTargets, TheEngineRefusesTheUnicastAdapterInBothWays) {
    for (const bool arp : {false, true}) {
        TFakeEngine f;
        f.engine->ArpOnly = arp;
        std::string message;
        int code = -1;
        EXPECT_FALSE(
            f.engine->ChangeIP("00-20-4A-01-02-03", "10.20.0.50", "unicast", message, code));
        EXPECT_EQ(code, 1);
        EXPECT_EQ(message, "IP address change error.");
        EXPECT_TRUE(Has(f.engine->Cause(), "found by unicast through a router"));
        EXPECT_TRUE(f.net.events.empty()); // not even a ping
    }
}
