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
};

class TIcmpEcho {
public:
    // nullptr when no ICMP socket of the kind can be opened.
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

// The first IPv4 address of a host name; false when it has none.
bool LookupHostIPv4(const std::string& name, TIPv4& address);

} // namespace platform
