// The ARP-table way on Windows: the system's "arp -s" and the IP Helper's
// ARP table, and a connection attempt of our own.

#include "platform/Neighbour.h"

#include "base/uErrors.h"
#include "platform/SocketAddress.h"
#include "platform/win32/Winsock.h"

// Windows headers in the order they need (winsock2.h before windows.h).
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include <chrono>
#include <cstring>
#include <vector>

namespace platform {

namespace {

struct TSocketCloser {
    SOCKET s;
    ~TSocketCloser() { closesocket(s); }
};

} // namespace

// arp picks the interface itself; the caller has made sure that an adapter's
// subnet holds the address, as arp refuses one that none holds.
std::string SystemNeighbourCommandLine(const std::string& ip, const std::string& mac,
                                       const AdapterRecord&) {
    return "arp -s " + ip + " " + mac;
}

bool SystemStaticNeighbourPresent(std::uint32_t address, const TMacAddress& mac) {
    std::vector<unsigned char> buffer;
    ULONG size = 0;
    DWORD result = ERROR_INSUFFICIENT_BUFFER;
    for (int round = 0; round < 8 && result == ERROR_INSUFFICIENT_BUFFER; ++round) {
        buffer.assign(size < sizeof(MIB_IPNETTABLE) ? sizeof(MIB_IPNETTABLE) : size, 0);
        size = static_cast<ULONG>(buffer.size());
        result = GetIpNetTable(reinterpret_cast<MIB_IPNETTABLE*>(buffer.data()), &size, FALSE);
    }
    if (result != NO_ERROR)
        return false;
    const auto* table = reinterpret_cast<const MIB_IPNETTABLE*>(buffer.data());
    const std::size_t fits =
        (buffer.size() - offsetof(MIB_IPNETTABLE, table)) / sizeof(MIB_IPNETROW);
    const std::size_t rows = table->dwNumEntries < fits ? table->dwNumEntries : fits;
    for (std::size_t i = 0; i < rows; ++i) {
        const MIB_IPNETROW& row = table->table[i];
        if (row.dwAddr == address && row.dwType == MIB_IPNET_TYPE_STATIC &&
            row.dwPhysAddrLen == 6 && std::memcmp(row.bPhysAddr, mac.data(), 6) == 0)
            return true;
    }
    return false;
}

// The attempt is made here rather than by "telnet %s 1": the Telnet client
// is not installed on Windows by default, and one that connects would stay
// open with no time limit.
TConnectOutcome SystemTcpConnectAttempt(const std::string& ip, int port, int timeoutMs) {
    sockaddr_in sa{};
    ToSockAddr(ip, port, sa);
    if (win32::EnsureWinsock() != 0)
        throw Exception("Cannot allocate socket.");
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        throw Exception("Cannot allocate socket.");
    const TSocketCloser closer{s};
    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0)
        throw Exception("Cannot allocate socket.");

    auto outcome = [](int error) {
        switch (error) {
        case 0:
            return TConnectOutcome::Connected;
        case WSAECONNREFUSED:
        case WSAECONNRESET:
            return TConnectOutcome::Refused;
        case WSAETIMEDOUT:
            return TConnectOutcome::NoAnswer;
        default:
            return TConnectOutcome::Unreachable;
        }
    };
    if (::connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0)
        return TConnectOutcome::Connected;
    const int started = WSAGetLastError();
    if (started != WSAEWOULDBLOCK && started != WSAEINPROGRESS)
        return outcome(started);

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return TConnectOutcome::NoAnswer;
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s, &writable);
        FD_SET(s, &failed);
        timeval tv;
        tv.tv_sec = static_cast<long>(left / 1000);
        tv.tv_usec = static_cast<long>((left % 1000) * 1000);
        const int n = ::select(0, nullptr, &writable, &failed, &tv);
        if (n == SOCKET_ERROR)
            return TConnectOutcome::Unreachable;
        if (n == 0)
            continue; // the deadline decides
        int error = 0;
        int len = sizeof error;
        if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len) != 0)
            error = WSAGetLastError();
        if (FD_ISSET(s, &writable) && error == 0)
            return TConnectOutcome::Connected;
        return outcome(error == 0 ? WSAECONNREFUSED : error);
    }
}

} // namespace platform
