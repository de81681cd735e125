#include "utils/KavenLog.h"

#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <regex>

namespace {

TEST(EventLog, LinesWithoutTimestampsPerLevel) {
    struct Case {
        std::uint8_t level;
        const char* expected;
    };
    const Case cases[] = {
        {1, " [i] --- SEARCHING... ---\r\n"}, {2, " [x] --- SEARCHING... ---\r\n"},
        {3, " [-] --- SEARCHING... ---\r\n"}, {4, "  --- SEARCHING... ---\r\n"},
        {0, "  --- SEARCHING... ---\r\n"},    {255, "  --- SEARCHING... ---\r\n"},
    };
    for (const Case& c : cases) {
        TTempDir dir;
        TEventLog log(dir.File("search.log"), false);
        log.WriteLine(c.level, "--- SEARCHING... ---");
        EXPECT_EQ(TTempDir::Read(dir.File("search.log")), c.expected) << int(c.level);
    }
}

TEST(EventLog, TimestampedLineHasTheFixedPattern) {
    TTempDir dir;
    TEventLog log(dir.File("a.log"));
    log.WriteLine(1, "--- SEARCHING... ---");
    log.WriteLine(4, "plain");
    const std::string text = TTempDir::Read(dir.File("a.log"));
    const std::regex pattern(R"(\d\d-\d\d-\d\d \d\d:\d\d:\d\d \d{3} \[i\] --- SEARCHING\.\.\. ---)"
                             "\r\n"
                             R"(\d\d-\d\d-\d\d \d\d:\d\d:\d\d \d{3}  plain)"
                             "\r\n");
    EXPECT_TRUE(std::regex_match(text, pattern)) << text;
    // Month, day and clock fields stay in range.
    const std::regex fields(R"((\d\d)-(\d\d)-(\d\d) (\d\d):(\d\d):(\d\d) (\d{3}))");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(text, m, fields));
    EXPECT_GE(std::stoi(m[2]), 1);
    EXPECT_LE(std::stoi(m[2]), 12);
    EXPECT_GE(std::stoi(m[3]), 1);
    EXPECT_LE(std::stoi(m[3]), 31);
    EXPECT_LE(std::stoi(m[4]), 23);
    EXPECT_LE(std::stoi(m[5]), 59);
    EXPECT_LE(std::stoi(m[6]), 60);
}

TEST(EventLog, MaskDecidesMaskedLines) {
    struct Case {
        std::uint8_t mask;
        std::uint8_t categories;
        bool written;
    };
    const Case cases[] = {
        {0, 16, false}, {16, 16, true}, {17, 16, true},
        {1, 16, false}, {17, 1, true},  {255, 0, false},
    };
    for (const Case& c : cases) {
        TTempDir dir;
        TEventLog log(dir.File("m.log"), false, c.mask);
        log.WriteLineMasked(c.categories, 1, "--- DEVICE LIST ---");
        EXPECT_EQ(TTempDir::Read(dir.File("m.log")),
                  c.written ? " [i] --- DEVICE LIST ---\r\n" : "")
            << "mask " << int(c.mask) << " categories " << int(c.categories);
    }
}

TEST(EventLog, DisabledCreatesNoFile) {
    TTempDir dir;
    TEventLog log(dir.File("off.log"), true, 255);
    log.Enabled = false;
    log.WriteLine(1, "x");
    log.WriteLineMasked(16, 1, "y");
    EXPECT_FALSE(std::filesystem::exists(dir.File("off.log")));
}

TEST(EventLog, AppendsNeverTruncatesAndKeepsBytes) {
    TTempDir dir;
    const std::string file = dir.File("keep.log");
    TTempDir::Write(file, "old line\r\n");
    TEventLog log(file, false);
    log.WriteLine(2, std::string("zero\0byte", 9));
    TEventLog second(file, false);
    second.WriteLine(1, "again K\xC3\xBChlraum");
    EXPECT_EQ(TTempDir::Read(file), "old line\r\n [x] zero\xE2\x90\x80"
                                    "byte\r\n [i] again K\xC3\xBChlraum\r\n");
}

// Nothing in a message acts on a terminal that shows the file, and no line
// break but the program's own CR LF (its two-line error messages) gets
// through: a lone CR or LF, ESC, C1, the separators show as symbols.
TEST(EventLog, ControlCharactersAreShownExceptTheProgramsLineBreak) {
    TTempDir dir;
    const std::string file = dir.File("controls.log");
    TEventLog log(file, false);
    log.WriteLine(1, "K\xFChl\r26-01-01 00:00:00 000 [x] forged\n\x1B[2J\x9B");
    log.WriteLine(2, "Socket Error # 90\r\nMessage too long");
    log.WriteLine(1, "\xE2\x80\xA8\xEF\xB7\x90\xC2\x85.\r");
    EXPECT_EQ(TTempDir::Read(file),
              " [i] K\xC3\xBChl\xE2\x90\x8D"
              "26-01-01 00:00:00 000 [x] forged\xE2\x90\x8A\xE2\x90\x9B[2J\xEF\xBF\xBD\r\n"
              " [x] Socket Error # 90\r\nMessage too long\r\n"
              " [i] \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD.\xE2\x90\x8D\r\n");
}

TEST(EventLog, UnwritablePathsLoseTheLineSilently) {
    TTempDir dir;
    std::filesystem::create_directories(dir.Path() / "adir");
    const std::string paths[] = {dir.File("missing/folder/x.log"), dir.File("adir"), "",
                                 std::string("bad\0name", 8)};
    for (const std::string& p : paths) {
        TEventLog log(p, true, 255);
        EXPECT_NO_THROW(log.WriteLine(1, "lost"));
        EXPECT_NO_THROW(log.WriteLineMasked(16, 2, "lost"));
        EXPECT_NO_THROW(log.WriteLineMasked(0, 2, "not asked for"));
        EXPECT_EQ(log.LostLines(), 2u) << "counted, for a caller that must tell";
    }
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "missing"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "adir"));
}

} // namespace
