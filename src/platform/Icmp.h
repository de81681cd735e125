#pragma once
// ICMP echo (ping) to an IPv4 address, and host name lookup.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

using TIPv4 = std::array<std::uint8_t, 4>; // byte 0 = first dotted number

enum class TIcmpKind {
    Any,      // the datagram kind where allowed, else raw
    Datagram, // unprivileged ICMP datagram socket
    Raw,      // raw socket (needs the raw-socket privilege)
    Program,  // the system's ping program, one run per request (OpenPingProgram)
};

class TIcmpEcho {
public:
    // nullptr when no ICMP socket of the kind can be opened (always for
    // Program: OpenPingProgram makes those).
    static std::unique_ptr<TIcmpEcho> Open(TIcmpKind kind = TIcmpKind::Any);

    virtual ~TIcmpEcho() = default;
    virtual TIcmpKind Kind() const = 0;
    // Sends one echo request with 32 data bytes and waits up to timeoutMs for
    // its reply; other ICMP traffic is ignored. False when no reply came in
    // time or the request could not be sent. 0.0.0.0 is never sent to (the
    // system would take it for itself).
    virtual bool Echo(const TIPv4& address, std::uint32_t timeoutMs, std::uint32_t& rttMs,
                      std::uint8_t& ttl) = 0;
};

// The system's ping program, for a user who may open no ICMP socket (the
// program carries the privilege itself); empty when there is none, or when
// the system needs none because every user may ping.
std::string SystemPingProgram();

// An echo that runs the ping program once per request, never through a
// shell, with its output discarded: one request of 32 data bytes, the same
// time-out. rttMs is then the time the run took and ttl 0 (the program's
// report is not read). nullptr when program is empty, names no executable
// file, cannot ping the loopback address (so could not tell an address in
// use from a free one), or this system has no such way. Echo raises
// Exception when the program cannot be started or its wait fails.
std::unique_ptr<TIcmpEcho> OpenPingProgram(const std::string& program);

// The first IPv4 address of a host name; false when it has none.
bool LookupHostIPv4(const std::string& name, TIPv4& address);

} // namespace platform
