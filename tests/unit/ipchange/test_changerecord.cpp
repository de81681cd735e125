// The change record: what ChangeIP appends, one line per attempt, whatever
// the outcome, and that a record that cannot be written never spoils the
// change itself.

#include "ipchange/uXPortIPChangeRecord.h"
#include "ipchange/uXPortIPChangeStrings.h"
#include "support/FakeIPChangeServices.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace IPChangeStrings;

class ChangeRecord : public testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        dir = fs::path(testing::TempDir()) /
              ("qv-record-" + std::to_string(std::rand()) + "-" + std::to_string(counter++));
        fs::remove_all(dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    // The lines of the record, without their CR LF.
    std::vector<std::string> Lines(const fs::path& file) const {
        std::ifstream in(file, std::ios::binary);
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(in, line)) {
            EXPECT_FALSE(line.empty() || line.back() != '\r') << "line without CR LF: " << line;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }
    // The text after the time stamp ("yy-mm-dd hh:nn:ss zzz ").
    static std::string AfterStamp(const std::string& line) {
        return line.size() > 22 ? line.substr(22) : std::string();
    }

    fs::path dir;
};

TEST_F(ChangeRecord, EveryAttemptOfChangeIPIsOneLineInAFolderMadeForIt) {
    const fs::path file = dir / "state" / "KavenLoggers" / "Quorvet" / "changes.log";
    TFakeEngine f;
    f.net.adapterTable = {Adapter("qv0", {{"192.168.1.1", "255.255.255.0"}})};
    f.engine->RecordFile = file.string();
    f.engine->OldIP = "192.168.1.213";
    std::string message;
    int code = -1;
    ASSERT_TRUE(
        f.engine->ChangeIP("00-20-4A-10-0D-13", "192.168.1.50", "192.168.1.1", message, code));
    f.net.pingAnswers = true;
    EXPECT_FALSE(
        f.engine->ChangeIP("00-20-4A-10-0D-13", "192.168.1.51", "192.168.1.1", message, code));
    f.net.pingAnswers = false;
    f.net.pingRaises = true;
    EXPECT_FALSE(
        f.engine->ChangeIP("00-20-4A-10-0D-13", "192.168.1.52", "192.168.1.1", message, code));

    const std::vector<std::string> lines = Lines(file);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(AfterStamp(lines[0]),
              "[i] IP change: MAC 00-20-4A-10-0D-13, 192.168.1.213 -> 192.168.1.50, way IP-SETUP, "
              "adapter 192.168.1.1, done: " +
                  std::string(SIPChangeRequestSent));
    EXPECT_EQ(AfterStamp(lines[1]),
              "[x] IP change: MAC 00-20-4A-10-0D-13, 192.168.1.213 -> 192.168.1.51, way IP-SETUP, "
              "adapter 192.168.1.1, failed: " +
                  std::string(SIPChangeIPExists));
    EXPECT_EQ(AfterStamp(lines[2]),
              "[x] IP change: MAC 00-20-4A-10-0D-13, 192.168.1.213 -> 192.168.1.52, way IP-SETUP, "
              "adapter 192.168.1.1, failed: " +
                  std::string(SIPChangeError) + " (" + SIPChangeCausePing + ")");
}

TEST_F(ChangeRecord, TextNamesTheWayAndStaysOneLine) {
    TIPChangeRecord r;
    r.MAC = "00-20-4A-10-02-40";
    r.NewIP = "0.0.0.0";
    r.AllAdapters = true;
    r.Adapter = "10.77.1.1";
    r.Done = true;
    r.Message = "first\r\nsecond";
    EXPECT_EQ(ChangeRecordText(r), "IP change: MAC 00-20-4A-10-02-40, - -> 0.0.0.0 (DHCP), way "
                                   "IP-SETUP, adapter all adapters, done: first  second");
    r.ArpOnly = true;
    r.NewIP = "10.77.2.60";
    r.OldIP = "10.77.2.40";
    r.Done = false;
    r.Message = "IP address change error.";
    r.Cause = "why\nnot";
    EXPECT_EQ(ChangeRecordText(r), "IP change: MAC 00-20-4A-10-02-40, 10.77.2.40 -> 10.77.2.60, "
                                   "way ARP table, adapter -, failed: IP address change error. "
                                   "(why not)");
}

TEST_F(ChangeRecord, UnwritableRecordLeavesTheChangeAlone) {
    fs::create_directories(dir / "changes.log"); // a folder where the file should be
    TFakeEngine f;
    f.net.adapterTable = {Adapter("qv0", {{"192.168.1.1", "255.255.255.0"}})};
    f.engine->RecordFile = (dir / "changes.log").string();
    std::string message;
    int code = -1;
    EXPECT_TRUE(
        f.engine->ChangeIP("00-20-4A-10-0D-13", "192.168.1.50", "192.168.1.1", message, code));
    EXPECT_EQ(code, IPChangeRequestSent);
    EXPECT_FALSE(AppendChangeRecord((dir / "changes.log").string(), TIPChangeRecord{}));
    EXPECT_FALSE(AppendChangeRecord("", TIPChangeRecord{}));
}

#ifndef _WIN32
TEST_F(ChangeRecord, DefaultFileFollowsXdgStateHome) {
    const char* saved = std::getenv("XDG_STATE_HOME");
    const std::string keep = saved ? saved : "";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("XDG_STATE_HOME", "/srv/state", 1);
    EXPECT_EQ(DefaultChangeRecordFile(), "/srv/state/KavenLoggers/Quorvet/changes.log");
    setenv("XDG_STATE_HOME", "relative/ignored", 1);
    setenv("HOME", "/home/tech", 1);
    EXPECT_EQ(DefaultChangeRecordFile(),
              "/home/tech/.local/state/KavenLoggers/Quorvet/changes.log");
    setenv("HOME", home.c_str(), 1);
    if (saved)
        setenv("XDG_STATE_HOME", keep.c_str(), 1);
    else
        unsetenv("XDG_STATE_HOME");
}
#endif

} // namespace
