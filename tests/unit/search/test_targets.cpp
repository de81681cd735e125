// Search targets as a technician writes them: what they expand to and what
// is refused, with the message shown.
#include "base/uErrors.h"
#include "search/uSearchTargets.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

using List = std::vector<std::string>;

std::string Refusal(const List& targets) {
    try {
        ExpandTargets(targets);
    } catch (const Exception& e) {
        return e.Message();
    }
    return "accepted";
}

} // namespace

TEST(Targets, AddressesRangesAndNetworks) {
    EXPECT_EQ(ExpandTargets({"10.30.1.7"}), List{"10.30.1.7"});
    EXPECT_EQ(ExpandTargets({"10.20.0.254-10.20.1.1"}),
              (List{"10.20.0.254", "10.20.0.255", "10.20.1.0", "10.20.1.1"}));
    EXPECT_EQ(ExpandTargets({"10.20.0.9-10.20.0.9"}), List{"10.20.0.9"});
    // A network leaves out its own and its broadcast address.
    EXPECT_EQ(ExpandTargets({"10.20.0.0/30"}), (List{"10.20.0.1", "10.20.0.2"}));
    const List net24 = ExpandTargets({"10.20.0.0/24"});
    ASSERT_EQ(net24.size(), 254u);
    EXPECT_EQ(net24.front(), "10.20.0.1");
    EXPECT_EQ(net24.back(), "10.20.0.254");
    // An address inside the network stands for it; /31 and /32 keep both ends.
    EXPECT_EQ(ExpandTargets({"10.20.0.77/30"}), (List{"10.20.0.77", "10.20.0.78"}));
    EXPECT_EQ(ExpandTargets({"10.20.0.4/31"}), (List{"10.20.0.4", "10.20.0.5"}));
    EXPECT_EQ(ExpandTargets({"10.20.0.4/32"}), List{"10.20.0.4"});
    EXPECT_EQ(ExpandTargets({"10.20.0.0/22"}).size(), 1022u);
    // Given twice, asked once, in the order first given.
    EXPECT_EQ(ExpandTargets({"10.20.0.2", "10.20.0.1-10.20.0.3", "10.20.0.2"}),
              (List{"10.20.0.2", "10.20.0.1", "10.20.0.3"}));
    EXPECT_TRUE(ExpandTargets({}).empty());
}

TEST(Targets, RefusalsNameTheTargetAndTheReason) {
    const std::string form = "is not an address, a range (a-b) or a network (a/prefix)";
    for (const char* bad : {"", "10.20.0", "10.20.0.256", "host.example", "10.20.0.1-",
                            "-10.20.0.1", "10.20.0.1-10.20.0.2-10.20.0.3", "10.20.0.0/",
                            "10.20.0.0/33", "10.20.0.0/+24", "10.20.0.0/ 24", "10.20.0.0/0x18",
                            "10.20.0.0/24/24", " 10.20.0.1", "10.20.0.1-10.20.0.x"})
        EXPECT_EQ(Refusal({bad}), "Target '" + std::string(bad) + "': " + form) << bad;
    EXPECT_EQ(Refusal({"10.20.0.9-10.20.0.8"}),
              "Target '10.20.0.9-10.20.0.8': the range ends before it starts");
    EXPECT_EQ(Refusal({"10.16.0.0/21"}),
              "Target '10.16.0.0/21': a network wider than /22 (1024 addresses) is refused; give "
              "smaller networks");
    EXPECT_EQ(Refusal({"10.0.0.0/8"}).substr(0, 32), "Target '10.0.0.0/8': a network w");
    EXPECT_EQ(Refusal({"127.0.0.1"}), "Target '127.0.0.1': 127.0.0.1 cannot be a device's "
                                      "address (0.x, 127.x, multicast or reserved)");
    EXPECT_NE(Refusal({"0.0.0.9"}), "accepted");
    EXPECT_NE(Refusal({"224.0.0.1"}), "accepted");
    EXPECT_NE(Refusal({"255.255.255.255"}), "accepted");
    EXPECT_NE(Refusal({"223.255.255.250-224.0.0.2"}), "accepted");
}

TEST(Targets, TheTotalIsBounded) {
    // One range beyond the bound is refused without being walked.
    EXPECT_EQ(Refusal({"10.0.0.0-10.255.255.255"}),
              "Target '10.0.0.0-10.255.255.255': more than 4096 addresses; at most 4096 are "
              "searched at once");
    EXPECT_EQ(ExpandTargets({"10.20.0.0-10.20.15.255"}).size(), 4096u);
    // Four /22 networks come to 4088; the target that goes beyond is named.
    EXPECT_EQ(
        ExpandTargets({"10.20.0.0/22", "10.20.4.0/22", "10.20.8.0/22", "10.20.12.0/22"}).size(),
        4088u);
    EXPECT_EQ(Refusal({"10.20.0.0/22", "10.20.4.0/22", "10.20.8.0/22", "10.20.12.0/22",
                       "10.30.0.1-10.30.0.9"}),
              "Target '10.30.0.1-10.30.0.9': the targets come to more than 4096 addresses; at "
              "most 4096 are searched at once");
    // Repeats do not count twice.
    EXPECT_EQ(ExpandTargets({"10.20.0.0-10.20.15.255", "10.20.0.0/22"}).size(), 4096u);
}

TEST(Targets, ListsSplitAtCommasAndBlanks) {
    EXPECT_EQ(SplitTargetList(" 10.20.0.0/24,10.30.1.7 ,\t10.1.1.1-10.1.1.5\r\n10.2.2.2,,"),
              (List{"10.20.0.0/24", "10.30.1.7", "10.1.1.1-10.1.1.5", "10.2.2.2"}));
    EXPECT_TRUE(SplitTargetList(" , \n").empty());
}

TEST(Targets, SettingsFileList) {
    const auto dir =
        std::filesystem::temp_directory_path() /
        ("qv-targets-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "Quorvet.ini").string();
    std::ofstream(file) << "[Connection]\nReadTimeout=300\n[search]\ntargets = 10.20.0.0/24, "
                           "10.30.1.7\n";
    EXPECT_EQ(SettingsFileTargets(file), (List{"10.20.0.0/24", "10.30.1.7"}));
    std::ofstream(file) << "[Connection]\nReadTimeout=300\n";
    EXPECT_TRUE(SettingsFileTargets(file).empty());
    EXPECT_TRUE(SettingsFileTargets((dir / "missing.ini").string()).empty());
    EXPECT_TRUE(SettingsFileTargets("").empty());
    std::filesystem::remove_all(dir);
}

TEST(Targets, AdapterOfAnAddress) {
    const std::vector<TLocalSubnet> subnets = {
        {"0.0.0.0", "0.0.0.0", "0.0.0.0"},
        {"10.77.1.1", "10.77.1.1", "255.255.255.0"},
        {"10.77.1.1", "10.80.0.1", "255.255.0.0"}, // a second address of that adapter
        {"10.77.2.1", "10.77.2.1", "255.255.255.0"},
    };
    EXPECT_EQ(AdapterForAddress(subnets, "10.77.1.200"), "10.77.1.1");
    EXPECT_EQ(AdapterForAddress(subnets, "10.80.9.9"), "10.77.1.1");
    EXPECT_EQ(AdapterForAddress(subnets, "10.77.2.7"), "10.77.2.1");
    // An adapter without an address holds nothing, though its mask is zero.
    EXPECT_EQ(AdapterForAddress(subnets, "10.20.0.5"), "unicast");
    EXPECT_EQ(AdapterForAddress({}, "10.77.1.200"), "unicast");
    EXPECT_EQ(AdapterForAddress(subnets, "N/A"), "unicast");
}
