#include "platform/Adapters.h"

#include "base/uErrors.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <ifaddrs.h>
#include <map>
#include <net/if.h>
#include <netinet/in.h>
#include <sstream>

namespace platform {

namespace {

std::string ReadSysText(const std::string& ifName, const char* entry) {
    std::ifstream in("/sys/class/net/" + ifName + "/" + entry);
    std::string line;
    if (in)
        std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.pop_back();
    return line;
}

int ReadSysInt(const std::string& ifName, const char* entry, int def) {
    std::string text = ReadSysText(ifName, entry);
    try {
        return text.empty() ? def : std::stoi(text);
    } catch (...) {
        return def;
    }
}

std::string AddrText(const sockaddr* sa) {
    if (!sa || sa->sa_family != AF_INET)
        return {};
    char text[INET_ADDRSTRLEN] = {};
    const auto* in = reinterpret_cast<const sockaddr_in*>(sa);
    if (!inet_ntop(AF_INET, &in->sin_addr, text, sizeof text))
        return {};
    return text;
}

std::vector<std::uint8_t> ParseHardwareAddress(const std::string& text, int length) {
    std::vector<std::uint8_t> bytes;
    std::istringstream in(text);
    std::string part;
    while (std::getline(in, part, ':') && static_cast<int>(bytes.size()) < length) {
        try {
            bytes.push_back(static_cast<std::uint8_t>(std::stoi(part, nullptr, 16)));
        } catch (...) {
            return {};
        }
    }
    return bytes;
}

// Default and other gateways of each interface, from the kernel's IPv4 routes.
std::map<std::string, std::vector<std::string>> ReadGateways() {
    std::map<std::string, std::vector<std::string>> result;
    std::ifstream in("/proc/net/route");
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string iface, dest, gw, flags;
        if (!(fields >> iface >> dest >> gw >> flags))
            continue;
        unsigned long g = 0, f = 0;
        try {
            g = std::stoul(gw, nullptr, 16);
            f = std::stoul(flags, nullptr, 16);
        } catch (...) {
            continue;
        }
        constexpr unsigned long RouteGateway = 0x2;
        if (g == 0 || !(f & RouteGateway))
            continue;
        in_addr a;
        a.s_addr = static_cast<in_addr_t>(g); // already in network order
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &a, text, sizeof text);
        auto& list = result[iface];
        if (std::find(list.begin(), list.end(), text) == list.end())
            list.emplace_back(text);
    }
    return result;
}

} // namespace

std::vector<AdapterRecord> ReadAdapterTable() {
    ifaddrs* head = nullptr;
    if (::getifaddrs(&head) != 0) {
        int code = errno;
        char buf[64];
        std::snprintf(buf, sizeof buf, "System Error.  Code: %d.\r\n", code);
        throw Exception(buf + std::string(std::strerror(code)));
    }
    // Interfaces by kernel index; each keeps its IPv4 addresses in the order
    // the kernel lists them (primary first).
    std::map<unsigned, AdapterRecord> byIndex;
    for (ifaddrs* p = head; p; p = p->ifa_next) {
        if (!p->ifa_name || (p->ifa_flags & IFF_LOOPBACK))
            continue;
        unsigned index = if_nametoindex(p->ifa_name);
        if (index == 0)
            continue;
        AdapterRecord& rec = byIndex[index];
        if (rec.Name.empty()) {
            rec.Name = p->ifa_name;
            rec.Index = static_cast<int>(index);
        }
        if (p->ifa_addr && p->ifa_addr->sa_family == AF_INET)
            rec.Addresses.push_back({AddrText(p->ifa_addr), AddrText(p->ifa_netmask)});
    }
    ::freeifaddrs(head);

    auto gateways = ReadGateways();
    std::vector<AdapterRecord> table;
    for (auto& [index, rec] : byIndex) {
        std::string alias = ReadSysText(rec.Name, "ifalias");
        rec.Description = alias.empty() ? rec.Name : alias;
        rec.Type = ReadSysInt(rec.Name, "type", 0);
        int hwLen = ReadSysInt(rec.Name, "addr_len", 0);
        if (hwLen > 0)
            rec.HardwareAddress = ParseHardwareAddress(ReadSysText(rec.Name, "address"), hwLen);
        if (!rec.Addresses.empty()) {
            rec.HasCurrentAddress = true;
            rec.CurrentAddress = rec.Addresses.front();
        }
        for (const auto& gw : gateways[rec.Name])
            rec.Gateways.push_back({gw, {}});
        table.push_back(std::move(rec));
    }
    return table;
}

} // namespace platform
