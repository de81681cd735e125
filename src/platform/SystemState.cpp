#include "platform/SystemState.h"

#include <cstdint>
#include <sstream>

namespace platform {

bool EffectiveCapabilityHeld(const std::string& statusText, int bit) {
    if (bit < 0 || bit > 63)
        return false;
    std::istringstream in(statusText);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("CapEff:", 0) != 0)
            continue;
        std::istringstream fields(line.substr(7));
        std::string hex;
        fields >> hex;
        if (hex.empty() || hex.size() > 16 ||
            hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return false;
        const std::uint64_t mask = std::stoull(hex, nullptr, 16);
        return (mask >> bit) & 1u;
    }
    return false;
}

bool RouteTableHasDefault(const std::string& routeText) {
    std::istringstream in(routeText);
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string iface, dest, gateway, flags, refCnt, use, metric, mask;
        if (!(fields >> iface >> dest >> gateway >> flags >> refCnt >> use >> metric >> mask))
            continue;
        constexpr unsigned long RouteUp = 0x1;
        unsigned long f = 0;
        try {
            f = std::stoul(flags, nullptr, 16);
        } catch (...) {
            continue;
        }
        if (dest == "00000000" && mask == "00000000" && (f & RouteUp))
            return true;
    }
    return false;
}

} // namespace platform
