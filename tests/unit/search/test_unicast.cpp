// The search's unicast pass on a scripted network: devices behind a router
// (the fake network's devices[""]) are asked by address, read like any
// other, and named by a local adapter only where one's subnet holds them.
#include "search/uXPortSearch.h"
#include "support/DeviceReplies.h"
#include "support/FakeSearchNet.h"
#include "support/RecordingLog.h"

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>

namespace {

const std::string A1 = "10.77.1.1";

TFakeDevice Dev(const std::string& ip, int macLo, const std::string& text) {
    return {ip, Discovery(0, macLo), 1, Reply(1, 4, 5, 2, 8, text, 4, 'A'), {}};
}

struct Unicast : ::testing::TestWithParam<bool> {
    void SetUp() override {
        search.Sequential = GetParam();
        search.Log = &log;
        search.ReadTimeout = 50;
        search.TargetPaceMicros = 0;
        search.LinkFactory = [this] { return net.NewLink(); };
        search.AdapterAddressProvider = [this] { return adapters; };
        search.LocalSubnetProvider = [this] { return subnets; };
    }
    const TXportPar* Find(const std::string& ip) const {
        for (const TXportPar& d : search.Devices())
            if (d.IP == ip)
                return &d;
        return nullptr;
    }
    TFakeSearchNet net;
    TRecordingLog log;
    std::vector<std::string> adapters{A1};
    std::vector<TLocalSubnet> subnets{{A1, A1, "255.255.255.0"}};
    TXportSearch search;
};

} // namespace

TEST_P(Unicast, DevicesBehindARouterAreAskedByAddressAndReadInFull) {
    net.devices[A1] = {Dev("10.77.1.10", 1, "Local")};
    net.devices[""] = {Dev("10.20.0.5", 5, "Routed"), Dev("10.20.0.6", 6, "Not asked")};
    search.Targets = {"10.20.0.4", "10.20.0.5"};
    search.Search();

    ASSERT_EQ(search.DeviceCount(), 2);
    EXPECT_EQ(search.Device(0).IP, "10.77.1.10"); // the adapters' passes come first
    const TXportPar* routed = Find("10.20.0.5");
    ASSERT_NE(routed, nullptr);
    EXPECT_EQ(routed->AdapterIP, "unicast");
    EXPECT_EQ(routed->MAC, "00-20-4A-00-00-05");
    EXPECT_EQ(routed->Firmware, "1-4-5.02");
    EXPECT_EQ(routed->Description, "Routed");
    // Only the targets are asked, by a link the system routes (never bound).
    EXPECT_EQ(net.Count("F6 10.20.0.4"), 1);
    EXPECT_EQ(net.Count("F6 10.20.0.5"), 1);
    EXPECT_EQ(net.Count("F6 10.20.0.6"), 0);
    EXPECT_EQ(net.Count("E4 10.20.0.6"), 0);
    EXPECT_EQ(net.Count("bind "), 0);
    EXPECT_EQ(net.Count("bind " + A1), 1);
    EXPECT_TRUE(log.Has(1, "Sarching on adapter " + A1));
    EXPECT_TRUE(log.Has(1, "Searching by unicast: 2 target addresses"));
    EXPECT_TRUE(log.Has(1, "#" + std::string(" 1") + " 10.20.0.5 00-20-4A-00-00-05 1-4-5.02 " +
                               search.LookupTypeName(1, 8) + " \"Routed\""));
}

TEST_P(Unicast, ADeviceHeardBothWaysIsListedOnceWithItsAdapter) {
    // It answers the broadcast and the query to its address.
    net.devices[A1] = {Dev("10.77.1.10", 1, "Both")};
    net.devices[""] = {Dev("10.77.1.10", 1, "Both"), Dev("10.77.1.20", 2, "Unicast only")};
    search.Targets = {"10.77.1.10", "10.77.1.20"};
    search.Search();

    ASSERT_EQ(search.DeviceCount(), 2);
    EXPECT_EQ(search.Device(0).AdapterIP, A1);
    EXPECT_EQ(net.Count("E4 10.77.1.10"), 1);
    // Found by unicast on a local subnet: listed with that adapter.
    const TXportPar* local = Find("10.77.1.20");
    ASSERT_NE(local, nullptr);
    EXPECT_EQ(local->AdapterIP, A1);
    EXPECT_EQ(local->Description, "Unicast only");
}

TEST_P(Unicast, TargetsAloneNeedNoAdapter) {
    adapters.clear();
    subnets.clear();
    net.devices[""] = {Dev("10.30.1.7", 7, "Far")};
    search.Targets = {"10.30.1.7"};
    std::vector<TXportPar> read;
    search.OnDevice = [&](const TXportPar& d) { read.push_back(d); };
    search.Search();
    ASSERT_EQ(search.DeviceCount(), 1);
    EXPECT_EQ(search.Device(0).AdapterIP, "unicast");
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].Description, "Far");
    EXPECT_TRUE(log.Has(1, "Searching by unicast: 1 target address"));
    EXPECT_TRUE(log.Has(1, "--- DEVICE LIST ---"));
}

TEST_P(Unicast, TheDeviceBoundHoldsForTheUnicastPass) {
    adapters.clear();
    for (int i = 1; i <= 5; ++i) {
        net.devices[""].push_back(Dev("10.20.0." + std::to_string(i), i, "D"));
        search.Targets.push_back("10.20.0." + std::to_string(i));
    }
    search.MaxEntriesPerAdapter = 3;
    std::vector<std::string> limits;
    search.OnLimit = [&](const std::string& adapter) { limits.push_back(adapter); };
    search.Search();
    EXPECT_EQ(search.DeviceCount(), 3);
    EXPECT_EQ(limits, std::vector<std::string>{"unicast"});
    EXPECT_TRUE(search.LimitReached());
}

TEST_P(Unicast, RepeatsAndAnswersOfOtherAddressesAreMergedByMac) {
    adapters.clear();
    TFakeDevice twice = Dev("10.20.0.5", 5, "Twice");
    twice.copies = 3;
    net.devices[""] = {twice};
    search.Targets = {"10.20.0.5"};
    search.Search();
    ASSERT_EQ(search.DeviceCount(), 1);
    EXPECT_EQ(net.Count("E4 10.20.0.5"), 1);
}

TEST_P(Unicast, QueriesArePaced) {
    adapters.clear();
    search.TargetPaceMicros = 20000;
    search.Targets = {"10.20.0.1", "10.20.0.2", "10.20.0.3", "10.20.0.4"};
    const auto start = std::chrono::steady_clock::now();
    search.Search();
    // Four queries, three gaps of at least the pace.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));
    EXPECT_EQ(search.DeviceCount(), 0);
}

TEST_P(Unicast, ACancelledSearchStopsAskingTargets) {
    adapters.clear();
    search.TargetPaceMicros = 1000;
    for (int i = 1; i <= 200; ++i)
        search.Targets.push_back("10.20.0." + std::to_string(i));
    search.Cancel();
    search.Search();
    EXPECT_EQ(net.Count("F6 10.20.0.200"), 0);
}

INSTANTIATE_TEST_SUITE_P(Search, Unicast, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Sequential" : "Parallel"; });
