#pragma once
// quorvet-cli search --watch N: searches again and again, N seconds after
// each search ends, and tells which devices appeared, disappeared, moved to
// another address or changed their details (search/uDeviceWatch.h).
//
// The first search prints its list as usual (a table; with --json one
// "listed" object per line), every further one a line per event. The watch
// runs until SIGINT or SIGTERM (status 0; a search under way is cut short
// and its partial list dropped), a search fails (1) or standard output can
// no longer be written (1).

#include "SearchCommand.h"
#include "search/uDeviceWatch.h"

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

inline constexpr int MinWatchSeconds = 1;
inline constexpr int MaxWatchSeconds = 86400; // one search a day at the least

std::string WatchOptionHelp();

// One line of the watch, without line end. Text:
// "2026-12-08 13:10:05  moved        00-20-4A-00-00-0A  10.0.0.10 -> 10.0.0.20  Hall A"
// JSON: the fields of `search --json`, then "event", "old_ip" (empty unless
// moved) and "time".
std::string WatchEventText(const std::string& time, const TDeviceWatchEvent& event);
std::string WatchEventJson(const std::string& time, const std::string& eventName,
                           const TXportPar& device, const std::string& oldIP);

// "YYYY-MM-DD hh:mm:ss", local time.
std::string WatchTimeNow();

// The loop, with its search, clock and waiting given.
struct TWatchRun {
    int IntervalSeconds = MinWatchSeconds;
    bool Json = false;
    // One search: its list, or nullopt once it failed (reported on err).
    std::function<std::optional<std::vector<TXportPar>>()> Search;
    // Waits up to ms; true when a stop was asked for (at once when it was).
    std::function<bool(int ms)> WaitStop;
    std::function<std::string()> Now = WatchTimeNow;
};
int RunWatchLoop(const TWatchRun& run, std::ostream& out, std::ostream& err);

// The watch with the real engine, configured as `search` is.
int RunSearchWatch(const TSearchCommandOptions& options, std::ostream& out, std::ostream& err);
