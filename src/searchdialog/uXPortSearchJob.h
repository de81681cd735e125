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
// must make Search return promptly. Errors are raised as exceptions
// (Exception carries the message).
class TXPortSearchJob {
public:
    using TProgress = std::function<void(const std::string& adapter, int devicesFound)>;

    virtual ~TXPortSearchJob() = default;
    virtual void LoadSettings(const std::string& fileName) = 0;
    virtual void Search(const TProgress& progress) = 0;
    virtual std::vector<TXportPar> Devices() const = 0;
    virtual void Cancel() = 0;
};

using TXPortSearchJobFactory = std::function<std::unique_ptr<TXPortSearchJob>()>;

// The real thing: a TXportSearch engine with no log attached.
std::unique_ptr<TXPortSearchJob> NewEngineSearchJob();
