#pragma once
// An IP change engine wired to recording stand-ins: nothing is pinged, sent
// or run. The engine runs on the dialog's worker thread, so the record is
// locked.

#include "base/uErrors.h"
#include "ipchange/gui/uXPortIPChangeGUI.h"

#include <QStringList>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct TFakeIPNet;

class TFakeIPPinger final : public TPinger {
public:
    explicit TFakeIPPinger(TFakeIPNet& net) : net_(net) {}
    bool Ping(const std::string& host, std::uint32_t timeoutMs, std::uint8_t attempts,
              std::uint32_t& rtt, std::uint8_t& ttl) override;

private:
    TFakeIPNet& net_;
};

class TFakeIPRunner final : public TProcessRunner {
public:
    explicit TFakeIPRunner(TFakeIPNet& net) : net_(net) {}
    bool RunAndWait(const std::string& commandLine, bool hidden, int timeLimitMs) override;

private:
    TFakeIPNet& net_;
};

struct TFakeIPNet {
    // Set before a change.
    bool PingAnswers = false;
    int PingDelayMs = 0;
    // While set, a ping waits (at most 10 s) until the test clears it: the
    // engine is busy for exactly as long as the test needs.
    std::atomic<bool> PingHeld{false};
    // No way to ping (no ICMP socket, no ping program).
    bool PingFails = false;
    // The ARP-table command runs but makes no entry (no rights).
    bool NoNeighbourEntry = false;
    std::vector<std::string> Adapters{"10.77.1.1", "10.77.2.1"};

    std::atomic<int> EnginesMade{0};
    TFakeIPPinger Pinger{*this};
    TFakeIPRunner Runner{*this};

    // "ping <host>", "bind <ip>", "send <port> <hex>", "run <command line>",
    // "connect <ip> <port>", in order.
    void Record(const std::string& event) {
        std::lock_guard<std::mutex> g(lock_);
        events_.push_back(QString::fromStdString(event));
    }
    QStringList Events() const {
        std::lock_guard<std::mutex> g(lock_);
        return events_;
    }

private:
    mutable std::mutex lock_;
    QStringList events_;
};

inline bool TFakeIPPinger::Ping(const std::string& host, std::uint32_t, std::uint8_t,
                                std::uint32_t& rtt, std::uint8_t& ttl) {
    net_.Record("ping " + host);
    for (int i = 0; net_.PingHeld && i < 1000; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(net_.PingDelayMs));
    if (net_.PingFails) {
        throw Exception("Invalid handle");
    }
    rtt = 0;
    ttl = 64;
    return net_.PingAnswers;
}

inline bool TFakeIPRunner::RunAndWait(const std::string& commandLine, bool, int) {
    net_.Record("run " + commandLine);
    return true;
}

class TFakeIPLink final : public TDatagramLink {
public:
    explicit TFakeIPLink(TFakeIPNet& net) : net_(net) {}
    void BindToAddress(const std::string& localIp) override { net_.Record("bind " + localIp); }
    void SendBroadcast(const std::string& data, int port) override {
        static const char* digits = "0123456789ABCDEF";
        std::string hex;
        for (const unsigned char c : data) {
            hex += digits[c >> 4];
            hex += digits[c & 15];
        }
        net_.Record("send " + std::to_string(port) + " " + hex);
    }
    void SendToHost(const std::string&) override { throw Exception("unexpected unicast"); }
    std::string ReceiveDatagram(int, std::string&, int&) override {
        throw Exception("unexpected receive");
    }

private:
    TFakeIPNet& net_;
};

// Engines on the fake network; it lives as long as the factory.
inline TXPortIPChangeEngineFactory FakeIPChangeFactory(std::shared_ptr<TFakeIPNet> net) {
    return [net]() -> std::unique_ptr<TXPortIPChange> {
        ++net->EnginesMade;
        TXPortIPChangeServices s;
        s.LinkFactory = [net] { return std::make_unique<TFakeIPLink>(*net); };
        s.AdapterAddresses = [net](std::vector<std::string>& list) { list = net->Adapters; };
        s.AdapterTable = [] {
            platform::AdapterRecord qv0;
            qv0.Name = "qv0";
            qv0.Addresses = {{"10.77.1.1", "255.255.255.0"}};
            return std::vector<platform::AdapterRecord>{qv0};
        };
        s.Pinger = &net->Pinger;
        s.Runner = &net->Runner;
        // The entry is there once a command ran.
        s.NeighbourPresent = [net](const std::string&, const std::string&) {
            return !net->NoNeighbourEntry &&
                   net->Events().filter(QStringLiteral("run ")).size() > 0;
        };
        s.ConnectAttempt = [net](const std::string& ip, int port, int) {
            net->Record("connect " + ip + " " + std::to_string(port));
            return platform::TConnectOutcome::Refused;
        };
        return std::make_unique<TXPortIPChange>(std::move(s));
    };
}
