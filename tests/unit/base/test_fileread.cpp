// The reader every settings and description file goes through: plain files
// only, never blocking, never more than the caller's bound.

#include "base/uFileRead.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#ifndef _WIN32
#include "support/HostileFiles.h"
#endif

namespace {

namespace fs = std::filesystem;

class FileReadTest : public testing::Test {
protected:
    void SetUp() override {
        dir = fs::path(testing::TempDir()) /
              ("qvfileread-" +
               std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string Write(const std::string& name, const std::string& content) const {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    fs::path dir;
};

TEST_F(FileReadTest, WholeFileUpToTheBoundAndOnlyItsBeginningBeyond) {
    std::string text = "stale";
    const std::string content("ab\0cd\n", 6); // zero bytes are data
    const std::string six = Write("six", content);
    EXPECT_EQ(ReadRegularFile(six, 6, text), TFileRead::Ok);
    EXPECT_EQ(text, content);
    EXPECT_EQ(ReadRegularFile(six, 5, text), TFileRead::TooLarge);
    EXPECT_EQ(text, content.substr(0, 5));
    EXPECT_EQ(ReadRegularFile(six, 0, text), TFileRead::TooLarge);
    EXPECT_EQ(text, "");
    EXPECT_EQ(ReadRegularFile(Write("empty", ""), 0, text), TFileRead::Ok);
    EXPECT_EQ(text, "");

    // Longer than one read of the reader, with a different byte at each end.
    std::string big(300 * 1024 + 7, 'x');
    big.front() = '<';
    big.back() = '>';
    const std::string bigFile = Write("big", big);
    EXPECT_EQ(ReadRegularFile(bigFile, big.size(), text), TFileRead::Ok);
    EXPECT_EQ(text, big);
    EXPECT_EQ(ReadRegularFile(bigFile, big.size() - 1, text), TFileRead::TooLarge);
    EXPECT_EQ(text, big.substr(0, big.size() - 1));
}

TEST_F(FileReadTest, NoFileAFolderOrAnImpossibleNameIsNotRead) {
    std::string text = "stale";
    EXPECT_EQ(ReadRegularFile((dir / "missing").string(), 100, text), TFileRead::Missing);
    EXPECT_EQ(text, "");
    EXPECT_EQ(ReadRegularFile((dir / "missing" / "x").string(), 100, text), TFileRead::Missing);
    fs::create_directories(dir / "sub");
    text = "stale";
    EXPECT_EQ(ReadRegularFile((dir / "sub").string(), 100, text), TFileRead::NotRegular);
    EXPECT_EQ(text, "");
    EXPECT_EQ(ReadRegularFile("", 100, text), TFileRead::Failed);
    const std::string file = Write("f", "data");
    EXPECT_EQ(ReadRegularFile(file + std::string(1, '\0') + "x", 100, text), TFileRead::Failed);

    TRegularFile folder((dir / "sub").string());
    EXPECT_EQ(folder.Status(), TFileRead::NotRegular);
    char c = 0;
    EXPECT_EQ(folder.Read(&c, 1), -1);
}

TEST_F(FileReadTest, ReadGoesOnWhereItStopped) {
    TRegularFile file(Write("f", "hello"));
    ASSERT_EQ(file.Status(), TFileRead::Ok);
    char buf[8] = {};
    EXPECT_EQ(file.Read(buf, 3), 3);
    EXPECT_EQ(std::string(buf, 3), "hel");
    EXPECT_EQ(file.Read(buf, sizeof buf), 2);
    EXPECT_EQ(std::string(buf, 2), "lo");
    EXPECT_EQ(file.Read(buf, sizeof buf), 0);
}

#ifdef _WIN32

TEST_F(FileReadTest, DevicesAreNotRead) {
    std::string text;
    for (const char* device : {"NUL", "CON", "\\\\.\\pipe\\quorvet-test-none"})
        EXPECT_NE(ReadRegularFile(device, 100, text), TFileRead::Ok) << device;
}

#else

TEST_F(FileReadTest, PipeIsRefusedAtOnce) {
    TFifo fifo((dir / "pipe").string());
    ASSERT_TRUE(fifo.Created());
    TFileRead result = TFileRead::Ok;
    std::string text;
    EXPECT_TRUE(EndsWithin([&] { result = ReadRegularFile(fifo.Path(), 100, text); }, fifo));
    EXPECT_EQ(result, TFileRead::NotRegular);
    // Also behind a link, and when opened as one file.
    fs::create_symlink(fifo.Path(), dir / "link");
    EXPECT_TRUE(EndsWithin([&] { result = TRegularFile((dir / "link").string()).Status(); }, fifo));
    EXPECT_EQ(result, TFileRead::NotRegular);
}

TEST_F(FileReadTest, DevicesAreNotReadButLinksToFilesAre) {
    std::string text;
    for (const char* device : {"/dev/zero", "/dev/null", "/dev/tty", "/dev/urandom"})
        EXPECT_NE(ReadRegularFile(device, 100, text), TFileRead::Ok) << device;
    EXPECT_EQ(ReadRegularFile("/dev/zero", 100, text), TFileRead::NotRegular);
    // A settings file may well be a link to the real one.
    fs::create_symlink(Write("real", "k=v"), dir / "link");
    EXPECT_EQ(ReadRegularFile((dir / "link").string(), 100, text), TFileRead::Ok);
    EXPECT_EQ(text, "k=v");
}

TEST_F(FileReadTest, UnreadableFileFails) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    const std::string file = Write("secret", "x");
    fs::permissions(file, fs::perms::none);
    std::string text;
    EXPECT_EQ(ReadRegularFile(file, 100, text), TFileRead::Failed);
}

#endif

} // namespace
