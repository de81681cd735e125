#pragma once
// Recording stand-ins for everything the IP change engine sends, pings or
// runs, so its unit tests never touch a network.

#include "base/uErrors.h"
#include "ipchange/uXPortIPChange.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

struct TFakeNet {
    // What happened, in order: "bind <ip>", "send <port> <hex>", "ping <host>
    // <timeout> <attempts>", "run <hidden> <limit> <command line>",
    // "connect <ip> <port> <timeout>".
    std::vector<std::string> events;
    std::vector<std::string> datagrams; // raw payloads sent
    std::set<std::string> unbindable;   // addresses whose bind fails
    bool sendFails = false;
    bool pingAnswers = false;
    bool pingRaises = false;
    bool runRaises = false;
    bool runTimesOut = false;
    bool connectRaises = false;
    bool entryRefused = false; // the command runs but makes no entry
    bool tableRaises = false;  // the adapter table cannot be read
    std::vector<std::string> adapterAddresses;
    std::vector<platform::AdapterRecord> adapterTable;

    std::size_t Count(const std::string& prefix) const {
        std::size_t n = 0;
        for (const auto& e : events)
            if (e.compare(0, prefix.size(), prefix) == 0)
                ++n;
        return n;
    }
};

inline std::string HexOf(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

class TFakeLink : public TDatagramLink {
public:
    explicit TFakeLink(TFakeNet& net) : net_(net) {}
    void BindToAddress(const std::string& localIp) override {
        net_.events.push_back("bind " + localIp);
        if (net_.unbindable.count(localIp))
            throw Exception("Socket Error # 99\r\nCannot assign requested address");
    }
    void SendBroadcast(const std::string& data, int port) override {
        if (net_.sendFails)
            throw Exception("Socket Error # 101\r\nNetwork is unreachable");
        net_.events.push_back("send " + std::to_string(port) + " " + HexOf(data));
        net_.datagrams.push_back(data);
    }
    void SendToHost(const std::string&) override { throw Exception("unexpected unicast"); }
    std::string ReceiveDatagram(int, std::string&, int&) override {
        throw Exception("unexpected receive");
    }

private:
    TFakeNet& net_;
};

class TFakePinger : public TPinger {
public:
    explicit TFakePinger(TFakeNet& net) : net_(net) {}
    bool Ping(const std::string& host, std::uint32_t timeoutMs, std::uint8_t attempts,
              std::uint32_t& rtt, std::uint8_t& ttl) override {
        net_.events.push_back("ping " + host + " " + std::to_string(timeoutMs) + " " +
                              std::to_string(attempts));
        if (net_.pingRaises)
            throw Exception("Invalid handle");
        rtt = net_.pingAnswers ? 1 : 0;
        ttl = net_.pingAnswers ? 64 : 0;
        return net_.pingAnswers;
    }

private:
    TFakeNet& net_;
};

class TFakeRunner : public TProcessRunner {
public:
    explicit TFakeRunner(TFakeNet& net) : net_(net) {}
    bool RunAndWait(const std::string& commandLine, bool hidden, int timeLimitMs) override {
        if (net_.runRaises)
            throw Exception("Unable to Create Process \"" + commandLine + "\"");
        net_.events.push_back("run " + std::string(hidden ? "hidden" : "shown") + " " +
                              std::to_string(timeLimitMs) + " " + commandLine);
        return !net_.runTimesOut;
    }

private:
    TFakeNet& net_;
};

// An engine wired to one fake network; the fakes live as long as it does.
struct TFakeEngine {
    TFakeNet net;
    TFakePinger pinger{net};
    TFakeRunner runner{net};
    std::unique_ptr<TXPortIPChange> engine;

    TFakeEngine() {
        TXPortIPChangeServices s;
        s.LinkFactory = [this] { return std::make_unique<TFakeLink>(net); };
        s.AdapterAddresses = [this](std::vector<std::string>& list) {
            list = net.adapterAddresses;
        };
        s.AdapterTable = [this] {
            if (net.tableRaises)
                throw Exception("System Error.  Code: 232.\r\nThe pipe is being closed.");
            return net.adapterTable;
        };
        s.Pinger = &pinger;
        s.Runner = &runner;
        // The entry is there once a command naming the address and the MAC
        // ran (POSIX: ip neigh with colons; Windows: arp -s with hyphens),
        // unless the system refused it.
        s.NeighbourPresent = [this](const std::string& ip, const std::string& mac) {
            std::string colons = mac;
            for (char& c : colons)
                if (c == '-')
                    c = ':';
            for (const auto& e : net.events)
                if (e.rfind("run ", 0) == 0 && e.find(" " + ip + " ") != std::string::npos &&
                    (e.find(" " + mac) != std::string::npos ||
                     e.find(" " + colons + " ") != std::string::npos))
                    return !net.entryRefused;
            return false;
        };
        s.ConnectAttempt = [this](const std::string& ip, int port, int timeoutMs) {
            if (net.connectRaises)
                throw Exception("Cannot allocate socket.");
            net.events.push_back("connect " + ip + " " + std::to_string(port) + " " +
                                 std::to_string(timeoutMs));
            return platform::TConnectOutcome::Refused;
        };
        engine = std::make_unique<TXPortIPChange>(std::move(s));
    }
};

// A search result entry with the fields the IP change cares about.
inline TXportPar ListedDevice(const std::string& mac, const std::string& ip,
                              const std::string& adapter) {
    TXportPar d;
    d.MAC = mac;
    d.IP = ip;
    d.AdapterIP = adapter;
    return d;
}

inline platform::AdapterRecord Adapter(const std::string& name,
                                       std::vector<platform::AdapterAddressRecord> addresses) {
    platform::AdapterRecord r;
    r.Name = name;
    r.Addresses = std::move(addresses);
    return r;
}
