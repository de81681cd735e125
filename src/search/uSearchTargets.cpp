#include "search/uSearchTargets.h"

#include "base/uErrors.h"
#include "base/uIniFile.h"
#include "search/IPInfo.h"
#include "utils/uUtilsConvert.h"

#include <array>
#include <cstdint>
#include <optional>
#include <set>

namespace {

std::optional<std::uint32_t> Address(const std::string& text) {
    std::array<std::uint8_t, 4> b{};
    if (!IPToBytes(text, b))
        return std::nullopt;
    return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) |
           b[3];
}

std::string Dotted(std::uint32_t a) {
    return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 0xFF) + "." +
           std::to_string((a >> 8) & 0xFF) + "." + std::to_string(a & 0xFF);
}

// 0.x is "this network", 127.x the computer itself, 224.x and above
// multicast and reserved: no device answers there by unicast.
bool DeviceAddress(std::uint32_t a) {
    const std::uint32_t first = a >> 24;
    return first != 0 && first != 127 && first < 224;
}

[[noreturn]] void Refuse(const std::string& target, const std::string& why) {
    throw Exception("Target '" + target + "': " + why);
}

struct TSpan {
    std::uint32_t First = 0;
    std::uint32_t Last = 0;
};

TSpan ParseTarget(const std::string& target) {
    const std::string form = "is not an address, a range (a-b) or a network (a/prefix)";
    if (const auto dash = target.find('-'); dash != std::string::npos) {
        const auto first = Address(target.substr(0, dash));
        const auto last = Address(target.substr(dash + 1));
        if (!first || !last)
            Refuse(target, form);
        if (*last < *first)
            Refuse(target, "the range ends before it starts");
        return {*first, *last};
    }
    if (const auto slash = target.find('/'); slash != std::string::npos) {
        const auto base = Address(target.substr(0, slash));
        const std::string bits = target.substr(slash + 1);
        // Digits only: no sign, no blanks, no hexadecimal.
        const bool digits = !bits.empty() && bits.size() <= 2 &&
                            bits.find_first_not_of("0123456789") == std::string::npos;
        const auto prefix = digits ? ParseDecimal(bits) : std::nullopt;
        if (!base || !prefix || *prefix > 32)
            Refuse(target, form);
        if (*prefix < MinTargetPrefix)
            Refuse(target, "a network wider than /" + std::to_string(MinTargetPrefix) +
                               " (1024 addresses) is refused; give smaller networks");
        const std::uint32_t mask =
            *prefix == 0 ? 0 : ~std::uint32_t{0} << (32 - static_cast<int>(*prefix));
        // An address inside the network stands for the network, as in
        // "my adapter is 10.20.0.5/24".
        TSpan span{*base & mask, (*base & mask) | ~mask};
        if (*prefix <= 30) { // its own and its broadcast address are no device's
            ++span.First;
            --span.Last;
        }
        return span;
    }
    const auto single = Address(target);
    if (!single)
        Refuse(target, form);
    return {*single, *single};
}

} // namespace

std::vector<std::string> ExpandTargets(const std::vector<std::string>& targets) {
    std::vector<std::string> out;
    std::set<std::uint32_t> seen;
    for (const std::string& target : targets) {
        const TSpan span = ParseTarget(target);
        if (span.Last - span.First >= static_cast<std::uint32_t>(MaxTargetAddresses))
            Refuse(target, "more than " + std::to_string(MaxTargetAddresses) +
                               " addresses; at most " + std::to_string(MaxTargetAddresses) +
                               " are searched at once");
        for (std::uint64_t a = span.First; a <= span.Last; ++a)
            if (!DeviceAddress(static_cast<std::uint32_t>(a)))
                Refuse(target, Dotted(static_cast<std::uint32_t>(a)) +
                                   " cannot be a device's address (0.x, 127.x, multicast "
                                   "or reserved)");
        for (std::uint64_t a = span.First; a <= span.Last; ++a) {
            if (!seen.insert(static_cast<std::uint32_t>(a)).second)
                continue;
            if (seen.size() > static_cast<std::size_t>(MaxTargetAddresses))
                Refuse(target, "the targets come to more than " +
                                   std::to_string(MaxTargetAddresses) + " addresses; at most " +
                                   std::to_string(MaxTargetAddresses) + " are searched at once");
            out.push_back(Dotted(static_cast<std::uint32_t>(a)));
        }
    }
    return out;
}

std::vector<std::string> SplitTargetList(const std::string& text) {
    std::vector<std::string> targets;
    std::string part;
    for (char c : text) {
        if (c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (!part.empty())
                targets.push_back(std::move(part));
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        targets.push_back(std::move(part));
    return targets;
}

std::vector<std::string> SettingsFileTargets(const std::string& settingsFile) {
    if (settingsFile.empty())
        return {};
    const auto ini = TIniFile::Load(settingsFile);
    if (!ini)
        return {};
    return SplitTargetList(ini->ReadString("Search", "Targets", ""));
}

std::string AdapterForAddress(const std::vector<TLocalSubnet>& subnets, const std::string& ip) {
    const auto device = Address(ip);
    if (device)
        for (const TLocalSubnet& s : subnets) {
            const auto address = Address(s.Address);
            const auto mask = Address(s.Mask);
            // 0.0.0.0 (an adapter without an address) holds no device.
            if (address && mask && *address != 0 && *mask != 0 &&
                (*address & *mask) == (*device & *mask))
                return s.Adapter;
        }
    return UnicastAdapter;
}

std::vector<TLocalSubnet> LocalSubnets(const TIPInfo& info) {
    std::vector<TLocalSubnet> subnets;
    for (int i = 0; i < info.AdapterCount(); ++i) {
        const TAdapter& adapter = info.Adapter(i);
        for (const TInfoIPAddress& a : adapter.IPAddresses)
            subnets.push_back({adapter.IPAddresses.front().Address, a.Address, a.Mask});
    }
    return subnets;
}
