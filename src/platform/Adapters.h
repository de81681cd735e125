#pragma once
// The computer's network adapter table, one implementation per system.

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct AdapterAddressRecord {
    std::string Address; // dotted IPv4
    std::string Mask;    // dotted IPv4
};

struct AdapterRecord {
    std::string Name;
    std::string Description;
    std::vector<std::uint8_t> HardwareAddress;
    int Index = 0;
    int Type = 0;
    bool DhcpEnabled = false;
    bool HasCurrentAddress = false;
    AdapterAddressRecord CurrentAddress;
    std::vector<AdapterAddressRecord> Addresses;
    std::vector<AdapterAddressRecord> Gateways;
    AdapterAddressRecord DhcpServer;
    bool HaveWins = false;
    AdapterAddressRecord PrimaryWinsServer;
    AdapterAddressRecord SecondaryWinsServer;
};

// The adapters in the system's order, loopback left out. Raises Exception
// ("System Error.  Code: %d.\r\n%s") when the table cannot be read.
std::vector<AdapterRecord> ReadAdapterTable();

} // namespace platform
