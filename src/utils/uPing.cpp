#include "utils/uPing.h"

#include "base/uErrors.h"
#include "platform/Icmp.h"
#include "utils/uUtilsConvert.h"

#include <chrono>
#include <cstdlib>
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

namespace {

std::optional<std::string>& PingProgramOverride() {
    static std::optional<std::string> program;
    return program;
}

} // namespace

std::string PingProgram() {
    if (PingProgramOverride())
        return *PingProgramOverride();
    if (const char* named = std::getenv("QUORVET_PING_PROGRAM"))
        return named;
    return platform::SystemPingProgram();
}

void OverridePingProgram(std::optional<std::string> program) {
    PingProgramOverride() = std::move(program);
}

bool PingHost(const std::string& host, std::uint32_t timeoutMs, std::uint8_t attempts,
              std::uint32_t& rtt, std::uint8_t& ttl) {
    rtt = 0;
    ttl = 0;
    std::unique_ptr<platform::TIcmpEcho> icmp = platform::TIcmpEcho::Open();
    // ICMP sockets may be closed to this user (net.ipv4.ping_group_range);
    // the system's ping program carries the privilege itself.
    if (!icmp)
        icmp = platform::OpenPingProgram(PingProgram());
    if (!icmp)
        throw Exception("Invalid handle");
    std::array<std::uint8_t, 4> address{};
    ResolveHostAddress(host, address);
    const unsigned count = attempts == 0 ? 1u : attempts;
    for (unsigned attempt = 1; attempt <= count; ++attempt) {
        std::uint32_t replyRtt = 0;
        std::uint8_t replyTtl = 0;
        bool answered = false;
        try {
            answered = icmp->Echo(address, timeoutMs, replyRtt, replyTtl);
        } catch (const Exception&) {
            // The ping program could be opened but no longer runs.
            throw Exception("Invalid handle");
        }
        if (answered) {
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
