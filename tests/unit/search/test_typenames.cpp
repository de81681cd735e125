#include "search/uXPortSearch.h"

#include <gtest/gtest.h>
#include <map>
#include <set>

namespace {

// The mapping written out as key names, independent of the slot arithmetic.
struct Row {
    int kind, fromModel, toModel;
    const char* firstKey; // consecutive keys from here; "" = every other code
};

std::string Key(const std::string& first, int offset) {
    if (first == "Lan" || first.rfind("QS", 0) == 0)
        return first;
    int n = std::stoi(first.substr(7), nullptr, 16) + offset;
    char buf[16];
    std::snprintf(buf, sizeof buf, "Sensor1%02X", n);
    return buf;
}

std::map<std::pair<int, int>, std::string> ExpectedKeys() {
    const Row rows[] = {
        {1, 0, 0, "Sensor100"},   {1, 1, 1, "Sensor104"},   {1, 2, 2, "Sensor105"},
        {1, 3, 3, "Sensor107"},   {1, 4, 4, "Sensor102"},   {1, 8, 8, "Sensor101"},
        {1, 9, 9, "Sensor103"},   {1, 10, 10, "Sensor106"}, {1, 11, 19, "Sensor10B"},
        {1, 22, 29, "Sensor114"}, {1, 31, 33, "Sensor11D"}, {1, 34, 38, "Sensor122"},
        {1, 43, 47, "Sensor134"}, {2, 0, 255, "Lan"},       {3, 0, 255, "QS100"},
        {4, 5, 5, "Sensor109"},   {4, 6, 6, "Sensor10A"},   {4, 7, 7, "Sensor108"},
        {4, 20, 20, "Sensor120"}, {4, 21, 21, "Sensor121"}, {4, 39, 42, "Sensor127"},
        {5, 0, 255, "QS101"},     {6, 0, 255, "QS103"},     {6, 6, 6, "QS102"},
        {7, 30, 30, "Sensor11C"}, {8, 1, 9, "Sensor12B"},   {9, 11, 19, "Sensor10B"},
        {9, 22, 22, "Sensor114"}, {9, 23, 23, "Sensor115"}, {9, 28, 28, "Sensor11A"},
        {9, 29, 29, "Sensor11B"},
    };
    std::map<std::pair<int, int>, std::string> keys;
    for (const Row& r : rows)
        for (int m = r.fromModel; m <= r.toModel; ++m)
            keys[{r.kind, m}] = Key(r.firstKey, m - r.fromModel);
    return keys;
}

} // namespace

TEST(TypeNames, KeysOfEverySlot) {
    EXPECT_EQ(TypeNameKey(0), "Lan");
    EXPECT_EQ(TypeNameKey(1), "QS100");
    EXPECT_EQ(TypeNameKey(4), "QS103");
    EXPECT_EQ(TypeNameKey(5), "Sensor100");
    EXPECT_EQ(TypeNameKey(14), "Sensor109");
    EXPECT_EQ(TypeNameKey(15), "Sensor10A");
    EXPECT_EQ(TypeNameKey(20), "Sensor10F");
    EXPECT_EQ(TypeNameKey(21), "Sensor110");
    EXPECT_EQ(TypeNameKey(61), "Sensor138");
    EXPECT_EQ(TypeNameKey(62), "");
    EXPECT_EQ(TypeNameKey(-1), "");
}

TEST(TypeNames, BuiltInNamesAreShortAndDistinct) {
    TXportSearch engine;
    EXPECT_EQ(engine.TypeNames[0], "LAN Adapter");
    std::set<std::string> seen;
    for (int slot = 1; slot < XPortTypeNameCount; ++slot) {
        const std::string& name = engine.TypeNames[static_cast<std::size_t>(slot)];
        EXPECT_GE(name.size(), 3u) << slot;
        EXPECT_LE(name.size(), 6u) << slot;
        EXPECT_TRUE(seen.insert(name).second) << "repeated " << name;
    }
}

TEST(TypeNames, EveryKindAndModelCodeMapsAsTheTableSays) {
    auto expected = ExpectedKeys();
    std::set<int> reached;
    for (int kind = 0; kind < 256; ++kind) {
        for (int model = 0; model < 256; ++model) {
            int slot = TypeNameSlot(kind, model);
            auto it = expected.find({kind, model});
            if (it == expected.end()) {
                EXPECT_EQ(slot, -1) << kind << "/" << model;
            } else {
                EXPECT_EQ(TypeNameKey(slot), it->second) << kind << "/" << model;
                reached.insert(slot);
            }
        }
    }
    EXPECT_EQ(reached.size(), static_cast<std::size_t>(XPortTypeNameCount));
}

TEST(TypeNames, LookupGivesTheSlotTextOrNA) {
    TXportSearch engine;
    for (int slot = 0; slot < XPortTypeNameCount; ++slot)
        engine.TypeNames[static_cast<std::size_t>(slot)] = "name" + std::to_string(slot);
    EXPECT_EQ(engine.LookupTypeName(6, 6), "name3");
    EXPECT_EQ(engine.LookupTypeName(6, 0), "name4");
    EXPECT_EQ(engine.LookupTypeName(6, 200), "name4");
    for (int model : {5, 20, 48})
        EXPECT_EQ(engine.LookupTypeName(1, model), "N/A") << model;
    EXPECT_EQ(engine.LookupTypeName(9, 13), engine.LookupTypeName(1, 13));
    EXPECT_EQ(engine.LookupTypeName(1, 13), "name" + std::to_string(5 + 0x0D));
    EXPECT_EQ(engine.LookupTypeName(0, 0), "N/A");
    EXPECT_EQ(engine.LookupTypeName(10, 6), "N/A");
    EXPECT_EQ(engine.LookupTypeName(255, 255), "N/A");
    EXPECT_EQ(engine.LookupTypeName(2, 77), "name0");
}
