#pragma once
// What the IP change needs of the system to give a device an address
// through the ARP table: a static address-to-MAC entry, and one bounded TCP
// connection attempt that makes the device see its new address.

#include "platform/Adapters.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The command line that enters a static neighbour (ARP) entry mapping ip to
// mac. ip is canonical dotted IPv4 text, mac six hyphen-separated pairs of hex
// digits; the caller has validated both. adapters is the computer's adapter
// table, for systems that must name the interface: the entry goes on the
// first adapter whose subnet contains ip. Raises Exception when no adapter
// reaches ip or the interface name cannot be put on a command line safely.
std::string StaticNeighbourCommandLine(const std::string& ip, const std::string& mac,
                                       const std::vector<AdapterRecord>& adapters);

// Whether the neighbour table holds a static entry mapping ip to mac (texts
// as for StaticNeighbourCommandLine). The command's own exit status is not
// available, so this is how a refused entry (no administrator rights) is told
// from a made one. False when the table cannot be read.
bool StaticNeighbourPresent(const std::string& ip, const std::string& mac);

enum class TConnectOutcome {
    Connected,   // the port accepted (the connection is closed at once)
    Refused,     // the host answered with a reset
    NoAnswer,    // nothing came back within the time limit
    Unreachable, // the system reported the host or network unreachable
};

// One TCP connection attempt to ip:port, given up after timeoutMs. ip is
// canonical dotted IPv4 text. Raises Exception when no socket can be made or
// the address cannot be read; how the attempt ends is not a failure.
TConnectOutcome TcpConnectAttempt(const std::string& ip, int port, int timeoutMs);

using TMacAddress = std::array<std::uint8_t, 6>;

// Six pairs of hex digits (either case) joined by separator; false for
// anything else.
bool ParseMacAddress(const std::string& text, char separator, TMacAddress& mac);

// The system's halves, implemented once per system. The functions above check
// the address texts (and find the adapter) before they call them.
//
// The command line for the entry on adapter, whose subnet holds ip; raises
// Exception when it cannot be written safely.
std::string SystemNeighbourCommandLine(const std::string& ip, const std::string& mac,
                                       const AdapterRecord& adapter);
// Whether the table holds a static entry of address (network byte order) to mac.
bool SystemStaticNeighbourPresent(std::uint32_t address, const TMacAddress& mac);
// The attempt itself; ip and port are valid.
TConnectOutcome SystemTcpConnectAttempt(const std::string& ip, int port, int timeoutMs);

} // namespace platform
