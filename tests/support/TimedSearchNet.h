#pragma once
// A network in real time for the overlapped search: every device answers
// after its own delay, so replies come out of order, late, twice, or not at
// all, and strangers send what they like in between. One link per adapter;
// each link is used by one thread.

#include "device/uDeviceComm.h"
#include "support/DeviceReplies.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct TTimedDevice {
    std::string ip;
    std::string discovery;
    int delayMs = 0;                  // from request to reply
    std::optional<std::string> info;  // nullopt: no answer
    std::optional<std::string> setup; // nullopt: no answer
    int copies = 1;                   // replies per request
    bool repeatsDiscovery = false;    // sends its discovery reply again before answering
    int discoveryDelayMs = 0;         // after the broadcast
};

// Datagrams of a host that is no device: `count` of them, one every
// `everyMs` from the first info request on (while the devices are read).
struct TStranger {
    std::string ip;
    int port = 30718;
    std::string data;
    int everyMs = 2;
    int count = 0;
};

class TTimedNet {
public:
    std::map<std::string, std::vector<TTimedDevice>> devices; // by adapter
    std::map<std::string, std::vector<TStranger>> strangers;  // by adapter
    int grantedBuffer = 4 << 20;

    std::unique_ptr<TDatagramLink> NewLink();

    // Requests sent per IP ("E4 10.77.1.10" -> count) and the most requests
    // any link had awaiting their reply at once.
    int Sent(const std::string& op) {
        std::lock_guard<std::mutex> guard(lock);
        return sent[op];
    }
    int MaxOutstanding() {
        std::lock_guard<std::mutex> guard(lock);
        return maxOutstanding;
    }

    std::mutex lock;
    std::map<std::string, int> sent;
    int maxOutstanding = 0;
};

class TTimedLink : public TDatagramLink {
public:
    using Clock = std::chrono::steady_clock;
    explicit TTimedLink(TTimedNet& net) : net_(net) {}

    void BindToAddress(const std::string& ip) override { adapter_ = ip; }
    int SetReceiveBufferSize(int) override { return net_.grantedBuffer; }
    void SendBroadcast(const std::string&, int) override {
        const auto now = Clock::now();
        for (const TTimedDevice& d : Devices())
            Schedule(now + std::chrono::milliseconds(d.discoveryDelayMs), d.discovery, d.ip, 30718,
                     false);
    }
    void SendToHost(const std::string& data) override {
        const bool info = data == XPortInfoRequest;
        const auto now = Clock::now();
        {
            std::lock_guard<std::mutex> guard(net_.lock);
            ++net_.sent[(info ? "E4 " : "E6 ") + Host];
        }
        const auto it = net_.strangers.find(adapter_);
        if (!strangersStarted_ && it != net_.strangers.end())
            for (const TStranger& s : it->second)
                for (int k = 0; k < s.count; ++k)
                    Schedule(now + std::chrono::milliseconds(k * s.everyMs), s.data, s.ip, s.port,
                             false);
        strangersStarted_ = true;
        for (const TTimedDevice& d : Devices()) {
            if (d.ip != Host)
                continue;
            const auto at = now + std::chrono::milliseconds(d.delayMs);
            if (d.repeatsDiscovery)
                Schedule(now + std::chrono::milliseconds(d.delayMs / 2), d.discovery, d.ip, 30718,
                         false);
            const auto& answer = info ? d.info : d.setup;
            if (!answer)
                continue;
            for (int k = 0; k < d.copies; ++k)
                Schedule(at + std::chrono::microseconds(k), *answer, d.ip, 30718, k == 0);
            ++outstanding_;
            std::lock_guard<std::mutex> guard(net_.lock);
            net_.maxOutstanding = std::max(net_.maxOutstanding, outstanding_);
        }
    }
    std::string ReceiveDatagram(int timeoutMs, std::string& peer, int& port) override {
        peer.clear();
        port = 0;
        const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
        // Empty only once the whole wait has passed (a sleep may end early).
        for (;;) {
            const auto now = Clock::now();
            if (!pending_.empty() && pending_.begin()->first <= now)
                break;
            if (now >= deadline)
                return {};
            std::this_thread::sleep_until(
                pending_.empty() ? deadline : std::min(deadline, pending_.begin()->first));
        }
        const TDatagram d = pending_.begin()->second;
        pending_.erase(pending_.begin());
        if (d.answer)
            --outstanding_;
        peer = d.from;
        port = d.port;
        return d.data;
    }

private:
    struct TDatagram {
        std::string data, from;
        int port;
        bool answer; // the first reply to a request
    };
    void Schedule(Clock::time_point at, const std::string& data, const std::string& from, int port,
                  bool answer) {
        pending_.emplace(at, TDatagram{data, from, port, answer});
    }
    const std::vector<TTimedDevice>& Devices() const {
        static const std::vector<TTimedDevice> none;
        const auto it = net_.devices.find(adapter_);
        return it == net_.devices.end() ? none : it->second;
    }
    TTimedNet& net_;
    std::string adapter_;
    std::multimap<Clock::time_point, TDatagram> pending_;
    int outstanding_ = 0;
    bool strangersStarted_ = false;
};

inline std::unique_ptr<TDatagramLink> TTimedNet::NewLink() {
    return std::make_unique<TTimedLink>(*this);
}
