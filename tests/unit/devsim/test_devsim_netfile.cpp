// A description file that is no plain file, or far too big, ends the
// simulator at once with its error, instead of a wait for a writer or a read
// of an endless device.

#include "support/HostileFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>

namespace {

struct TRun {
    int status = -1; // exit status; -1 when killed or not run
    std::string output;
};

// quorvet-devsim --plan path, killed after 10 seconds.
TRun Plan(const std::string& path) {
    TRun run;
    const std::string cmd =
        "timeout -s KILL 10 " + std::string(DEVSIM_PATH) + " --plan '" + path + "' 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p)
        return run;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p))
        run.output += buf;
    const int status = ::pclose(p);
    if (WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    return run;
}

class DevsimNetFile : public testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/qvnetfileXXXXXX";
        ASSERT_NE(::mkdtemp(templ), nullptr);
        dir = templ;
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string dir;
};

TEST_F(DevsimNetFile, NoPlainFileEndsAtOnceWithItsError) {
    TFifo fifo(dir + "/pipe.net");
    ASSERT_TRUE(fifo.Created());
    std::filesystem::create_directory(dir + "/folder.net");
    std::filesystem::create_symlink("/dev/zero", dir + "/zero.net");
    for (const std::string& path :
         {fifo.Path(), dir + "/folder.net", dir + "/zero.net", std::string("/dev/zero")}) {
        const TRun run = Plan(path);
        EXPECT_EQ(run.status, 2) << path << ": " << run.output;
        EXPECT_NE(run.output.find(path + ": not a regular file"), std::string::npos) << run.output;
    }
}

TEST_F(DevsimNetFile, OverSixteenMegabytesIsRefusedAndSixteenRead) {
    const std::string line = "adapter 10.0.0.1/24\n";
    const std::size_t limit = 16 * 1024 * 1024;
    for (const std::size_t size : {limit, limit + 1}) {
        const std::string path = dir + "/big" + std::to_string(size) + ".net";
        // A comment fills the file up to its size.
        std::ofstream(path, std::ios::binary)
            << line << "#" << std::string(size - line.size() - 2, 'x') << "\n";
        ASSERT_EQ(std::filesystem::file_size(path), size);
        const TRun run = Plan(path);
        if (size == limit) {
            EXPECT_EQ(run.status, 0) << run.output.substr(0, 500);
        } else {
            EXPECT_EQ(run.status, 2) << run.output.substr(0, 500);
            EXPECT_NE(run.output.find(path + ": larger than 16 MB"), std::string::npos)
                << run.output.substr(0, 500);
        }
    }
    const TRun missing = Plan(dir + "/missing.net");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.output.find(dir + "/missing.net: cannot open"), std::string::npos)
        << missing.output;
}

} // namespace

// Router lines: the plan qvnet builds from, and descriptions it must refuse.
TEST_F(DevsimNetFile, RoutersAndTheirDevicesArePlanned) {
    const auto write = [this](const std::string& text) {
        const std::string path = dir + "/net.net";
        std::ofstream(path) << text;
        return path;
    };
    const TRun ok = Plan(write("adapter 10.77.1.1/24\nadapter 10.77.2.1/24\n"
                               "router 10.77.2.254/24 10.20.0.1/23\n"
                               "device r1 ip=10.20.1.5 mac=00-20-4A-00-00-05\n"
                               "device 1 ip=10.77.1.10 mac=00-20-4A-00-00-10\n"
                               "device r1 ip=10.20.0.6 mac=00-20-4A-00-00-06 from=10.20.0.7\n"));
    EXPECT_EQ(ok.status, 0) << ok.output;
    EXPECT_EQ(ok.output, "adapter 1 10.77.1.1/24 -\n"
                         "adapter 2 10.77.2.1/24 -\n"
                         "router 1 2 10.77.2.254/24 10.20.0.1/23 10.20.0.0/23\n"
                         "device r1 dr1x1 00:20:4A:00:00:05 10.20.1.5/23\n"
                         "device 1 d1x1 00:20:4A:00:00:10 10.77.1.10/24\n"
                         "device r1 dr1x2 00:20:4A:00:00:06 10.20.0.6/23 10.20.0.7/23\n");

    const struct {
        const char* text;
        const char* error;
    } bad[] = {
        {"adapter 10.77.1.1/24\nrouter 10.77.9.254/24 10.20.0.1/24\n", "is on no adapter's subnet"},
        {"adapter 10.77.1.1/24\nrouter 10.77.1.254/24 10.77.1.200/24\n", "overlaps the subnet"},
        {"adapter 10.77.1.1/24\nrouter 10.77.1.254/24\n", "expected 'router ADAPTER-SIDE"},
        {"adapter 10.77.1.1/24\nrouter 10.77.1.254/24 10.20.0.1/24\n"
         "device r2 ip=10.20.0.5 mac=00-20-4A-00-00-05\n",
         "there is no router 2"},
        {"adapter 10.77.1.1/24\nrouter 10.77.1.254/24 10.20.0.1/24\n"
         "device r1 ip=10.20.0.1 mac=00-20-4A-00-00-05\n",
         "10.20.0.1 is used twice"},
        {"adapter 10.77.1.1/24\ndevice 1 ip=10.77.1.5 mac=00-20-4A-00-00-05\n"
         "router 10.77.1.254/24 10.20.0.1/24\n",
         "router lines must come before the device lines"},
        {"adapter 10.77.1.1/24\nrouter 10.77.1.254/24 10.20.0.1/24\nadapter 10.77.2.1/24\n",
         "adapter lines must come before the router lines"},
    };
    for (const auto& b : bad) {
        const TRun run = Plan(write(b.text));
        EXPECT_EQ(run.status, 2) << b.text;
        EXPECT_NE(run.output.find(b.error), std::string::npos) << run.output;
    }
}
