// The command-line tool's standard output: every byte arrives, whole UTF-8
// characters across its buffer's edges, and a failed write is kept with the
// system's reason instead of being lost.

#include "platform/StandardOutput.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Runs body with the process's standard output going to path (opened for
// writing; an empty path: no standard output at all), then puts it back.
void WithStandardOutput(const std::string& path, const std::function<void()>& body) {
    std::fflush(stdout);
#ifdef _WIN32
    const HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE file = INVALID_HANDLE_VALUE;
    if (!path.empty())
        file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    SetStdHandle(STD_OUTPUT_HANDLE, path.empty() ? nullptr : file);
    body();
    SetStdHandle(STD_OUTPUT_HANDLE, saved);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
#else
    const int saved = ::dup(STDOUT_FILENO);
    if (path.empty()) {
        ::close(STDOUT_FILENO);
    } else {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ::dup2(fd, STDOUT_FILENO);
        ::close(fd);
    }
    body();
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
#endif
}

TEST(StandardOutput, EveryByteArrivesAcrossTheBufferEdges) {
    const fs::path file = fs::path(testing::TempDir()) / "qvstdout.txt";
    // Two- and three-byte characters that straddle every 4096-byte edge.
    std::string text = "K\xC3\xBChlraum \xE2\x90\x8D\xE2\x90\x8A\n";
    for (int i = 0; i < 3000; ++i)
        text += i % 2 ? "\xC3\xBC" : "\xE2\x90\x9B";
    text += "\n";
    std::string error = "not run";
    bool good = false;
    WithStandardOutput(file.string(), [&] {
        platform::TStandardOutput output;
        std::ostream out(&output);
        out << text.substr(0, 13);
        out.put(text[13]);
        out << text.substr(14);
        out.flush();
        good = out.good();
        error = output.Error();
    });
    EXPECT_TRUE(good);
    EXPECT_EQ(error, "");
    EXPECT_EQ(ReadAll(file), text);
    fs::remove(file);
}

TEST(StandardOutput, NoStandardOutputIsAFailureOnceWrittenTo) {
    bool quietGood = false, good = true;
    std::string error;
    WithStandardOutput("", [&] {
        platform::TStandardOutput quiet;
        std::ostream none(&quiet);
        none.flush();
        quietGood = none.good(); // nothing was to be written
    });
    WithStandardOutput("", [&] {
        platform::TStandardOutput output;
        std::ostream out(&output);
        out << "0 device(s) found.\n";
        out.flush();
        good = out.good();
        error = output.Error();
#ifndef _WIN32
        // The number stays taken: a file opened now cannot receive the output.
        EXPECT_NE(::fcntl(STDOUT_FILENO, F_GETFD), -1);
#endif
    });
    EXPECT_TRUE(quietGood);
    EXPECT_FALSE(good);
    EXPECT_NE(error, "");
#ifndef _WIN32
    EXPECT_EQ(error, "Bad file descriptor");
#endif
}

#ifndef _WIN32
TEST(StandardOutput, AFullDeviceGivesItsReason) {
    bool good = true;
    std::string error;
    WithStandardOutput("/dev/full", [&] {
        platform::TStandardOutput output;
        std::ostream out(&output);
        out << std::string(10000, 'x');
        out << "more";
        out.flush();
        good = out.good();
        error = output.Error();
    });
    EXPECT_FALSE(good);
    EXPECT_EQ(error, "No space left on device");
}
#endif

} // namespace
