// quorvet-cli doctor on this machine: read-only, so it runs outside the test
// network. What it finds here is the machine's; what is checked is the
// shape of its lines, its exit status and the settings file it is given.
#include "CliApp.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

struct TRun {
    int status = -1;
    std::vector<std::string> lines;
    std::string err;
};

TRun Doctor(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    TRun r;
    r.status = RunCli(args, false, out, err);
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);)
        r.lines.push_back(line);
    r.err = err.str();
    return r;
}

class DoctorSettings : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("qv-doctor-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Write(const std::string& text) {
        const auto path = (dir_ / "Quorvet.ini").string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    std::filesystem::path dir_;
};

TEST_F(DoctorSettings, EveryLineIsAResultAndTheStatusFollowsTheProblems) {
    const std::string ini = Write("[Connection]\r\nReadTimeout=750\r\n");
    const TRun r = Doctor({"doctor", "--settings", ini}); // needs no --real-network
    EXPECT_EQ(r.err, "");
    ASSERT_FALSE(r.lines.empty());
    bool problem = false;
    for (const auto& line : r.lines) {
        const bool known = line.rfind("ok: ", 0) == 0 || line.rfind("note: ", 0) == 0 ||
                           line.rfind("problem: ", 0) == 0;
        EXPECT_TRUE(known) << line;
        problem = problem || line.rfind("problem: ", 0) == 0;
    }
    EXPECT_EQ(r.status, problem ? 1 : 0);
    EXPECT_EQ(r.lines.back(), "ok: settings: " + ini +
                                  ": [Connection] ReadTimeout=750: the search waits 750 ms for "
                                  "replies");
}

TEST_F(DoctorSettings, AReadTimeoutThatMissesDevicesIsAProblem) {
    const std::string ini = Write("[connection]\nreadtimeout=0\n");
    const TRun r = Doctor({"doctor", "--settings", ini});
    EXPECT_EQ(r.status, 1);
    ASSERT_FALSE(r.lines.empty());
    EXPECT_EQ(r.lines.back(), "problem: settings: " + ini +
                                  ": [Connection] ReadTimeout=0: the search does not wait for "
                                  "replies and misses devices; set it to 1000 (ms) or more");
    // A folder by that name cannot be the settings file.
    const TRun folder = Doctor({"doctor", "--settings", dir_.string()});
    EXPECT_EQ(folder.status, 1);
    EXPECT_EQ(folder.lines.back(), "problem: settings: " + dir_.string() +
                                       " cannot be read (not a regular file): its settings are "
                                       "not used; fix or remove it");
}

TEST(CliDoctor, UsageErrorsAndHelp) {
    TRun r = Doctor({"doctor", "--bogus"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("quorvet-cli doctor: unknown option '--bogus'"), std::string::npos)
        << r.err;
    r = Doctor({"doctor", "--help"});
    EXPECT_EQ(r.status, 0);
    std::string all;
    for (const auto& l : r.lines)
        all += l + "\n";
    EXPECT_NE(all.find("Sends nothing and changes nothing."), std::string::npos) << all;
    EXPECT_NE(all.find("Exit status 0 when"), std::string::npos) << all;
}

} // namespace
