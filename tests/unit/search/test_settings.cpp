#include "search/uXPortSearch.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// A settings file of its own per test, so tests can run side by side.
struct SettingsFile : ::testing::Test {
    void SetUp() override {
        auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path = std::filesystem::temp_directory_path() /
               ("qv-settings-" + std::to_string(::getpid()) + "-" + info->name() + ".ini");
    }
    void TearDown() override { std::filesystem::remove(path); }
    std::string Write(const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    std::filesystem::path path;
};

} // namespace

TEST(ReadTimeoutBounds, NoValueWaitsWithoutLimit) {
    struct Case {
        int in, out;
    } cases[] = {{-1, -1},
                 {0, 0},
                 {1, 1},
                 {250, 250},
                 {60000, 60000},
                 {60001, 60000},
                 {2147483647, 60000},
                 {-2, 1000},
                 {-2147483647 - 1, 1000}};
    for (const Case& c : cases)
        EXPECT_EQ(TXportSearch::EffectiveReadTimeout(c.in), c.out) << c.in;
}

TEST_F(SettingsFile, ReadTimeoutForms) {
    struct Case {
        const char* file;
        int timeout;
    } cases[] = {
        {"[Connection]\nReadTimeout=250\n", 250},
        {"  [ connection ]  \r\n  readtimeout  =  $FA  \r\n", 250},
        {"[CONNECTION]\nREADTIMEOUT=0x1F4\n", 500},
        {"; comment\n\n[Connection]\n;ReadTimeout=5\nReadTimeout=7\n", 7},
        {"ReadTimeout=5\n[Connection]\n", 1000},    // before any section; key missing
        {"[Connection]\nReadTimeout=\n", 1000},     // empty value
        {"[Connection]\nReadTimeout=fast\n", 1000}, // not a number
        {"[Connection]\nReadTimeout 250\n", 1000},  // no "="
        {"[Connection]\nReadTimeout=-1\n", -1},
        {"[Connection]\nReadTimeout=0\n", 0},
        {"[Connection]\nReadTimeout=-500\n", 1000},
        {"[Connection]\nReadTimeout=999999999\n", 60000},
        {"[Connection]\nReadTimeout=99999999999999\n", 1000},
        {"[Other]\nReadTimeout=5\n[Connection]\nReadTimeout=33\n", 33},
    };
    for (const Case& c : cases) {
        TXportSearch engine;
        engine.LoadSettings(Write(c.file));
        EXPECT_EQ(engine.ReadTimeout, c.timeout) << c.file;
        EXPECT_EQ(engine.SettingsFileName, path.string());
    }
}

TEST_F(SettingsFile, MissingFileOrSectionKeepsWhatWasThere) {
    TXportSearch engine;
    engine.ReadTimeout = 321;
    engine.TypeNames[7] = "custom";
    engine.LoadSettings((path.string() + ".missing"));
    EXPECT_EQ(engine.ReadTimeout, 321);
    EXPECT_EQ(engine.TypeNames[7], "custom");

    engine.LoadSettings(Write("[label]\nReadTimeout=5\nSensor102=x\n"));
    EXPECT_EQ(engine.ReadTimeout, 321);
    EXPECT_EQ(engine.TypeNames[7], "custom");
}

TEST_F(SettingsFile, GlobalTypesOverrideSlots) {
    TXportSearch defaults;
    TXportSearch engine;
    engine.TypeNames[9] = "custom"; // a section present reloads every slot
    engine.LoadSettings(Write("[GlobalTypes]\nsensor101 = Boiler X\nLAN=\nQS102=Q2\nSensor10a=Ten\n"
                              "Sensor138=Last\nSensor139=ignored\n"));
    for (int slot = 0; slot < XPortTypeNameCount; ++slot) {
        std::string want = defaults.TypeNames[static_cast<std::size_t>(slot)];
        if (slot == 0)
            want = ""; // present with an empty value
        if (slot == 3)
            want = "Q2";
        if (slot == 6)
            want = "Boiler X";
        if (slot == 15)
            want = "Ten";
        if (slot == 61)
            want = "Last";
        EXPECT_EQ(engine.TypeNames[static_cast<std::size_t>(slot)], want) << slot;
    }
    EXPECT_EQ(engine.ReadTimeout, 1000);
}
