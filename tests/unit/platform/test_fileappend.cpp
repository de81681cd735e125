// Whether a log can be appended to, known before anything is written: a
// folder, a pipe, a device or a file the system will not write is refused
// with its reason, unopened where opening would act on it.

#include "platform/FileAppend.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#ifndef _WIN32
#include "support/HostileFiles.h"
#endif

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(AppendTarget, PlainFilesPassAndStayAsTheyWere) {
    const fs::path dir = fs::path(testing::TempDir()) / "qvappendtarget";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path old = dir / "old.log", fresh = dir / "new.log";
    std::ofstream(old, std::ios::binary) << "line\r\n";
    EXPECT_EQ(platform::AppendTargetProblem(old.string()), "");
    EXPECT_EQ(ReadAll(old), "line\r\n");
    EXPECT_EQ(platform::AppendTargetProblem(fresh.string()), "");
    EXPECT_TRUE(fs::is_regular_file(fresh)); // created, as the first line would
    EXPECT_EQ(fs::file_size(fresh), 0u);

    EXPECT_EQ(platform::AppendTargetProblem(dir.string()), "Is a directory");
    EXPECT_NE(platform::AppendTargetProblem((dir / "no" / "x.log").string()), "");
    EXPECT_FALSE(fs::exists(dir / "no"));
    EXPECT_EQ(platform::AppendTargetProblem(""), "Not a usable file name");
    EXPECT_EQ(platform::AppendTargetProblem(std::string("a\0b", 3)), "Not a usable file name");
    fs::remove_all(dir);
}

#ifdef _WIN32
TEST(AppendTarget, DevicesAreNoLogFiles) {
    EXPECT_EQ(platform::AppendTargetProblem("NUL"), "Not a regular file");
}
#else
TEST(AppendTarget, PipesDevicesAndSystemFilesAreRefused) {
    const fs::path dir = fs::path(testing::TempDir()) / "qvappendtarget-posix";
    fs::create_directories(dir);
    const TFifo fifo((dir / "fifo").string());
    ASSERT_TRUE(fifo.Created());
    std::string problem;
    // Never blocks on a pipe nobody reads.
    EXPECT_TRUE(EndsWithin([&] { problem = platform::AppendTargetProblem(fifo.Path()); }, fifo));
    EXPECT_EQ(problem, "Not a regular file");
    EXPECT_EQ(platform::AppendTargetProblem("/dev/null"), "Not a regular file");
    EXPECT_EQ(platform::AppendTargetProblem("/dev/full"), "Not a regular file");
    EXPECT_EQ(platform::AppendTargetProblem((dir / "no" / "x.log").string()),
              "No such file or directory");
    // A regular file by its type that takes no data: the system says why.
    if (fs::exists("/proc/version")) {
        EXPECT_NE(platform::AppendTargetProblem("/proc/version"), "");
    }
    fs::remove_all(dir);
}
#endif

} // namespace
