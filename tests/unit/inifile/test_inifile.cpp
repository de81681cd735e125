#include "base/uErrors.h"
#include "base/uIniFile.h"
#include "support/HostileFiles.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <vector>

#include <sys/stat.h>

TEST(IniFile, ParsesSectionsKeysCommentsAndBlanks) {
    const TIniFile ini = TIniFile::Parse("orphan=1\r\n"
                                         "  [ Connection ]  \r\n"
                                         "; ReadTimeout=5\r\n"
                                         "\r\n"
                                         "no equals sign here\r\n"
                                         "  readtimeout  =  250  \r\n"
                                         "ReadTimeout=999\r\n"
                                         "Url=a=b\r\n"
                                         "Empty=\r\n"
                                         "[Other]\n"
                                         "x=y");
    EXPECT_FALSE(ini.Value("", "orphan").has_value()); // before the first section
    EXPECT_TRUE(ini.HasSection("CONNECTION"));
    EXPECT_EQ(ini.Value("connection", "READTIMEOUT"), "250"); // first key wins
    EXPECT_EQ(ini.Value("Connection", "Url"), "a=b");         // split at the first "="
    EXPECT_EQ(ini.Value("Connection", "Empty"), "");
    EXPECT_FALSE(ini.Value("Connection", "x").has_value());
    EXPECT_EQ(ini.Value("other", "X"), "y"); // last line without a line end
    EXPECT_EQ(ini.ReadString("Missing", "k", "def"), "def");
}

TEST(IniFile, ByteOrderMarkReadsLikeTheSameFileWithoutIt) {
    const std::string body = "[Connection]\r\nReadTimeout=250\r\n[GlobalTypes]\r\nLan=Hub\r\n";
    const std::string path = ::testing::TempDir() + "/bom.ini";
    {
        std::ofstream out(path, std::ios::binary);
        out << "\xEF\xBB\xBF" << body;
    }
    auto ini = TIniFile::Load(path);
    ASSERT_TRUE(ini.has_value());
    EXPECT_TRUE(ini->HasSection("Connection"));
    EXPECT_EQ(ini->Value("Connection", "ReadTimeout"), "250");
    EXPECT_EQ(ini->Value("GlobalTypes", "Lan"), "Hub");
    std::remove(path.c_str());

    // Only a mark at the very start is dropped; anywhere else it is text.
    EXPECT_EQ(TIniFile::Parse("\xEF\xBB\xBF[s]\nk=v").Value("s", "k"), "v");
    EXPECT_FALSE(TIniFile::Parse("\xEF\xBB\xBF").HasSection(""));
    EXPECT_EQ(TIniFile::Parse("[s]\nk=\xEF\xBB\xBFv").Value("s", "k"), "\xEF\xBB\xBFv");
    EXPECT_FALSE(TIniFile::Parse(" \xEF\xBB\xBF[s]\nk=v").HasSection("s"));
}

TEST(IniFile, MissingFileIsNotAnErrorAndHugeFileIsBounded) {
    EXPECT_FALSE(TIniFile::Load("/nonexistent/dir/Quorvet.ini").has_value());

    const std::string path = ::testing::TempDir() + "/huge.ini";
    {
        std::ofstream out(path, std::ios::binary);
        out << "[a]\nk=v\n";
        out << std::string(TIniFile::MaxFileSize * 2, 'x');
    }
    auto ini = TIniFile::Load(path);
    ASSERT_TRUE(ini.has_value());
    EXPECT_EQ(ini->Value("a", "k"), "v");
    std::remove(path.c_str());
}

TEST(IniFile, BinaryGarbageNeverBreaksParsing) {
    std::string junk;
    for (int i = 0; i < 4096; ++i)
        junk.push_back(static_cast<char>((i * 37) & 0xFF));
    const TIniFile ini = TIniFile::Parse(junk + "\n[s]\nk=\x01\x02\n[");
    EXPECT_EQ(ini.Value("s", "k"), std::string("\x01\x02"));
}

TEST(IniFile, APipeOrFolderOfThatNameIsNotReadAndNeverBlocks) {
    const std::string fifo = ::testing::TempDir() + "/pipe.ini";
    std::remove(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(TIniFile::Load(fifo).has_value());
    std::remove(fifo.c_str());
    EXPECT_FALSE(TIniFile::Load(::testing::TempDir()).has_value());
}

TEST(IniFile, AnEndlessDeviceOrAPipeBehindALinkIsNotRead) {
    EXPECT_FALSE(TIniFile::Load("/dev/zero").has_value());
    EXPECT_FALSE(TIniFile::Load("/dev/null").has_value());
    const std::string dir = ::testing::TempDir();
    TFifo fifo(dir + "/linked-pipe");
    ASSERT_TRUE(fifo.Created());
    const std::string link = dir + "/linked.ini";
    std::remove(link.c_str());
    ASSERT_EQ(::symlink(fifo.Path().c_str(), link.c_str()), 0);
    bool loaded = true;
    EXPECT_TRUE(EndsWithin([&] { loaded = TIniFile::Load(link).has_value(); }, fifo));
    EXPECT_FALSE(loaded);
    std::remove(link.c_str());
}

TEST(IniFile, WithValueSetsTheValueReadBackAndKeepsEveryOtherLine) {
    const std::string text = "; kept comment\r\n"
                             "[Files]\r\n"
                             "Folder=/data, 2024\r\n"
                             "[UserChoices]\r\n"
                             "sortcolumn = 2\r\n"
                             "SortColumn=9\r\n"
                             "\r\n"
                             "[Other]\n"
                             "x=y";
    // The key Value reads is the one replaced, its CR LF kept.
    std::string t = TIniFile::WithValue(text, "userchoices", "SortColumn", "3");
    EXPECT_EQ(t, "; kept comment\r\n[Files]\r\nFolder=/data, 2024\r\n[UserChoices]\r\n"
                 "SortColumn=3\r\nSortColumn=9\r\n\r\n[Other]\nx=y");
    // A new key goes after the section's last key, before the blank line.
    t = TIniFile::WithValue(t, "UserChoices", "Width", "640");
    EXPECT_EQ(TIniFile::Parse(t).Value("UserChoices", "Width"), "640");
    EXPECT_NE(t.find("SortColumn=9\r\nWidth=640\n\r\n[Other]"), std::string::npos) << t;
    // A new section at the end, after a last line without its line end.
    t = TIniFile::WithValue(t, "Targets", "List", "10.20.0.0/24 10.30.1.7");
    const TIniFile ini = TIniFile::Parse(t);
    EXPECT_EQ(ini.Value("Targets", "List"), "10.20.0.0/24 10.30.1.7");
    EXPECT_EQ(ini.Value("Files", "Folder"), "/data, 2024");
    EXPECT_EQ(ini.Value("Other", "x"), "y");
    EXPECT_EQ(TIniFile::WithValue("", "A", "k", ""), "[A]\nk=\n");

    // Nothing that would read back as something else.
    for (const auto& [section, key, value] :
         std::vector<std::array<std::string, 3>>{{"A", "k", "two\nlines"},
                                                 {"A", "k", "ends\r"},
                                                 {"A", "k", " padded"},
                                                 {"A", "k=v", "1"},
                                                 {"A", "", "1"},
                                                 {"A]", "k", "1"},
                                                 {"A", ";k", "1"}})
        EXPECT_THROW(TIniFile::WithValue(text, section, key, value), Exception) << key << value;
}
