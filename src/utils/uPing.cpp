#include "utils/uPing.h"

#include "base/uErrors.h"
#include "platform/Icmp.h"
#include "utils/uUtilsConvert.h"

#include <chrono>
#include <thread>

void ResolveHostAddress(const std::string& host, std::array<std::uint8_t, 4>& addr) {
    addr = {0, 0, 0, 0};
    try {
        // Dotted text is read the way the address is later sent (decimal,
        // leading zeros allowed), never as octal and never sent to a resolver.
        if (!host.empty() && host.find_first_not_of("0123456789.") == std::string::npos) {
            IPToBytes(host, addr);
            return;
        }
        platform::TIPv4 found{};
        if (platform::LookupHostIPv4(host, found))
            addr = found;
    } catch (...) {
        addr = {0, 0, 0, 0};
    }
}

bool PingHost(const std::string& host, std::uint32_t timeoutMs, std::uint8_t attempts,
              std::uint32_t& rtt, std::uint8_t& ttl) {
    rtt = 0;
    ttl = 0;
    std::unique_ptr<platform::TIcmpEcho> icmp = platform::TIcmpEcho::Open();
    if (!icmp)
        throw Exception("Invalid handle");
    std::array<std::uint8_t, 4> address{};
    ResolveHostAddress(host, address);
    const unsigned count = attempts == 0 ? 1u : attempts;
    for (unsigned attempt = 1; attempt <= count; ++attempt) {
        std::uint32_t replyRtt = 0;
        std::uint8_t replyTtl = 0;
        if (icmp->Echo(address, timeoutMs, replyRtt, replyTtl)) {
            rtt = replyRtt;
            ttl = replyTtl;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(PingRetryPauseMs));
    }
    return false;
}

namespace {

class TSystemPinger : public TPinger {
public:
    bool Ping(const std::string& host, std::uint32_t timeoutMs, std::uint8_t attempts,
              std::uint32_t& rtt, std::uint8_t& ttl) override {
        return ::PingHost(host, timeoutMs, attempts, rtt, ttl);
    }
};

} // namespace

TPinger& TPinger::Default() {
    static TSystemPinger pinger;
    return pinger;
}
