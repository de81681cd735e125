// ICMP echo through the system's ICMP library, and name lookup through
// gethostbyname.

#include "platform/Icmp.h"

// Windows headers in the order they need (winsock2.h before windows.h).
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>
// clang-format on

#include <cstring>
#include <vector>

namespace platform {

namespace {

constexpr std::size_t DataSize = 32;
// One reply record, the echoed data, and the 8 bytes of an ICMP error that
// the library may put there. (A fixed 60 bytes fits only the record of 32-bit
// programs; the 64-bit record is larger and the call would always fail.)
constexpr DWORD ReplySize = sizeof(ICMP_ECHO_REPLY) + DataSize + 8;

class TIcmpLibraryEcho : public TIcmpEcho {
public:
    explicit TIcmpLibraryEcho(HANDLE handle) : handle_(handle) {}
    ~TIcmpLibraryEcho() override { IcmpCloseHandle(handle_); }
    TIcmpLibraryEcho(const TIcmpLibraryEcho&) = delete;
    TIcmpLibraryEcho& operator=(const TIcmpLibraryEcho&) = delete;

    TIcmpKind Kind() const override { return TIcmpKind::Any; }

    bool Echo(const TIPv4& address, std::uint32_t timeoutMs, std::uint32_t& rttMs,
              std::uint8_t& ttl) override {
        if (address == TIPv4{0, 0, 0, 0})
            return false;
        char data[DataSize];
        for (std::size_t i = 0; i < DataSize; ++i)
            data[i] = static_cast<char>('a' + i % 23);
        std::vector<unsigned char> reply(ReplySize, 0);
        IPAddr to;
        std::memcpy(&to, address.data(), 4);
        const DWORD count = IcmpSendEcho(handle_, to, data, static_cast<WORD>(DataSize), nullptr,
                                         reply.data(), ReplySize, timeoutMs);
        if (count == 0)
            return false;
        ICMP_ECHO_REPLY record;
        std::memcpy(&record, reply.data(), sizeof record);
        // Only the echo reply of the address counts: the library also hands
        // over "destination unreachable" reports, which mean nobody answered.
        if (record.Status != IP_SUCCESS || record.Address != to)
            return false;
        rttMs = record.RoundTripTime;
        ttl = record.Options.Ttl;
        return true;
    }

private:
    HANDLE handle_;
};

} // namespace

std::unique_ptr<TIcmpEcho> TIcmpEcho::Open(TIcmpKind kind) {
    // Windows offers the ICMP library only; there are no socket kinds to pick.
    if (kind != TIcmpKind::Any)
        return nullptr;
    const HANDLE handle = IcmpCreateFile();
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    return std::make_unique<TIcmpLibraryEcho>(handle);
}

// Every user may use the ICMP library, so no ping program is ever needed.
std::string SystemPingProgram() {
    return {};
}

std::unique_ptr<TIcmpEcho> OpenPingProgram(const std::string&) {
    return nullptr;
}

bool LookupHostIPv4(const std::string& name, TIPv4& address) {
    if (name.empty() || name.size() > 253 || name.find('\0') != std::string::npos)
        return false;
    // The socket library keeps a count, so starting it around the lookup
    // does not disturb other users.
    WSADATA wsa;
    const bool started = WSAStartup(MAKEWORD(1, 1), &wsa) == 0;
    bool found = false;
    const hostent* host = gethostbyname(name.c_str());
    if (host != nullptr && host->h_addrtype == AF_INET && host->h_length == 4 &&
        host->h_addr_list != nullptr && host->h_addr_list[0] != nullptr) {
        std::memcpy(address.data(), host->h_addr_list[0], 4);
        found = true;
    }
    if (started)
        WSACleanup();
    return found;
}

} // namespace platform
