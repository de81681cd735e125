#include "ipchange/uXPortIPChange.h"

#include "base/uAsciiText.h"
#include "base/uErrors.h"
#include "ipchange/uXPortIPChangeRecord.h"
#include "ipchange/uXPortIPChangeStrings.h"
#include "utils/uUtilsConvert.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

namespace {

// Command, "IP-SETUP" and two zero bytes; the MAC suffix follows.
constexpr const char* IpSetupHeadHex = "000000FC49502D53455455500000";
constexpr std::size_t IpSetupSize = 20;
// The port the connection attempt of the ARP-table way goes to.
constexpr int ArpWayPort = 1;

// Indices into the message table.
enum : std::size_t {
    MsgTemporary = 0,
    MsgRequestSent = 1,
    MsgError = 2,
    MsgIPSyntax = 3,
    MsgIPExists = 4,
    MsgMACSyntax = 5,
};

// The address as a number, first dotted number in the top byte.
std::optional<std::uint32_t> AddressValue(const std::string& ip) {
    std::array<std::uint8_t, 4> b{};
    if (!IPToBytes(ip, b))
        return std::nullopt;
    return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 |
           std::uint32_t{b[3]};
}

std::string DottedText(std::uint32_t a) {
    return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 0xFF) + "." +
           std::to_string((a >> 8) & 0xFF) + "." + std::to_string(a & 0xFF);
}

// Dotted text without leading zeros. The validator reads "010" as ten, but
// system tools would read it as octal eight and act on another address.
std::string CanonicalIP(const std::string& ip) {
    const auto a = AddressValue(ip);
    if (!a)
        throw Exception("Invalid IP address \"" + ip + "\"");
    return DottedText(*a);
}

// The text with %1 and %2 replaced; the texts are ours, each place once.
std::string Fill(std::string text, const std::string& one, const std::string& two = {}) {
    for (const auto& [mark, value] : {std::pair{"%1", &one}, std::pair{"%2", &two}})
        if (const std::size_t at = text.find(mark); at != std::string::npos)
            text.replace(at, 2, *value);
    return text;
}

// Why no device can have the address on any network; null when it can.
const char* ReservedRangeCause(std::uint32_t a, bool dhcpAllowed) {
    using namespace IPChangeStrings;
    if (a == 0 && dhcpAllowed)
        return nullptr;
    if (a >> 24 == 0)
        return SIPChangeCauseThisNetwork;
    if (a >> 24 == 127)
        return SIPChangeCauseLoopback;
    if (a == 0xFFFFFFFFu)
        return SIPChangeCauseLimitedBroadcast;
    if (a >> 28 == 0xE)
        return SIPChangeCauseMulticast;
    if (a >> 28 == 0xF)
        return SIPChangeCauseReserved;
    return nullptr;
}

// "/24", or the whole mask where it is not a prefix.
std::string PrefixText(std::uint32_t mask) {
    const int ones = std::popcount(mask);
    if (ones == 32 || mask == ~(0xFFFFFFFFu >> ones))
        return "/" + std::to_string(ones);
    return "/" + DottedText(mask);
}

// Why the address cannot be a host of the adapter address's subnet: it is
// that subnet's network or broadcast address. Empty otherwise.
std::string SubnetCause(std::uint32_t a, const platform::AdapterAddressRecord& adapter) {
    const auto own = AddressValue(adapter.Address);
    const auto mask = AddressValue(adapter.Mask);
    if (!own || !mask || *own == 0)
        return {};
    const std::uint32_t hosts = ~*mask;
    // A /31 or /32 has no network or broadcast address of its own.
    if (std::popcount(hosts) < 2)
        return {};
    const std::uint32_t network = *own & *mask;
    if ((a & *mask) != network)
        return {};
    const std::string where = DottedText(*own) + PrefixText(*mask);
    if (a == network)
        return Fill(IPChangeStrings::SIPChangeCauseSubnetNetwork, DottedText(a), where);
    if (a == (network | hosts))
        return Fill(IPChangeStrings::SIPChangeCauseSubnetBroadcast, DottedText(a), where);
    return {};
}

} // namespace

TXPortIPChangeMsgLngSupport DefaultIPChangeMessages() {
    using namespace IPChangeStrings;
    return TXPortIPChangeMsgLngSupport{{SIPChangeTemporary, SIPChangeRequestSent, SIPChangeError,
                                        SIPChangeIPSyntax, SIPChangeIPExists, SIPChangeMACSyntax}};
}

TXPortIPChange::TXPortIPChange() : TXPortIPChange(TXPortIPChangeServices{}) {}

TXPortIPChange::TXPortIPChange(TXPortIPChangeServices services)
    : messages_(DefaultIPChangeMessages().Texts), services_(std::move(services)) {}

void TXPortIPChange::SetMessages(const TXPortIPChangeMsgLngSupport& messages) {
    for (std::size_t i = 0; i < messages_.size(); ++i)
        if (!messages.Texts[i].empty())
            messages_[i] = messages.Texts[i];
}

const std::string& TXPortIPChange::MessageText(int index) const {
    static const std::string none;
    if (index < 1 || index > static_cast<int>(messages_.size()))
        return none;
    return messages_[static_cast<std::size_t>(index - 1)];
}

bool TXPortIPChange::ChangeIP(const std::string& mac, const std::string& ip,
                              const std::string& adapter, std::string& message, int& code) {
    const bool done = ChangeIPSteps(mac, ip, adapter, message, code);
    if (!RecordFile.empty()) {
        TIPChangeRecord record;
        record.MAC = mac;
        record.OldIP = OldIP;
        record.NewIP = ip;
        record.ArpOnly = ArpOnly;
        record.AllAdapters = AllAdapters;
        record.Adapter = adapter;
        record.Done = done;
        record.Message = message;
        record.Cause = cause_;
        AppendChangeRecord(RecordFile, record);
    }
    return done;
}

bool TXPortIPChange::ChangeIPSteps(const std::string& mac, const std::string& ip,
                                   const std::string& adapter, std::string& message, int& code) {
    cause_.clear();
    message = messages_[MsgError];
    code = IPChangeFailed;
    try {
        if (!IsValidMAC(mac)) {
            message = messages_[MsgMACSyntax];
            return false;
        }
        // Not even a ping: neither way can reach a device behind a router.
        if (adapter == UnicastAdapter) {
            cause_ = IPChangeStrings::SIPChangeCauseUnicast;
            return false;
        }
        if (!services_.Pinger)
            throw Exception("No pinger");
        std::uint32_t rtt = 0;
        std::uint8_t ttl = 0;
        // The text goes to the ping as typed; its syntax is the chosen way's
        // business, so an address in use is refused before anything else.
        bool inUse = false;
        try {
            inUse = services_.Pinger->Ping(ip, PingTimeoutMs, PingAttempts, rtt, ttl);
        } catch (...) {
            // Neither an ICMP socket nor the ping program: a normal user's
            // usual case, which the message alone does not explain.
            cause_ = IPChangeStrings::SIPChangeCausePing;
            throw;
        }
        if (inUse) {
            message = messages_[MsgIPExists];
            return false;
        }
        message.clear();
        if (ArpOnly) {
            code = AssignByArp(mac, ip, message);
            return code == IPChangeTemporary;
        }
        code = SendIpSetup(mac, ip, message, adapter);
        return code == IPChangeRequestSent;
    } catch (...) {
        // The outcome stays what the steps so far made it.
        if (message.empty())
            message = messages_[MsgError];
        return false;
    }
}

bool TXPortIPChange::RefuseUnusableAddress(const std::string& ip, bool dhcpAllowed,
                                           const std::string* adapter) {
    const auto a = AddressValue(ip);
    if (!a)
        return false; // the syntax check's business
    if (const char* cause = ReservedRangeCause(*a, dhcpAllowed)) {
        cause_ = Fill(cause, DottedText(*a));
        return true;
    }
    if (*a == 0)
        return false; // DHCP
    if (!services_.AdapterTable)
        throw Exception("No adapter table");
    std::vector<platform::AdapterAddressRecord> subnets;
    for (const platform::AdapterRecord& record : services_.AdapterTable())
        subnets.insert(subnets.end(), record.Addresses.begin(), record.Addresses.end());
    // The adapter the datagram goes through is the device's segment; an
    // adapter the table does not know says nothing, so every subnet counts.
    if (const auto through = adapter ? AddressValue(*adapter) : std::nullopt) {
        const auto own = std::find_if(subnets.begin(), subnets.end(), [&](const auto& s) {
            return AddressValue(s.Address) == through;
        });
        if (own != subnets.end()) {
            const platform::AdapterAddressRecord only = *own;
            subnets.assign(1, only);
        }
    }
    for (const platform::AdapterAddressRecord& s : subnets)
        if (std::string cause = SubnetCause(*a, s); !cause.empty()) {
            cause_ = std::move(cause);
            return true;
        }
    return false;
}

bool TXPortIPChange::RefuseSyntax(const std::string& mac, const std::string& ip,
                                  std::string& message) const {
    if (!IsValidIP(ip)) {
        message = messages_[MsgIPSyntax];
        return true;
    }
    // ChangeIP has checked the MAC already; a direct caller of a way may not
    // have. The ARP-table way puts the text onto a command line, and an
    // IP-SETUP datagram without a valid MAC would carry the suffix 00 00,
    // which another device could take.
    if (!IsValidMAC(mac)) {
        message = messages_[MsgMACSyntax];
        return true;
    }
    return false;
}

int TXPortIPChange::AssignByArp(const std::string& mac, const std::string& ip,
                                std::string& message) {
    cause_.clear();
    message = messages_[MsgError];
    try {
        if (RefuseSyntax(mac, ip, message))
            return IPChangeFailed;
        // Valid text, but no device can be given the address.
        if (RefuseUnusableAddress(ip, false, nullptr)) {
            message = messages_[MsgIPSyntax];
            return IPChangeFailed;
        }
        if (!services_.Runner || !services_.AdapterTable || !services_.NeighbourPresent ||
            !services_.ConnectAttempt)
            throw Exception("ARP-table services missing");
        const std::string address = CanonicalIP(ip);
        const std::string command =
            platform::StaticNeighbourCommandLine(address, mac, services_.AdapterTable());
        // A command that does not end in time may not have made the entry.
        if (!services_.Runner->RunAndWait(command, true, services_.CommandTimeLimitMs))
            return IPChangeFailed;
        // The command's exit status is not reported; without the entry (no
        // rights, say) the change cannot work and must not be called done.
        if (!services_.NeighbourPresent(address, mac)) {
            cause_ = IPChangeStrings::SIPChangeCauseArpRights;
            return IPChangeFailed;
        }
        // How the attempt ends does not matter: its first packet, sent to the
        // device's MAC, is what tells the device its new address.
        services_.ConnectAttempt(address, ArpWayPort, services_.ConnectTimeoutMs);
        message = messages_[MsgTemporary];
        return IPChangeTemporary;
    } catch (...) {
        message = messages_[MsgError];
        return IPChangeFailed;
    }
}

int TXPortIPChange::SendIpSetup(const std::string& mac, const std::string& ip, std::string& message,
                                const std::string& adapter) {
    cause_.clear();
    message = messages_[MsgError];
    try {
        if (RefuseSyntax(mac, ip, message))
            return IPChangeFailed;
        // 0.0.0.0 asks the device to take an address by DHCP.
        if (RefuseUnusableAddress(ip, true, AllAdapters || adapter.empty() ? nullptr : &adapter)) {
            message = messages_[MsgIPSyntax];
            return IPChangeFailed;
        }
        if (!services_.LinkFactory)
            throw Exception("No link factory");
        const std::string datagram = IpSetupDatagram(mac, ip);
        auto broadcast = [&](const std::string* localIp) {
            std::unique_ptr<TDatagramLink> link = services_.LinkFactory();
            if (!link)
                throw Exception("Cannot allocate socket.");
            if (localIp)
                link->BindToAddress(*localIp);
            link->SendBroadcast(datagram, XPortPort);
        };
        if (AllAdapters) {
            if (!services_.AdapterAddresses)
                throw Exception("No adapter list");
            std::vector<std::string> addresses;
            services_.AdapterAddresses(addresses);
            // Nothing sent is no success.
            if (addresses.empty())
                return IPChangeFailed;
            // A failing adapter ends the round; what went out before stays sent.
            for (const std::string& local : addresses)
                broadcast(&local);
        } else {
            broadcast(adapter.empty() ? nullptr : &adapter);
        }
        message = messages_[MsgRequestSent];
        return IPChangeRequestSent;
    } catch (...) {
        message = messages_[MsgError];
        return IPChangeFailed;
    }
}

std::string TXPortIPChange::MacSuffix(const std::string& mac) {
    std::vector<std::string> parts(1);
    for (char c : mac) {
        if (c == '-')
            parts.emplace_back();
        else
            parts.back() += UpperAscii(c);
    }
    if (parts.size() != 6)
        return "0000";
    return parts[4] + parts[5];
}

std::string TXPortIPChange::IpSetupDatagram(const std::string& mac, const std::string& ip) {
    std::array<std::uint8_t, 4> bytes{};
    if (!IPToBytes(ip, bytes))
        throw Exception("Invalid IP address \"" + ip + "\"");
    std::string address;
    if (BytesToStr(bytes.data(), 4, address) != 4)
        throw Exception("Address conversion failed");
    std::string datagram;
    HexStr2BinStr(std::string(IpSetupHeadHex) + MacSuffix(mac), datagram);
    datagram += address;
    if (datagram.size() != IpSetupSize)
        throw Exception("IP-SETUP datagram length error");
    return datagram;
}

std::string HyphenMac(const std::string& mac) {
    std::string m = mac;
    for (char& c : m) {
        if (c == ':')
            c = '-';
        c = UpperAscii(c);
    }
    return IsValidMAC(m) ? m : std::string();
}

std::vector<TXportPar> DevicesSharingMacSuffix(const std::vector<TXportPar>& devices,
                                               const std::string& mac, const std::string& adapter) {
    std::vector<TXportPar> sharing;
    const std::string own = HyphenMac(mac);
    if (own.empty())
        return sharing;
    // "00-20-4A-01-02-03": the last two octets start after the fourth hyphen.
    constexpr std::size_t SuffixAt = 12;
    for (const TXportPar& d : devices) {
        const std::string other = HyphenMac(d.MAC);
        if (other.empty() || other == own)
            continue;
        if (!adapter.empty() && d.AdapterIP != adapter)
            continue;
        if (other.compare(SuffixAt, std::string::npos, own, SuffixAt, std::string::npos) == 0)
            sharing.push_back(d);
    }
    return sharing;
}
