#pragma once
// The search as the device search dialog drives it, and the real engine
// behind it.

#include "search/uXPortSearch.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// One search. Created on the UI thread, then LoadSettings, Search and Devices
// run on a worker thread; Cancel may come from the UI thread at any time and
// must make Search return promptly (with the devices read so far). Errors are
// raised as exceptions (Exception carries the message).
class TXPortSearchJob {
public:
    // What the search tells on the way, from the search's threads, one call
    // at a time. Any may be left out.
    struct TEvents {
        // The adapter being searched and the devices heard there so far.
        std::function<void(const std::string& adapter, int devicesFound)> Progress;
        // An entry has been read (its details may be "N/A").
        std::function<void(const TXportPar&)> Device;
        std::function<void(const TXportSearch::TStatus&)> Status;
        // The adapter's pass reached its device limit.
        std::function<void(const std::string& adapter)> Limit;
    };

    virtual ~TXPortSearchJob() = default;
    virtual void LoadSettings(const std::string& fileName) = 0;
    // Addresses also asked by unicast (expanded); none by default.
    virtual void SetTargets(const std::vector<std::string>& targets) { (void)targets; }
    virtual void Search(const TEvents& events) = 0;
    virtual std::vector<TXportPar> Devices() const = 0;
    virtual void Cancel() = 0;
};

using TXPortSearchJobFactory = std::function<std::unique_ptr<TXPortSearchJob>()>;

// The real thing: a TXportSearch engine with no log attached.
std::unique_ptr<TXPortSearchJob> NewEngineSearchJob();
