// The device link's datagram socket on Windows Sockets.

#include "platform/Socket.h"

#include "platform/SocketAddress.h"
#include "platform/win32/Winsock.h"

// Windows headers in the order they need (winsock2.h before windows.h).
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mswsock.h>
#include <windows.h>
// clang-format on

#include <chrono>
#include <cstring>
#include <vector>

#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace platform {

namespace win32 {

namespace {

struct TWinsock {
    int Result;
    TWinsock() {
        WSADATA data;
        Result = WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~TWinsock() {
        if (Result == 0)
            WSACleanup();
    }
    TWinsock(const TWinsock&) = delete;
    TWinsock& operator=(const TWinsock&) = delete;
};

} // namespace

int EnsureWinsock() {
    static TWinsock winsock;
    return winsock.Result;
}

} // namespace win32

namespace {

SOCKET Handle(std::intptr_t h) {
    return static_cast<SOCKET>(h);
}

} // namespace

bool UdpSocket::Open() {
    if (IsOpen())
        return true;
    if (win32::EnsureWinsock() != 0)
        return false;
    const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET)
        return false;
    // Programs we start (the ARP-table way's commands) must not inherit it.
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    // Windows turns an ICMP port-unreachable for an earlier datagram into a
    // connection reset on the next receive. One address without a listener
    // would then end a whole search; the link only wants datagrams.
    BOOL report = FALSE;
    DWORD returned = 0;
    WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr, nullptr);
    handle_ = static_cast<std::intptr_t>(s);
    return true;
}

void UdpSocket::Close() {
    if (!IsOpen())
        return;
    ::shutdown(Handle(handle_), SD_SEND);
    ::closesocket(Handle(handle_));
    handle_ = Invalid;
}

int UdpSocket::Bind(const std::string& localIp, int port) {
    sockaddr_in sa;
    if (port < 0 || port > 65535 || !ToSockAddr(localIp, port, sa))
        return WSAEADDRNOTAVAIL;
    if (::bind(Handle(handle_), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0)
        return WSAGetLastError();
    return 0;
}

int UdpSocket::SetBroadcast(bool permitted) {
    BOOL on = permitted ? TRUE : FALSE; // the 4-byte value the option takes
    if (::setsockopt(Handle(handle_), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on),
                     sizeof on) != 0)
        return WSAGetLastError();
    return 0;
}

int UdpSocket::GetBroadcast(bool& permitted) const {
    BOOL on = FALSE;
    int len = sizeof on;
    if (::getsockopt(Handle(handle_), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<char*>(&on),
                     &len) != 0)
        return WSAGetLastError();
    permitted = on != FALSE;
    return 0;
}

int UdpSocket::LocalPort(int& port) const {
    sockaddr_in sa;
    int len = sizeof sa;
    if (::getsockname(Handle(handle_), reinterpret_cast<sockaddr*>(&sa), &len) != 0)
        return WSAGetLastError();
    port = ntohs(sa.sin_port);
    return 0;
}

int UdpSocket::SendTo(const std::string& data, const std::string& ip, int port, std::size_t& sent) {
    sent = 0;
    sockaddr_in sa;
    if (port < 0 || port > 65535 || ip.empty() || !ToSockAddr(ip, port, sa))
        return WSAEDESTADDRREQ;
    if (data.size() > 65535)
        return WSAEMSGSIZE;
    const int n = ::sendto(Handle(handle_), data.data(), static_cast<int>(data.size()), 0,
                           reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    if (n == SOCKET_ERROR)
        return WSAGetLastError();
    sent = static_cast<std::size_t>(n);
    return 0;
}

int UdpSocket::WaitReadable(int timeoutMs, bool& ready) {
    ready = false;
    if (timeoutMs < 0)
        timeoutMs = 0;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(Handle(handle_), &readable);
        // Rounded up, so a wait never ends before its time-out has passed.
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        const long long wait = left.count() > 0 ? left.count() : 0;
        timeval tv;
        tv.tv_sec = static_cast<long>(wait / 1000);
        tv.tv_usec = static_cast<long>((wait % 1000) * 1000);
        const int r = ::select(0, &readable, nullptr, nullptr, &tv);
        if (r == SOCKET_ERROR)
            return WSAGetLastError();
        if (r > 0) {
            ready = true;
            return 0;
        }
        // The system's timer may end a select a little early.
        if (Clock::now() >= deadline)
            return 0;
    }
}

int UdpSocket::ReceiveFrom(std::size_t bufferSize, std::string& data, std::string& peerIp,
                           int& peerPort) {
    data.clear();
    peerIp.clear();
    peerPort = 0;
    // A datagram is at most 65535 bytes; a larger buffer only wastes memory.
    const std::size_t size = bufferSize == 0 ? 1 : (bufferSize > 65536 ? 65536 : bufferSize);
    std::vector<char> buf(size);
    sockaddr_in sa;
    std::memset(&sa, 0, sizeof sa);
    int len = sizeof sa;
    // A datagram larger than the buffer is consumed and reported as
    // WSAEMSGSIZE, as the link expects.
    const int n =
        ::recvfrom(Handle(handle_), buf.data(), static_cast<int>(bufferSize == 0 ? 0 : size), 0,
                   reinterpret_cast<sockaddr*>(&sa), &len);
    int error = n == SOCKET_ERROR ? WSAGetLastError() : 0;
    if (sa.sin_family == AF_INET) {
        char text[INET_ADDRSTRLEN] = {};
        if (inet_ntop(AF_INET, &sa.sin_addr, text, sizeof text))
            peerIp = text;
        peerPort = ntohs(sa.sin_port);
    }
    if (error != 0)
        return error;
    data.assign(buf.data(), static_cast<std::size_t>(n));
    return 0;
}

int UdpSocket::ReceiveBufferSize(int& bytes) const {
    bytes = 0;
    int value = 0;
    int len = sizeof value;
    if (::getsockopt(Handle(handle_), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&value),
                     &len) != 0)
        return WSAGetLastError();
    bytes = value;
    return 0;
}

int UdpSocket::SetReceiveBufferSize(int bytes, int& granted) {
    granted = 0;
    if (bytes <= 0)
        return WSAEINVAL;
    // Windows takes the size as asked and has no privileged way beyond it.
    int code = 0;
    if (::setsockopt(Handle(handle_), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes),
                     sizeof bytes) != 0)
        code = WSAGetLastError();
    const int readBack = ReceiveBufferSize(granted);
    return code != 0 ? code : readBack;
}

int AddressInUseError() {
    return WSAEADDRINUSE;
}
int MessageTooLongError() {
    return WSAEMSGSIZE;
}

bool IsUnreachableReport(int code) {
    // Port unreachable (SIO_UDP_CONNRESET) and time exceeded (SIO_UDP_NETRESET);
    // the first is turned off on the link's sockets, but a stack that reports
    // it anyway must not end a search.
    return code == WSAECONNRESET || code == WSAENETRESET || code == WSAEHOSTUNREACH ||
           code == WSAENETUNREACH;
}

std::string SocketErrorText(int code) {
    // Short descriptions of the Windows Sockets codes.
    switch (code) {
    case WSAEINTR:
        return "Interrupted system call.";
    case WSAEBADF:
        return "Bad file number.";
    case WSAEACCES:
        return "Access denied.";
    case WSAEFAULT:
        return "Bad address.";
    case WSAEINVAL:
        return "Invalid argument.";
    case WSAEMFILE:
        return "Too many open files.";
    case WSAEWOULDBLOCK:
        return "Operation would block.";
    case WSAEINPROGRESS:
        return "Operation now in progress.";
    case WSAEALREADY:
        return "Operation already in progress.";
    case WSAENOTSOCK:
        return "Socket operation on non-socket.";
    case WSAEDESTADDRREQ:
        return "Destination address required.";
    case WSAEMSGSIZE:
        return "Message too long.";
    case WSAEPROTOTYPE:
        return "Protocol wrong type for socket.";
    case WSAENOPROTOOPT:
        return "Bad protocol option.";
    case WSAEPROTONOSUPPORT:
        return "Protocol not supported.";
    case WSAESOCKTNOSUPPORT:
        return "Socket type not supported.";
    case WSAEOPNOTSUPP:
        return "Operation not supported on socket.";
    case WSAEPFNOSUPPORT:
        return "Protocol family not supported.";
    case WSAEAFNOSUPPORT:
        return "Address family not supported by protocol family.";
    case WSAEADDRINUSE:
        return "Address already in use.";
    case WSAEADDRNOTAVAIL:
        return "Cannot assign requested address.";
    case WSAENETDOWN:
        return "Network is down.";
    case WSAENETUNREACH:
        return "Network is unreachable.";
    case WSAENETRESET:
        return "Net dropped connection or reset.";
    case WSAECONNABORTED:
        return "Software caused connection abort.";
    case WSAECONNRESET:
        return "Connection reset by peer.";
    case WSAENOBUFS:
        return "No buffer space available.";
    case WSAEISCONN:
        return "Socket is already connected.";
    case WSAENOTCONN:
        return "Socket is not connected.";
    case WSAESHUTDOWN:
        return "Cannot send or receive after socket is closed.";
    case WSAETOOMANYREFS:
        return "Too many references, cannot splice.";
    case WSAETIMEDOUT:
        return "Connection timed out.";
    case WSAECONNREFUSED:
        return "Connection refused.";
    case WSAELOOP:
        return "Too many levels of symbolic links.";
    case WSAENAMETOOLONG:
        return "File name too long.";
    case WSAEHOSTDOWN:
        return "Host is down.";
    case WSAEHOSTUNREACH:
        return "No route to host.";
    case WSAENOTEMPTY:
        return "Directory not empty";
    case WSAEPROCLIM:
        return "Too many processes.";
    case WSAEUSERS:
        return "Too many users.";
    case WSAEDQUOT:
        return "Disk Quota Exceeded.";
    case WSAESTALE:
        return "Stale NFS file handle.";
    case WSAEREMOTE:
        return "Too many levels of remote in path.";
    case WSASYSNOTREADY:
        return "Network subsystem is unavailable.";
    case WSAVERNOTSUPPORTED:
        return "WINSOCK DLL Version out of range.";
    case WSANOTINITIALISED:
        return "Winsock not loaded yet.";
    case WSAHOST_NOT_FOUND:
        return "Host not found.";
    case WSATRY_AGAIN:
        return "Non-authoritative response (try again or check DNS setup).";
    case WSANO_RECOVERY:
        return "Non-recoverable errors: FORMERR, REFUSED, NOTIMP.";
    case WSANO_DATA:
        return "Valid name, no data record (check DNS setup).";
    default:
        return {};
    }
}

} // namespace platform
