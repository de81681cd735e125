#pragma once
// The IP change engine: gives one device, named by its MAC address, a new
// IPv4 address, either by the IP-SETUP datagram broadcast to the XPort
// module's port or by a static ARP entry followed by a connection attempt to
// port 1 of the new address. Every outcome is a message text and a result
// code; nothing is raised to the caller. One engine serves one change; it
// shares nothing with other engines, so it may run off the UI thread.

#include "device/uDeviceComm.h"
#include "platform/Adapters.h"
#include "platform/Neighbour.h"
#include "search/IPInfo.h"
#include "search/uXPortSearch.h"
#include "utils/uPing.h"
#include "utils/uUtilsWinAPI.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

// The six message texts, in this order: temporary assignment (ARP-table way
// done), request sent (IP-SETUP way done), change error, IP syntax error, IP
// address already exists, MAC syntax error.
struct TXPortIPChangeMsgLngSupport {
    std::array<std::string, 6> Texts;
};

// The built-in texts of the record above.
TXPortIPChangeMsgLngSupport DefaultIPChangeMessages();

// Result codes of ChangeIP, AssignByArp and SendIpSetup.
inline constexpr int IPChangeTemporary = 0;   // ARP-table way done
inline constexpr int IPChangeFailed = 1;      // error or refusal
inline constexpr int IPChangeRequestSent = 2; // IP-SETUP datagram sent

// The services the engine uses; the defaults are the system's. Tests
// substitute fakes so that no datagram, ping or command leaves the process.
struct TXPortIPChangeServices {
    TDatagramLinkFactory LinkFactory = DefaultLinkFactory();
    // The first IPv4 address of every adapter (GetAdapterAddresses).
    std::function<void(std::vector<std::string>&)> AdapterAddresses =
        [](std::vector<std::string>& list) { GetAdapterAddresses(list); };
    // The adapter table, to find the interface that reaches a new address.
    std::function<std::vector<platform::AdapterRecord>()> AdapterTable = platform::ReadAdapterTable;
    TPinger* Pinger = &TPinger::Default();
    TProcessRunner* Runner = &TProcessRunner::Default();
    std::function<bool(const std::string&, const std::string&)> NeighbourPresent =
        platform::StaticNeighbourPresent;
    std::function<platform::TConnectOutcome(const std::string&, int, int)> ConnectAttempt =
        platform::TcpConnectAttempt;
    // Bounds of the ARP-table way: a command that takes longer counts as a
    // failure; the connection attempt is simply given up.
    int CommandTimeLimitMs = 5000;
    int ConnectTimeoutMs = 3000;
};

class TXPortIPChange {
public:
    TXPortIPChange();
    explicit TXPortIPChange(TXPortIPChangeServices services);

    // true: the ARP-table way; false: the IP-SETUP way.
    bool ArpOnly = false;
    // IP-SETUP way: true sends through every adapter, false through one.
    bool AllAdapters = false;
    // Where ChangeIP appends what it did (see uXPortIPChangeRecord.h); empty:
    // nothing is recorded. OldIP: the device's address before, for that
    // record (empty when unknown).
    std::string RecordFile;
    std::string OldIP;

    // Each non-empty entry replaces the message of the same index.
    void SetMessages(const TXPortIPChangeMsgLngSupport& messages);
    // The message text in force, index 1 to 6.
    const std::string& MessageText(int index) const;
    // Why the last change failed and what to do, where the message alone
    // leaves a user stuck (no ping allowed, no right to make the ARP-table
    // entry, an address no device can have): one line without line breaks,
    // shown after the message. Empty when there is nothing to add. Reset by
    // ChangeIP, AssignByArp and SendIpSetup.
    const std::string& Cause() const { return cause_; }

    // MAC syntax check, ping of the new address (500 ms, 3 attempts), then
    // the chosen way. True when the change was carried out (code 0 in the
    // ARP-table way, 2 in the IP-SETUP way). adapter: the local address of
    // the adapter the device was found through; used by the IP-SETUP way
    // when AllAdapters is false, may be empty. UnicastAdapter (a device
    // behind a router) is refused in both ways before anything is sent.
    bool ChangeIP(const std::string& mac, const std::string& ip, const std::string& adapter,
                  std::string& message, int& code);
    // Both ways refuse, with the IP syntax message and a cause, an address
    // no device can have: 0.0.0.0/8 (the IP-SETUP way's 0.0.0.0 asks for
    // DHCP and is allowed), 127.0.0.0/8, multicast, class E, and the network
    // and broadcast address of the subnet the device is on. That subnet is
    // the one of the adapter the IP-SETUP way sends through; with every
    // adapter, no adapter named, or in the ARP-table way, it is that of
    // every adapter whose subnet holds the address.
    //
    // The ARP-table way alone; returns the result code.
    int AssignByArp(const std::string& mac, const std::string& ip, std::string& message);
    // The IP-SETUP way alone; returns the result code.
    int SendIpSetup(const std::string& mac, const std::string& ip, std::string& message,
                    const std::string& adapter);

    // The 5th and 6th pair of a hyphen-separated MAC in upper case, "0000"
    // when the text does not have six parts.
    static std::string MacSuffix(const std::string& mac);
    // The 20-byte IP-SETUP datagram for a device and its new address.
    // Raises Exception when the texts cannot be converted.
    static std::string IpSetupDatagram(const std::string& mac, const std::string& ip);

    static constexpr std::uint32_t PingTimeoutMs = 500;
    static constexpr std::uint8_t PingAttempts = 3;

private:
    bool ChangeIPSteps(const std::string& mac, const std::string& ip, const std::string& adapter,
                       std::string& message, int& code);
    // Sets the message of an IP or MAC text that is not usable (the IP's
    // first); false when both are.
    bool RefuseSyntax(const std::string& mac, const std::string& ip, std::string& message) const;
    // True (with cause_ set) when no device can live at ip, a valid address.
    // adapter: the one adapter the datagram goes through, or null.
    bool RefuseUnusableAddress(const std::string& ip, bool dhcpAllowed, const std::string* adapter);

    std::array<std::string, 6> messages_;
    TXPortIPChangeServices services_;
    std::string cause_;
};

// The listed devices other than the one with this MAC whose last two MAC
// octets equal those of mac: they would take the address of an IP-SETUP
// datagram meant for it. MACs compare case-insensitively, in hyphen or colon
// form; entries without a MAC ("N/A") never match. adapter: only entries
// found through this adapter (AdapterIP), or every entry when empty (for a
// datagram sent through all adapters). Empty when mac is no MAC.
std::vector<TXportPar> DevicesSharingMacSuffix(const std::vector<TXportPar>& devices,
                                               const std::string& mac, const std::string& adapter);

// The MAC in the engine's form (six upper-case pairs joined by hyphens) from
// hyphen or colon form; empty when the text is no MAC.
std::string HyphenMac(const std::string& mac);
