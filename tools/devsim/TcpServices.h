#pragma once
// The TCP side of simulated devices (NETFILE key tcp=PORT,...): port 80
// answers an HTTP request with a small page naming the device, every other
// port greets with a short banner, as the module's configuration console
// does. Runs on a thread of its own, bounded in connections, bytes read and
// time, and logs every connection.

#include "Simulator.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace devsim {

class TcpServices {
public:
    struct Listener {
        std::string ifname; // the device's interface: it listens there alone
        int port = 0;
        std::string mac;  // as the log writes it
        std::string info; // the device's description, for the page
    };

    // Opens every listener; throws std::runtime_error when one cannot be.
    TcpServices(std::vector<Listener> listeners, Log& log);
    // Stops the thread, closes every socket.
    ~TcpServices();
    TcpServices(const TcpServices&) = delete;
    TcpServices& operator=(const TcpServices&) = delete;

    static constexpr int kMaxConnections = 32;       // open at once, over all listeners
    static constexpr std::size_t kMaxRequest = 4096; // bytes read from one connection
    static constexpr int kConnectionMs = 5000;       // then it is closed

private:
    void Run();

    struct Open {
        Listener service;
        int fd = -1;
    };
    std::vector<Open> listeners_;
    Log& log_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace devsim
