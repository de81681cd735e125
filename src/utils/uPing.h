#pragma once
// Whether an IPv4 address is in use: name resolution and ICMP echo.

#include <array>
#include <cstdint>
#include <string>

// Pause after every attempt that got no answer, the last one included.
constexpr std::uint32_t PingRetryPauseMs = 500;

// addr := the host's first IPv4 address (byte 0 = first dotted number).
// Dotted text is taken as it is, without a name query; text of digits and
// dots that is no valid address, and names that cannot be looked up, give
// 0.0.0.0. Never raises.
void ResolveHostAddress(const std::string& host, std::array<std::uint8_t, 4>& addr);

// Sends up to attempts (0 acts as 1) echo requests to host, each waited for
// timeoutMs. True when a reply came; rtt (ms) and ttl then describe it,
// otherwise both are 0. Raises Exception "Invalid handle" when no ICMP
// socket can be opened.
bool PingHost(const std::string& host, std::uint32_t timeoutMs, std::uint8_t attempts,
              std::uint32_t& rtt, std::uint8_t& ttl);

// The ping as the IP change engine uses it; tests substitute a scripted one.
class TPinger {
public:
    virtual ~TPinger() = default;
    virtual bool Ping(const std::string& host, std::uint32_t timeoutMs, std::uint8_t attempts,
                      std::uint32_t& rtt, std::uint8_t& ttl) = 0;
    // The pinger that calls ::PingHost.
    static TPinger& Default();
};
