#include "search/uDeviceWatch.h"

#include <algorithm>
#include <set>

const char* DeviceWatchEventName(TDeviceWatchEvent::TKind kind) {
    switch (kind) {
    case TDeviceWatchEvent::TKind::Appeared:
        return "appeared";
    case TDeviceWatchEvent::TKind::Disappeared:
        return "disappeared";
    case TDeviceWatchEvent::TKind::Moved:
        return "moved";
    case TDeviceWatchEvent::TKind::Changed:
        return "changed";
    }
    return "?";
}

namespace {

bool DetailsRead(const TXportPar& d) {
    return d.Firmware != "N/A";
}

bool SameDetails(const TXportPar& a, const TXportPar& b) {
    return a.Firmware == b.Firmware && a.DeviceType == b.DeviceType &&
           a.Description == b.Description && a.StatusChar == b.StatusChar;
}

} // namespace

TDeviceWatch::TDeviceWatch(int missesToGone) : missesToGone_(std::max(1, missesToGone)) {}

std::vector<TDeviceWatchEvent> TDeviceWatch::Update(const std::vector<TXportPar>& devices) {
    using TKind = TDeviceWatchEvent::TKind;
    std::vector<TDeviceWatchEvent> events;
    std::set<std::string> listed;
    for (const TXportPar& d : devices) {
        // The search lists a MAC once; should a list repeat one, its first
        // entry counts, as in the search.
        if (!listed.insert(d.MAC).second)
            continue;
        auto it = known_.find(d.MAC);
        if (it == known_.end()) {
            known_.emplace(d.MAC, TKnown{d, 0});
            if (started_)
                events.push_back({TKind::Appeared, d, {}});
            continue;
        }
        TKnown& known = it->second;
        known.Misses = 0;
        TXportPar now = d;
        if (!DetailsRead(now) && DetailsRead(known.Device)) {
            // One lost info reply: keep what was read before.
            now.Firmware = known.Device.Firmware;
            now.DeviceType = known.Device.DeviceType;
            now.Description = known.Device.Description;
            now.StatusChar = known.Device.StatusChar;
        }
        if (now.IP != known.Device.IP)
            events.push_back({TKind::Moved, now, known.Device.IP});
        else if (!SameDetails(now, known.Device))
            events.push_back({TKind::Changed, now, {}});
        known.Device = std::move(now);
    }
    for (auto it = known_.begin(); it != known_.end();) {
        if (listed.count(it->first) == 0 && ++it->second.Misses >= missesToGone_) {
            events.push_back({TKind::Disappeared, it->second.Device, {}});
            it = known_.erase(it);
        } else {
            ++it;
        }
    }
    started_ = true;
    std::stable_sort(events.begin(), events.end(),
                     [](const TDeviceWatchEvent& a, const TDeviceWatchEvent& b) {
                         if (a.Kind != b.Kind)
                             return a.Kind < b.Kind;
                         return a.Device.MAC < b.Device.MAC;
                     });
    return events;
}

std::vector<TXportPar> TDeviceWatch::Known() const {
    std::vector<TXportPar> out;
    out.reserve(known_.size());
    for (const auto& [mac, known] : known_)
        out.push_back(known.Device);
    return out;
}
