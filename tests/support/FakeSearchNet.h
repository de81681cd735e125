#pragma once
// A scripted network for the search engine's unit tests. Devices behind each
// adapter answer the discovery query, the info and the setup request as they
// are described; faults are set per adapter or per request. The links of a
// parallel search use it from their own threads.

#include "base/uErrors.h"
#include "device/uDeviceComm.h"
#include "support/DeviceReplies.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

struct TFakeDevice {
    std::string ip;
    std::string discovery;            // the discovery reply
    int copies = 1;                   // discovery replies sent
    std::optional<std::string> info;  // nullopt: no answer
    std::optional<std::string> setup; // nullopt: no answer
    bool late = false;                // the discovery reply comes after the collection ended
    // Datagrams the link refuses (their error text): instead of the
    // discovery reply, and before the info or setup reply.
    bool discoveryIsJunk = false;
    std::optional<std::string> infoJunk{}, setupJunk{};
};

// What the network is: the devices behind each adapter and its faults.
struct TFakeTopology {
    // By adapter address; "" holds the devices a link without an adapter
    // reaches by unicast (behind a router).
    std::map<std::string, std::vector<TFakeDevice>> devices;
    std::string failBroadcastOn;              // the query cannot leave this adapter
    std::string failBindOn;                   // binding to this adapter fails
    std::map<std::string, int> failReceiveAt; // adapter -> its n-th receive raises (looks
                                              // that find nothing do not count)
    std::set<std::string> failSend;           // "E4 10.77.1.10": that send raises
};

class TFakeSearchNet : public TFakeTopology {
public:
    TFakeSearchNet() = default;
    explicit TFakeSearchNet(const TFakeTopology& topology) : TFakeTopology(topology) {}

    // A new link on this network, as the engine's link factory gives it.
    std::unique_ptr<TDatagramLink> NewLink();

    // What the links did, in order: "bind A", "bcast A", "F6 HOST" (a
    // unicast query), "E4 HOST", "E6 HOST" and "recv TIMEOUT".
    std::vector<std::string> ops;
    // The same per adapter, receives left out: "bind", "bcast", "E4 HOST".
    std::map<std::string, std::vector<std::string>> adapterOps;
    int Count(const std::string& op) const {
        return static_cast<int>(std::count(ops.begin(), ops.end(), op));
    }
    void ClearOps() {
        ops.clear();
        adapterOps.clear();
    }
    int liveLinks = 0, maxLiveLinks = 0;

    // When set, a link's first receive waits (at most 5 s) until this many
    // adapters have broadcast; gatedOpen counts the receives that saw it so.
    int gateBroadcasts = 0;
    std::atomic<int> gatedOpen{0};

private:
    friend class TFakeSearchLink;
    void Op(const std::string& adapter, const std::string& op, bool withAdapter) {
        std::lock_guard<std::mutex> guard(lock_);
        ops.push_back(withAdapter ? op + " " + adapter : op);
        adapterOps[adapter].push_back(op);
    }
    std::mutex lock_;
    int broadcasts_ = 0;
    std::condition_variable allBroadcast_;
};

class TFakeSearchLink : public TDatagramLink {
public:
    explicit TFakeSearchLink(TFakeSearchNet& net) : net_(net) {
        std::lock_guard<std::mutex> guard(net_.lock_);
        net_.maxLiveLinks = std::max(net_.maxLiveLinks, ++net_.liveLinks);
    }
    ~TFakeSearchLink() override {
        std::lock_guard<std::mutex> guard(net_.lock_);
        --net_.liveLinks;
    }
    void BindToAddress(const std::string& ip) override {
        adapter_ = ip;
        net_.Op(adapter_, "bind", true);
        if (ip == net_.failBindOn)
            throw Exception("Could not bind socket. Address and port are already in use.");
    }
    void SendBroadcast(const std::string& data, int port) override {
        EXPECT_EQ(data, XPortDiscoveryQuery);
        EXPECT_EQ(port, 30718);
        if (adapter_ == net_.failBroadcastOn)
            throw Exception("Socket Error # 101\r\nNetwork is unreachable");
        net_.Op(adapter_, "bcast", true);
        for (const TFakeDevice& d : Devices())
            for (int i = 0; i < d.copies; ++i)
                (d.late ? late_ : queue_).push_back({d.discovery, d.ip, d.discoveryIsJunk});
        std::lock_guard<std::mutex> guard(net_.lock_);
        ++net_.broadcasts_;
        net_.allBroadcast_.notify_all();
    }
    void SendToHost(const std::string& data) override {
        EXPECT_EQ(Port, 30718);
        if (data == XPortDiscoveryQuery) {
            // A unicast query (devices[""]: those an unbound link reaches).
            net_.Op(adapter_, "F6 " + Host, false);
            for (const TFakeDevice& d : Devices())
                if (d.ip == Host)
                    for (int i = 0; i < d.copies; ++i)
                        (d.late ? late_ : queue_).push_back({d.discovery, d.ip, d.discoveryIsJunk});
            return;
        }
        const bool info = data == XPortInfoRequest;
        const std::string op = std::string(info ? "E4 " : "E6 ") + Host;
        net_.Op(adapter_, op, false);
        if (net_.failSend.count(op))
            throw Exception(Host.rfind("192.168.", 0) == 0
                                ? "Socket Error # 101\r\nNetwork is unreachable"
                                : "Socket Error # 13\r\nPermission denied");
        for (const TFakeDevice& d : Devices()) {
            if (d.ip != Host)
                continue;
            if (const auto& junk = info ? d.infoJunk : d.setupJunk)
                queue_.push_back({*junk, d.ip, true});
            if (const auto& answer = info ? d.info : d.setup)
                queue_.push_back({*answer, d.ip, false});
        }
    }
    std::string ReceiveDatagram(int timeoutMs, std::string& peer, int& port) override {
        {
            std::lock_guard<std::mutex> guard(net_.lock_);
            net_.ops.push_back("recv " + std::to_string(timeoutMs));
        }
        peer.clear();
        port = 0;
        ++receives_;
        if (net_.gateBroadcasts > 0 && receives_ == 1) {
            std::unique_lock<std::mutex> guard(net_.lock_);
            if (net_.allBroadcast_.wait_for(guard, std::chrono::seconds(5), [&] {
                    return net_.broadcasts_ >= net_.gateBroadcasts;
                }))
                ++net_.gatedOpen;
        }
        // A plain Exception: the link itself failed, not one datagram. Only
        // receives that deliver or wait count: a search that merely looks
        // (time-out 0) in between meets the fault at the same exchange.
        if (timeoutMs != 0 || !queue_.empty())
            ++counted_;
        const auto fail = net_.failReceiveAt.find(adapter_);
        if (fail != net_.failReceiveAt.end() && fail->second == counted_)
            throw Exception("UDP Receive Error = 0.");
        if (queue_.empty()) {
            // The collection has ended: late replies arrive from now on.
            queue_.insert(queue_.end(), late_.begin(), late_.end());
            late_.clear();
            return {};
        }
        const TDatagram d = queue_.front();
        queue_.pop_front();
        if (d.junk)
            throw EDatagramError(d.data);
        peer = d.from;
        port = 30718;
        return d.data;
    }

private:
    struct TDatagram {
        std::string data; // the error text of junk
        std::string from;
        bool junk;
    };
    const std::vector<TFakeDevice>& Devices() const {
        static const std::vector<TFakeDevice> none;
        const auto it = net_.devices.find(adapter_);
        return it == net_.devices.end() ? none : it->second;
    }
    TFakeSearchNet& net_;
    std::string adapter_;
    int receives_ = 0, counted_ = 0;
    std::deque<TDatagram> queue_, late_;
};

inline std::unique_ptr<TDatagramLink> TFakeSearchNet::NewLink() {
    return std::make_unique<TFakeSearchLink>(*this);
}

// A network that never goes quiet: after a pause, every receive yields the
// discovery reply of 00-20-4A-00-00-99 from 10.77.1.99 (or, forged, one of
// a new MAC every time).
class TChatterLink : public TDatagramLink {
public:
    // The counter outlives the link, which the engine destroys after its pass.
    explicit TChatterLink(int pauseMs = 0, int* receives = nullptr, bool forged = false)
        : pauseMs_(pauseMs), receives_(receives), forged_(forged) {}
    void BindToAddress(const std::string&) override {}
    void SendBroadcast(const std::string&, int) override {}
    void SendToHost(const std::string&) override {}
    std::string ReceiveDatagram(int, std::string& peer, int& port) override {
        if (pauseMs_)
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs_));
        peer = "10.77.1.99";
        port = 30718;
        if (receives_)
            ++*receives_;
        if (forged_) {
            ++forgedCount_;
            return Discovery((forgedCount_ >> 8) & 0xFF, forgedCount_ & 0xFF);
        }
        return Discovery(0, 0x99);
    }

private:
    int pauseMs_;
    int* receives_;
    bool forged_;
    int forgedCount_ = 0;
};
