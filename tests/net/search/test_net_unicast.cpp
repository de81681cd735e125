// quorvet-cli in a private network with a router (routed.net): devices on
// the routed subnet answer only when asked by address, are read in full and
// listed with the adapter "unicast", and their address cannot be changed.
#include "common/TestNet.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

using TCli = TShellRun;

fs::path RunDir() {
    const fs::path dir = fs::path(std::getenv("QVNET_DIR")) / "unicast";
    fs::create_directories(dir);
    return dir;
}

TCli Cli(const std::string& args) {
    return RunShell(std::string(QV_CLI_PATH) + " " + args, RunDir());
}

// The CSV rows of a search by IP address: the other six fields.
std::map<std::string, std::vector<std::string>> Search(const std::string& args) {
    const TCli r = Cli("search --csv --settings /nonexistent.ini --timeout 300 " + args);
    EXPECT_EQ(r.status, 0) << r.err;
    std::map<std::string, std::vector<std::string>> rows;
    std::istringstream in(r.out);
    std::string line;
    std::getline(in, line); // the header
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> fields;
        std::string field;
        std::istringstream parts(line);
        // Every field is quoted; the texts here hold no comma or quote.
        while (std::getline(parts, field, ','))
            fields.push_back(field.size() >= 2 ? field.substr(1, field.size() - 2) : field);
        EXPECT_EQ(fields.size(), 7u) << line;
        if (!fields.empty())
            rows[fields[0]] = std::vector<std::string>(fields.begin() + 1, fields.end());
    }
    return rows;
}

const std::string FarMac = "00-20-4A-00-18-05";

std::size_t Received(const std::string& device, std::size_t mark) {
    return TDevsimLog()
        .Select([&](const TDevsimLine& l) { return l.kind == "RX" && l.Get("dev") == device; },
                mark)
        .size();
}

} // namespace

TEST(Routed, WithoutTargetsOnlyTheLocalSegmentIsFound) {
    const std::size_t mark = TDevsimLog().Mark();
    const auto rows = Search("");
    EXPECT_EQ(rows.size(), 1u);
    EXPECT_TRUE(rows.count("10.77.1.10"));
    // The broadcast does not cross the router.
    EXPECT_EQ(Received("10.20.0.5", mark), 0u);
}

TEST(Routed, ANetworkTargetFindsTheDevicesBehindTheRouterInFull) {
    const auto rows = Search("--target 10.20.0.0/24");
    ASSERT_EQ(rows.size(), 3u);
    ASSERT_TRUE(rows.count("10.20.0.5"));
    EXPECT_EQ(rows.at("10.20.0.5"),
              (std::vector<std::string>{FarMac, "6-1-0.03", "Info far", rows.at("10.20.0.5")[3],
                                        "A", "unicast"}));
    EXPECT_NE(rows.at("10.20.0.5")[3], "N/A"); // the type name
    ASSERT_TRUE(rows.count("10.20.0.9"));
    EXPECT_EQ(rows.at("10.20.0.9")[2], "Second far");
    EXPECT_EQ(rows.at("10.20.0.9")[5], "unicast");
    EXPECT_EQ(rows.at("10.77.1.10")[5], "10.77.1.1");
}

TEST(Routed, ASingleAddressAndTheSettingsFileList) {
    auto rows = Search("--target 10.20.0.9");
    EXPECT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows.count("10.20.0.5"), 0u);
    ASSERT_TRUE(rows.count("10.20.0.9"));
    EXPECT_EQ(rows.at("10.20.0.9")[5], "unicast");

    const fs::path ini = RunDir() / "Quorvet.ini";
    std::ofstream(ini) << "[Connection]\nReadTimeout=300\n[Search]\nTargets=10.20.0.5, 10.20.0.7\n";
    const TCli r = Cli("search --csv --settings " + ini.string());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"10.20.0.5\","), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("\"10.20.0.9\","), std::string::npos) << r.out;
    // --target replaces the file's list.
    const TCli replaced = Cli("search --csv --settings " + ini.string() + " --target 10.20.0.9");
    EXPECT_EQ(replaced.out.find("\"10.20.0.5\","), std::string::npos) << replaced.out;
    EXPECT_NE(replaced.out.find("\"10.20.0.9\","), std::string::npos) << replaced.out;
}

TEST(Routed, ADeviceAnsweringBothWaysIsListedOnceWithItsAdapter) {
    const std::size_t mark = TDevsimLog().Mark();
    const auto rows = Search("--target 10.77.1.10 --target 10.77.1.5-10.77.1.12");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows.at("10.77.1.10")[5], "10.77.1.1");
    // Heard twice (broadcast and unicast), read once.
    const auto info = TDevsimLog().Select(
        [](const TDevsimLine& l) {
            return l.kind == "RX" && l.Get("dev") == "10.77.1.10" && l.Get("data") == "000000E4";
        },
        mark);
    EXPECT_EQ(info.size(), 1u);
}

TEST(Routed, ChangeIpIsRefusedForADeviceBehindTheRouter) {
    for (const char* way : {"", "--arp", "--all-adapters"}) {
        SCOPED_TRACE(way);
        const std::size_t mark = TDevsimLog().Mark();
        const TCli r = Cli("change-ip --mac " + FarMac + " --ip 10.20.0.50 " + way +
                           " --target 10.20.0.0/24 --settings /nonexistent.ini --timeout 300");
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("refused for the device " + FarMac +
                             " at 10.20.0.5 (adapter unicast): The device was found by unicast "
                             "through a router"),
                  std::string::npos)
            << r.err;
        // Nothing reached a device but the search's own queries.
        const auto after = TDevsimLog().Select(
            [](const TDevsimLine& l) {
                return l.kind == "IPCHANGE" ||
                       (l.kind == "RX" && l.Get("data").rfind("000000FC", 0) == 0);
            },
            mark);
        EXPECT_TRUE(after.empty());
    }
}

int main(int argc, char** argv) {
    RequireTestNetwork();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
