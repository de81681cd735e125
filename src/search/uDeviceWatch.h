#pragma once
// Watching a site: compares the device list of each search with what was
// known before and tells what a technician wants to hear about.
//
// Devices are told apart by MAC, as the search de-duplicates them. Per
// search (Update) each device yields at most one event:
// - Appeared: listed now, not known before (or gone since).
// - Moved: listed at another IP address than before (the other details
//   may have changed too; the event carries the new ones).
// - Changed: same address, but firmware, type, description or status
//   character differ (a firmware update, a renamed device). A round whose
//   details could not be read (firmware "N/A") is no change: the known
//   details stay, so one lost info reply does not report a change twice.
//   The adapter the device was heard through is not compared.
// - Disappeared: not listed in MissesToGone searches in a row. A device that
//   misses fewer rounds on a busy network and comes back yields nothing.
// Events come in a fixed order: disappeared, moved, changed, appeared, and
// within each kind by MAC text.

#include "device/uXPortReplies.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

struct TDeviceWatchEvent {
    enum class TKind { Disappeared, Moved, Changed, Appeared };
    TKind Kind = TKind::Appeared;
    TXportPar Device;  // as listed now; for Disappeared as last seen
    std::string OldIP; // Moved: the address before; empty otherwise
};

// "appeared", "disappeared", "moved", "changed".
const char* DeviceWatchEventName(TDeviceWatchEvent::TKind kind);

class TDeviceWatch {
public:
    static constexpr int DefaultMissesToGone = 2;

    // missesToGone below 1 counts as 1.
    explicit TDeviceWatch(int missesToGone = DefaultMissesToGone);

    // Takes the list of one search. The first call sets what is known and
    // yields no event (the caller shows that list as it is).
    std::vector<TDeviceWatchEvent> Update(const std::vector<TXportPar>& devices);

    // Devices known now, also those missing fewer than MissesToGone rounds,
    // by MAC text.
    std::vector<TXportPar> Known() const;
    bool Started() const { return started_; }
    int MissesToGone() const { return missesToGone_; }

private:
    struct TKnown {
        TXportPar Device;
        int Misses = 0;
    };
    int missesToGone_;
    bool started_ = false;
    std::map<std::string, TKnown> known_; // by MAC
};
