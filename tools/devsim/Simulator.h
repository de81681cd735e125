#pragma once
// Plays the devices of a description on the interfaces of the network
// namespace it runs in: one UDP socket per device on port 30718, bound to the
// device's interface, and one packet socket that sees TCP SYNs sent to the
// device's MAC for an address it does not have yet.

#include "NetFile.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <vector>

namespace devsim {

class TcpServices;

class Log {
public:
    explicit Log(int fd) : fd_(fd) {}
    // One write per line, so a reader never sees half a line.
    void Line(const std::string& kind, const std::string& fields);

private:
    int fd_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

class Simulator {
public:
    Simulator(std::vector<DeviceDescription> devices, Log& log, int port);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Runs until *stop becomes true (set from a signal handler).
    void Run(volatile const int* stop);

private:
    using Clock = std::chrono::steady_clock;
    struct Device {
        DeviceDescription desc;
        std::string ifname;
        int ifindex = 0;
        int prefix = 24;
        std::uint32_t ip = 0;
        int udp = -1;
        int pkt = -1;
        int wrongPortUdp = -1; // wrong_port: the socket its replies leave from
        int junkLeft = 0;
        bool chatting = false;
        sockaddr_in chatterTo{};
        Clock::time_point nextChatter{};
    };
    struct Pending {
        std::size_t device;
        std::string data;
        sockaddr_in to;
        const char* what;
    };

    void Open(Device& d);
    void OnDatagram(std::size_t index);
    void OnPacket(std::size_t index);
    void Send(std::size_t index, const std::string& data, const sockaddr_in& to, const char* what);
    void Schedule(std::size_t index, int delayMs, std::string data, const sockaddr_in& to,
                  const char* what);
    void ChangeAddress(Device& d, std::uint32_t ip, const char* via);
    std::string Who(const Device& d) const;

    std::vector<Device> devices_;
    Log& log_;
    int port_;
    int netlink_ = -1;
    std::multimap<Clock::time_point, Pending> pending_;
    std::unique_ptr<TcpServices> tcp_; // devices with tcp= ports
};

} // namespace devsim
