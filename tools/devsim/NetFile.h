#pragma once
// Description of a simulated network: the computer's adapters and the devices
// behind them, read from the line-based NETFILE format shared with qvnet.

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace devsim {

// A description error; the text names file, line and field.
class NetFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using Mac = std::array<std::uint8_t, 6>;

struct AdapterDescription {
    int line = 0;
    std::uint32_t ip = 0; // host byte order
    int prefix = 24;
    std::optional<std::uint32_t> gateway;
};

// A router between an adapter's segment and a segment of its own, on which
// devices sit that the computer reaches through it alone.
struct RouterDescription {
    int line = 0;
    int adapter = 0;          // 1-based: the adapter whose segment its first side is on
    std::uint32_t ip = 0;     // its address on that segment
    std::uint32_t routed = 0; // its address on the routed segment
    int routedPrefix = 24;
};

struct DeviceDescription {
    int line = 0;
    int adapter = 0; // 1-based; 0 for a device behind a router
    int router = 0;  // 1-based: on that router's routed segment; else 0
    std::uint32_t ip = 0;
    Mac mac{};
    std::uint8_t kind = 0;
    std::array<std::uint8_t, 3> version{};
    std::uint8_t model = 0;
    std::string info;  // description of the info reply, at most 65 bytes
    std::string setup; // description of the setup reply, at most 65 bytes
    std::optional<std::uint8_t> status;
    std::uint8_t fill = 0; // value of the bytes a reply leaves unused
    int delay = 0;
    int discDelay = 0;
    int dup = 0;
    std::optional<int> discLen, infoLen, setupLen;
    bool noInfo = false;
    bool noSetup = false;
    bool silent = false;
    bool noIpSetup = false; // IP-SETUP datagrams are received but not applied
    std::optional<std::uint32_t> from;
    int chatter = 0;
    std::optional<std::uint32_t> dhcp;
    // Hostile hosts for robustness tests.
    int forge = 0;               // extra discovery replies, each with a MAC of its own
    int junk = 0;                // instead of answering: junk to the asker every `junk` ms
    int junkCount = 1000;        // junk datagrams per discovery query
    bool wrongPort = false;      // info and setup replies leave from port+1
    bool closeAfterDisc = false; // stops listening once its discovery reply is sent
    // TCP ports it listens on: 80 serves a page, any other a console banner.
    std::vector<int> tcpPorts;
};

struct NetDescription {
    std::vector<AdapterDescription> adapters;
    std::vector<RouterDescription> routers;
    std::vector<DeviceDescription> devices;
};

constexpr std::size_t kMaxDescription = 65;
constexpr int kMaxDatagram = 65507;

// Parses a whole description; `name` prefixes error messages.
NetDescription ParseNetFile(const std::string& text, const std::string& name);
NetDescription ReadNetFile(const std::string& path);

std::string IpText(std::uint32_t ip);
std::string MacText(const Mac& mac); // 00-20-4A-01-02-03
std::optional<std::uint32_t> ParseIp(const std::string& text);

} // namespace devsim
