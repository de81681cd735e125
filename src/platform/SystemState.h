#pragma once
// What the computer's own settings say about its network, read-only: the
// link of an adapter, kernel settings, the default route, and whether this
// process may change the neighbour (ARP) table. For the field diagnostics;
// nothing here changes or sends anything.

#include <optional>
#include <string>

namespace platform {

// One adapter's link as the system reports it.
struct TLinkState {
    bool Known = false;   // false: the system tells nothing (the fields below mean nothing)
    bool Up = false;      // switched on
    bool Carrier = false; // a link to the other end (cable plugged in, peer on)
};

// The link of the adapter of that name (AdapterRecord::Name).
TLinkState ReadLinkState(const std::string& adapterName);

// A kernel setting by its path below /proc/sys (e.g.
// "net/ipv4/conf/all/rp_filter"), its first line without the line end;
// nullopt when it cannot be read, the path leaves that folder, or the system
// has no such settings.
std::optional<std::string> ReadKernelSetting(const std::string& key);

// Whether the IPv4 routing table holds a default route; nullopt when it
// cannot be read.
std::optional<bool> HasDefaultRoute();

// Whether this process may change the neighbour table: root or the
// CAP_NET_ADMIN capability on Linux, an administrator on Windows.
bool MayChangeNeighbourTable();

// The halves both systems share (shared .cpp), kept apart from the reads so
// that tests can give them any text.
//
// Whether the CapEff line of a /proc/PID/status text holds capability bit.
bool EffectiveCapabilityHeld(const std::string& statusText, int bit);
// Whether a /proc/net/route text holds a route to 0.0.0.0/0.
bool RouteTableHasDefault(const std::string& routeText);

} // namespace platform
