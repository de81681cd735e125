#pragma once
// The computer's adapter table as objects, and the one query the engines use:
// the first IPv4 address of every adapter.

#include "platform/Adapters.h"

#include <string>
#include <vector>

struct TInfoIPAddress {
    std::string Address; // dotted IPv4, empty when the system gives none
    std::string Mask;
};

class TAdapter {
public:
    explicit TAdapter(const platform::AdapterRecord& record);

    std::string Name;
    std::string Description;
    int HardwareAddressLength = 0;
    std::string HardwareAddress; // "00:1A:2B:3C:4D:5E", empty when length is 0
    int Index = 0;
    int Type = 0;
    bool DHCPEnabled = false; // not known on every system: false then
    TInfoIPAddress CurrentIPAddress;
    std::vector<TInfoIPAddress> IPAddresses;
    std::vector<TInfoIPAddress> Gateways;
    TInfoIPAddress DHCPServer;
    bool HaveWINS = false;
    TInfoIPAddress PrimaryWINSServer;
    TInfoIPAddress SecondaryWINSServer;

    int AddressCount() const { return static_cast<int>(IPAddresses.size()); }
    const TInfoIPAddress& Address(int i) const;
};

class TIPInfo {
public:
    // Reads the system's adapter table; raises its error.
    TIPInfo();
    // Builds from given records (tests, other systems).
    explicit TIPInfo(const std::vector<platform::AdapterRecord>& records);

    int AdapterCount() const { return static_cast<int>(adapters_.size()); }
    const TAdapter& Adapter(int i) const;

private:
    std::vector<TAdapter> adapters_;
};

// Clears the list, then adds the first address of every adapter that has one,
// in the table's order; nothing is filtered (0.0.0.0 and repeats included).
void GetAdapterAddresses(std::vector<std::string>& list);
void GetAdapterAddresses(const TIPInfo& info, std::vector<std::string>& list);
