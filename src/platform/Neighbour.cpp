// What the ARP-table way does alike on every system: checking the address
// texts and finding the adapter whose subnet holds the address. The command,
// the table and the connection attempt are the system's (posix/, win32/).

#include "platform/Neighbour.h"

#include "base/uErrors.h"
#include "platform/SocketAddress.h"

#include <cctype>
#include <cstdlib>

namespace platform {

bool ParseMacAddress(const std::string& text, char separator, TMacAddress& mac) {
    if (text.size() != 17)
        return false;
    TMacAddress bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char pair[3] = {text[3 * i], text[3 * i + 1], '\0'};
        if (!std::isxdigit(static_cast<unsigned char>(pair[0])) ||
            !std::isxdigit(static_cast<unsigned char>(pair[1])) ||
            (i + 1 < bytes.size() && text[3 * i + 2] != separator))
            return false;
        bytes[i] = static_cast<std::uint8_t>(std::strtoul(pair, nullptr, 16));
    }
    mac = bytes;
    return true;
}

std::string StaticNeighbourCommandLine(const std::string& ip, const std::string& mac,
                                       const std::vector<AdapterRecord>& adapters) {
    in_addr target{};
    TMacAddress bytes{};
    if (!ParseIPv4(ip, target))
        throw Exception("Invalid IP address \"" + ip + "\"");
    // Anything but six pairs of hex digits never reaches a command line.
    if (!ParseMacAddress(mac, '-', bytes))
        throw Exception("Invalid MAC address \"" + mac + "\"");
    for (const AdapterRecord& adapter : adapters) {
        for (const AdapterAddressRecord& a : adapter.Addresses) {
            in_addr addr{}, mask{};
            if (!ParseIPv4(a.Address, addr) || !ParseIPv4(a.Mask, mask) || addr.s_addr == 0)
                continue;
            if ((addr.s_addr & mask.s_addr) == (target.s_addr & mask.s_addr))
                return SystemNeighbourCommandLine(ip, mac, adapter);
        }
    }
    throw Exception("No adapter reaches " + ip);
}

bool StaticNeighbourPresent(const std::string& ip, const std::string& mac) {
    in_addr address{};
    TMacAddress wanted{};
    if (!ParseIPv4(ip, address) || !ParseMacAddress(mac, '-', wanted))
        return false;
    return SystemStaticNeighbourPresent(address.s_addr, wanted);
}

TConnectOutcome TcpConnectAttempt(const std::string& ip, int port, int timeoutMs) {
    in_addr address{};
    if (port < 0 || port > 65535 || !ParseIPv4(ip, address))
        throw Exception("Invalid IP address \"" + ip + "\"");
    return SystemTcpConnectAttempt(ip, port, timeoutMs);
}

} // namespace platform
