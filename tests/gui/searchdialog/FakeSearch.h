#pragma once
// A scripted stand-in for the search engine: each search yields the next
// scripted device list or error, and may block until cancelled.

#include "base/uErrors.h"
#include "searchdialog/uXPortSearchGUI.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

struct TFakeResult {
    std::vector<TXportPar> Devices;
    std::string Error; // raised when not empty
    // Read one by one before the search returns (OnDevice), this long apart;
    // a blocking search reads them before it waits for Cancel.
    std::vector<TXportPar> Stream = {};
    int StreamDelayMs = 0;
    std::vector<std::string> Limits = {}; // adapters whose limit is reached
};

struct TFakeNetwork {
    std::mutex Lock;
    std::condition_variable Wake;
    std::vector<TFakeResult> Script; // search n gets entry n; the last repeats
    bool Block = false;              // a search waits for Cancel (5 s at most)
    int CancelDelayMs = 0;           // and then this long, as a receive would
    std::atomic<bool> Cancelled{false};
    int Searches = 0;
    std::atomic<int> JobsAlive{0};
    std::vector<std::string> SettingsLoaded;
    std::vector<std::vector<std::string>> TargetsSet; // per search
};

class TFakeJob final : public TXPortSearchJob {
public:
    explicit TFakeJob(std::shared_ptr<TFakeNetwork> net) : net_(std::move(net)) {
        std::lock_guard<std::mutex> g(net_->Lock);
        ++net_->JobsAlive;
    }
    ~TFakeJob() override {
        std::lock_guard<std::mutex> g(net_->Lock);
        --net_->JobsAlive;
    }
    void LoadSettings(const std::string& fileName) override {
        std::lock_guard<std::mutex> g(net_->Lock);
        net_->SettingsLoaded.push_back(fileName);
    }
    void SetTargets(const std::vector<std::string>& targets) override {
        std::lock_guard<std::mutex> g(net_->Lock);
        net_->TargetsSet.push_back(targets);
    }
    void Search(const TEvents& events) override {
        const auto progress = [&](const std::string& adapter, int found) {
            if (events.Progress) {
                events.Progress(adapter, found);
            }
        };
        TFakeResult result;
        {
            std::unique_lock<std::mutex> g(net_->Lock);
            if (!net_->Script.empty()) {
                result = net_->Script[std::min<std::size_t>(
                    net_->Script.size() - 1, static_cast<std::size_t>(net_->Searches))];
            }
            ++net_->Searches;
        }
        progress("10.77.1.1", 0);
        TXportSearch::TStatus status{.AdaptersTotal = 1};
        for (const TXportPar& device : result.Stream) {
            std::this_thread::sleep_for(std::chrono::milliseconds(result.StreamDelayMs));
            if (Stopped()) {
                break;
            }
            if (events.Device) {
                events.Device(device);
            }
            ++status.DevicesRead;
            status.DevicesHeard = status.DevicesRead;
            if (events.Status) {
                events.Status(status);
            }
        }
        for (const std::string& adapter : result.Limits) {
            if (events.Limit) {
                events.Limit(adapter);
            }
        }
        int delay = 0;
        {
            std::unique_lock<std::mutex> g(net_->Lock);
            net_->Wake.wait_for(g, std::chrono::seconds(5),
                                [&] { return !net_->Block || cancelled_; });
            delay = cancelled_ ? net_->CancelDelayMs : 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        progress("10.77.1.1", static_cast<int>(result.Devices.size()));
        status.AdaptersDone = 1;
        if (events.Status) {
            events.Status(status);
        }
        if (!result.Error.empty()) {
            throw Exception(result.Error);
        }
        devices_ = result.Devices;
    }
    std::vector<TXportPar> Devices() const override { return devices_; }
    void Cancel() override {
        std::lock_guard<std::mutex> g(net_->Lock);
        cancelled_ = true;
        net_->Cancelled = true;
        net_->Wake.notify_all();
    }

private:
    bool Stopped() {
        std::lock_guard<std::mutex> g(net_->Lock);
        return cancelled_;
    }

    std::shared_ptr<TFakeNetwork> net_;
    std::vector<TXportPar> devices_;
    bool cancelled_ = false;
};

inline TXPortSearchJobFactory FakeFactory(std::shared_ptr<TFakeNetwork> net) {
    return [net]() -> std::unique_ptr<TXPortSearchJob> { return std::make_unique<TFakeJob>(net); };
}

inline TXportPar Dev(const std::string& ip, const std::string& mac = "00-20-4A-00-00-01",
                     const std::string& fw = "1-4-5.02", const std::string& status = "",
                     const std::string& type = "T", const std::string& desc = "D") {
    TXportPar p;
    p.IP = ip;
    p.MAC = mac;
    p.Firmware = fw;
    p.DeviceType = type;
    p.Description = desc;
    p.StatusChar = status;
    p.AdapterIP = "10.77.1.1";
    return p;
}
