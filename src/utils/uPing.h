#pragma once
// Whether an IPv4 address is in use: name resolution and ICMP echo.

#include <array>
#include <cstdint>
#include <optional>
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
// otherwise both are 0. A user who may open no ICMP socket pings through the
// system's ping program (PingProgram), one run per attempt with the same
// time-out and pause; rtt is then the run's time and ttl 0. Raises Exception
// "Invalid handle" when neither way can ping.
bool PingHost(const std::string& host, std::uint32_t timeoutMs, std::uint8_t attempts,
              std::uint32_t& rtt, std::uint8_t& ttl);

// The ping program PingHost falls back to: the test seam's when set, else
// the one QUORVET_PING_PROGRAM names when that is set (empty: none), else the
// system's (platform::SystemPingProgram). Empty when there is none.
std::string PingProgram();
// Test seam: while set, PingProgram returns this path (empty: no program).
void OverridePingProgram(std::optional<std::string> program);

// The ping as the IP change engine uses it; tests substitute a scripted one.
class TPinger {
public:
    virtual ~TPinger() = default;
    virtual bool Ping(const std::string& host, std::uint32_t timeoutMs, std::uint8_t attempts,
                      std::uint32_t& rtt, std::uint8_t& ttl) = 0;
    // The pinger that calls ::PingHost.
    static TPinger& Default();
};
