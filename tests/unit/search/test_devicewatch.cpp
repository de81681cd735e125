#include "search/uDeviceWatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using TKind = TDeviceWatchEvent::TKind;

TXportPar Dev(const std::string& mac, const std::string& ip,
              const std::string& firmware = "2-1-5.02", const std::string& description = "Hall A") {
    TXportPar d;
    d.MAC = mac;
    d.IP = ip;
    d.Firmware = firmware;
    d.DeviceType = "LAN Adapter";
    d.Description = description;
    d.AdapterIP = "10.0.0.1";
    return d;
}

// "kind MAC old->new" per event, to compare whole rounds at once.
std::vector<std::string> Brief(const std::vector<TDeviceWatchEvent>& events) {
    std::vector<std::string> out;
    for (const TDeviceWatchEvent& e : events) {
        std::string line = std::string(DeviceWatchEventName(e.Kind)) + " " + e.Device.MAC + " ";
        line += e.OldIP.empty() ? e.Device.IP : e.OldIP + "->" + e.Device.IP;
        out.push_back(line);
    }
    return out;
}

const std::string A = "00-20-4A-00-00-0A";
const std::string B = "00-20-4A-00-00-0B";
const std::string C = "00-20-4A-00-00-0C";

TEST(DeviceWatch, FirstListIsTheBaselineAndAnUnchangedListSaysNothing) {
    TDeviceWatch watch;
    EXPECT_FALSE(watch.Started());
    EXPECT_TRUE(watch.Update({Dev(A, "10.0.0.10"), Dev(B, "10.0.0.11")}).empty());
    EXPECT_TRUE(watch.Started());
    // Another order of the same devices, heard through another adapter: no event.
    TXportPar b = Dev(B, "10.0.0.11");
    b.AdapterIP = "10.9.0.1";
    EXPECT_TRUE(watch.Update({b, Dev(A, "10.0.0.10")}).empty());
    EXPECT_EQ(watch.Known().size(), 2u);
}

TEST(DeviceWatch, AppearsAtOnceAndMovesWithTheOldAddress) {
    TDeviceWatch watch;
    watch.Update({Dev(A, "10.0.0.10")});
    const auto round = watch.Update({Dev(A, "10.0.0.20"), Dev(B, "10.0.0.11")});
    EXPECT_EQ(Brief(round), (std::vector<std::string>{"moved " + A + " 10.0.0.10->10.0.0.20",
                                                      "appeared " + B + " 10.0.0.11"}));
    // The move is remembered: the same address again says nothing.
    EXPECT_TRUE(watch.Update({Dev(A, "10.0.0.20"), Dev(B, "10.0.0.11")}).empty());
}

TEST(DeviceWatch, OneMissedRoundIsForgivenTwoInARowMeanGone) {
    TDeviceWatch watch; // gone after 2 misses
    watch.Update({Dev(A, "10.0.0.10"), Dev(B, "10.0.0.11")});
    EXPECT_TRUE(watch.Update({Dev(A, "10.0.0.10")}).empty()); // B misses once
    EXPECT_EQ(watch.Known().size(), 2u);
    EXPECT_TRUE(watch.Update({Dev(A, "10.0.0.10"), Dev(B, "10.0.0.11")}).empty()); // back
    EXPECT_TRUE(watch.Update({Dev(A, "10.0.0.10")}).empty());
    const auto gone = watch.Update({Dev(A, "10.0.0.10")});
    EXPECT_EQ(Brief(gone), std::vector<std::string>{"disappeared " + B + " 10.0.0.11"});
    EXPECT_EQ(gone[0].Device.Description, "Hall A"); // as last seen
    EXPECT_EQ(watch.Known().size(), 1u);
    // Back after being gone: it appears again.
    EXPECT_EQ(Brief(watch.Update({Dev(A, "10.0.0.10"), Dev(B, "10.0.0.11")})),
              std::vector<std::string>{"appeared " + B + " 10.0.0.11"});
}

TEST(DeviceWatch, MissesToGoneOfOneMeansAtOnceAndBelowOneCountsAsOne) {
    for (int misses : {1, 0, -5}) {
        TDeviceWatch watch(misses);
        EXPECT_EQ(watch.MissesToGone(), 1);
        watch.Update({Dev(A, "10.0.0.10")});
        EXPECT_EQ(Brief(watch.Update({})),
                  std::vector<std::string>{"disappeared " + A + " 10.0.0.10"});
    }
}

TEST(DeviceWatch, DetailsChangedOnlyWhenReadAndDifferent) {
    TDeviceWatch watch;
    watch.Update({Dev(A, "10.0.0.10")});
    // An info reply lost this round: no change, and the known details stay.
    EXPECT_TRUE(watch.Update({Dev(A, "10.0.0.10", "N/A", "")}).empty());
    EXPECT_EQ(watch.Known()[0].Firmware, "2-1-5.02");
    EXPECT_TRUE(watch.Update({Dev(A, "10.0.0.10")}).empty());
    // A firmware update is a change.
    const auto updated = watch.Update({Dev(A, "10.0.0.10", "2-1-6.00")});
    ASSERT_EQ(updated.size(), 1u);
    EXPECT_EQ(updated[0].Kind, TKind::Changed);
    EXPECT_EQ(updated[0].Device.Firmware, "2-1-6.00");
    EXPECT_TRUE(updated[0].OldIP.empty());
    // A move with new details and a lost info reply: one move, the details kept.
    const auto moved = watch.Update({Dev(A, "10.0.0.30", "N/A", "")});
    EXPECT_EQ(Brief(moved), std::vector<std::string>{"moved " + A + " 10.0.0.10->10.0.0.30"});
    EXPECT_EQ(moved[0].Device.Firmware, "2-1-6.00");
    EXPECT_EQ(moved[0].Device.Description, "Hall A");
    // A device never read yet that is read now: its details are news.
    TDeviceWatch unread;
    unread.Update({Dev(B, "10.0.0.11", "N/A", "")});
    EXPECT_EQ(unread.Update({Dev(B, "10.0.0.11")}).at(0).Kind, TKind::Changed);
}

TEST(DeviceWatch, EventsOrderedByKindThenMacWhateverTheListOrder) {
    TDeviceWatch watch(1);
    watch.Update({Dev(C, "10.0.0.12"), Dev(B, "10.0.0.11"), Dev(A, "10.0.0.10")});
    const std::string D = "00-20-4A-00-00-0D", E = "00-20-4A-00-00-01";
    const auto round = watch.Update({Dev(D, "10.0.0.13"), Dev(B, "10.0.0.21", "2-1-9.00"),
                                     Dev(E, "10.0.0.14"), Dev(A, "10.0.0.10", "2-1-9.00")});
    EXPECT_EQ(Brief(round), (std::vector<std::string>{
                                "disappeared " + C + " 10.0.0.12",
                                "moved " + B + " 10.0.0.11->10.0.0.21",
                                "changed " + A + " 10.0.0.10",
                                "appeared " + E + " 10.0.0.14",
                                "appeared " + D + " 10.0.0.13",
                            }));
}

TEST(DeviceWatch, ARepeatedMacInOneListCountsOnce) {
    TDeviceWatch watch;
    watch.Update({Dev(A, "10.0.0.10")});
    // The first entry of the MAC counts, as in the search.
    EXPECT_TRUE(watch.Update({Dev(A, "10.0.0.10"), Dev(A, "10.0.0.99")}).empty());
    EXPECT_EQ(watch.Known().size(), 1u);
}

} // namespace
