#pragma once
// Search targets: addresses the search also asks by unicast, for devices
// behind a router that no broadcast reaches. A technician writes them as
// single addresses (10.30.1.7), ranges (10.20.0.10-10.20.0.40) or networks
// (10.20.0.0/24).

#include <string>
#include <vector>

// The adapter text of a device found by unicast outside every local subnet,
// and the name of the search's unicast pass.
inline constexpr const char* UnicastAdapter = "unicast";

// A network wider than this prefix is refused: /22 holds 1024 addresses.
inline constexpr int MinTargetPrefix = 22;
// Addresses of one search at most, all targets together: at the search's pace
// (TXportSearch::DefaultTargetPaceMicros) they take about four seconds.
inline constexpr int MaxTargetAddresses = 4096;

// The addresses of the targets, dotted, in the order given, each once.
// A network's own address and its broadcast address are left out (they are
// no device's address); /31 and /32 keep both. A range is taken as written,
// its ends included. Raises Exception with a message naming the target that is
// not an address, range or network, a range that runs backwards, a network
// wider than /22, an address that cannot be a device's (0.x, 127.x,
// multicast and above), and a total beyond MaxTargetAddresses.
std::vector<std::string> ExpandTargets(const std::vector<std::string>& targets);

// The targets of a list as users write it: separated by commas and blanks
// (spaces, tabs, line breaks); empty parts dropped.
std::vector<std::string> SplitTargetList(const std::string& text);

// The list of the settings file's [Search] Targets= (its targets, unchecked);
// empty when the file, section or key is missing.
std::vector<std::string> SettingsFileTargets(const std::string& settingsFile);

// A subnet of a local adapter. A device found by unicast on one of them is
// listed with that adapter, as if its pass had heard it.
struct TLocalSubnet {
    std::string Adapter; // the adapter's first address, as its pass is named
    std::string Address;
    std::string Mask;
};
class TIPInfo;
// Every address of every adapter with its mask.
std::vector<TLocalSubnet> LocalSubnets(const TIPInfo& info);
// The adapter whose subnet holds ip (the first in list order), or
// UnicastAdapter when none does.
std::string AdapterForAddress(const std::vector<TLocalSubnet>& subnets, const std::string& ip);
