#include "platform/Socket.h"

#include "platform/SocketAddress.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace platform {

bool UdpSocket::Open() {
    if (IsOpen())
        return true;
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    handle_ = fd;
    return true;
}

void UdpSocket::Close() {
    if (!IsOpen())
        return;
    int fd = static_cast<int>(handle_);
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
    handle_ = Invalid;
}

int UdpSocket::Bind(const std::string& localIp, int port) {
    sockaddr_in sa;
    if (port < 0 || port > 65535 || !ToSockAddr(localIp, port, sa))
        return EADDRNOTAVAIL;
    if (::bind(static_cast<int>(handle_), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0)
        return errno;
    return 0;
}

int UdpSocket::SetBroadcast(bool permitted) {
    int on = permitted ? 1 : 0;
    if (::setsockopt(static_cast<int>(handle_), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
        return errno;
    return 0;
}

int UdpSocket::GetBroadcast(bool& permitted) const {
    int on = 0;
    socklen_t len = sizeof on;
    if (::getsockopt(static_cast<int>(handle_), SOL_SOCKET, SO_BROADCAST, &on, &len) != 0)
        return errno;
    permitted = on != 0;
    return 0;
}

int UdpSocket::LocalPort(int& port) const {
    sockaddr_in sa;
    socklen_t len = sizeof sa;
    if (::getsockname(static_cast<int>(handle_), reinterpret_cast<sockaddr*>(&sa), &len) != 0)
        return errno;
    port = ntohs(sa.sin_port);
    return 0;
}

int UdpSocket::SendTo(const std::string& data, const std::string& ip, int port, std::size_t& sent) {
    sent = 0;
    sockaddr_in sa;
    if (port < 0 || port > 65535 || ip.empty() || !ToSockAddr(ip, port, sa))
        return EDESTADDRREQ;
    for (;;) {
        ssize_t n = ::sendto(static_cast<int>(handle_), data.data(), data.size(), MSG_NOSIGNAL,
                             reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        if (n >= 0) {
            sent = static_cast<std::size_t>(n);
            return 0;
        }
        if (errno != EINTR)
            return errno;
    }
}

int UdpSocket::WaitReadable(int timeoutMs, bool& ready) {
    ready = false;
    if (timeoutMs < 0)
        timeoutMs = 0;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd p{static_cast<int>(handle_), POLLIN, 0};
        // Rounded up, so a wait never ends before its time-out has passed.
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        int wait = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        int r = ::poll(&p, 1, wait);
        if (r > 0) {
            ready = true;
            return 0;
        }
        if (r == 0)
            return 0;
        if (errno != EINTR)
            return errno;
    }
}

int UdpSocket::ReceiveFrom(std::size_t bufferSize, std::string& data, std::string& peerIp,
                           int& peerPort) {
    data.clear();
    peerIp.clear();
    peerPort = 0;
    std::vector<char> buf(bufferSize > 0 ? bufferSize : 1);
    sockaddr_in sa;
    ssize_t n;
    for (;;) {
        socklen_t len = sizeof sa;
        std::memset(&sa, 0, sizeof sa);
        // MSG_TRUNC makes the kernel report the real length of a datagram that
        // did not fit, instead of silently cutting it.
        n = ::recvfrom(static_cast<int>(handle_), buf.data(), bufferSize, MSG_TRUNC,
                       reinterpret_cast<sockaddr*>(&sa), &len);
        if (n >= 0 || errno != EINTR)
            break;
    }
    if (n < 0)
        return errno;
    char text[INET_ADDRSTRLEN] = {};
    if (sa.sin_family == AF_INET && inet_ntop(AF_INET, &sa.sin_addr, text, sizeof text))
        peerIp = text;
    peerPort = ntohs(sa.sin_port);
    if (static_cast<std::size_t>(n) > bufferSize)
        return EMSGSIZE;
    data.assign(buf.data(), static_cast<std::size_t>(n));
    return 0;
}

int UdpSocket::ReceiveBufferSize(int& bytes) const {
    bytes = 0;
    int value = 0;
    socklen_t len = sizeof value;
    if (::getsockopt(static_cast<int>(handle_), SOL_SOCKET, SO_RCVBUF, &value, &len) != 0)
        return errno;
    bytes = value;
    return 0;
}

int UdpSocket::SetReceiveBufferSize(int bytes, int& granted) {
    granted = 0;
    if (bytes <= 0)
        return EINVAL;
    const int fd = static_cast<int>(handle_);
    // The kernel caps SO_RCVBUF at net.core.rmem_max and reports twice the
    // value it keeps (its bookkeeping overhead included).
    int code = 0;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) != 0)
        code = errno;
    int now = 0;
    if (ReceiveBufferSize(now) == 0 && now >= bytes) {
        granted = now;
        return 0;
    }
    // Root (CAP_NET_ADMIN) may go beyond rmem_max; anyone else keeps what
    // the plain request gave.
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) == 0)
        code = 0;
    int readBack = ReceiveBufferSize(now);
    granted = now;
    return code != 0 ? code : readBack;
}

int AddressInUseError() {
    return EADDRINUSE;
}
int MessageTooLongError() {
    return EMSGSIZE;
}

bool IsUnreachableReport(int code) {
    // What the kernel makes of ICMP unreachable and time-exceeded messages.
    // It hands them to an unconnected socket only with IP_RECVERR, which the
    // link does not set.
    switch (code) {
    case ECONNREFUSED:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case EHOSTDOWN:
    case ENONET:
    case ENOPROTOOPT:
    case EPROTO:
        return true;
    default:
        return false;
    }
}

std::string SocketErrorText(int code) {
    if (code <= 0)
        return {};
    char buf[256] = {};
    // GNU strerror_r returns the text, which may or may not live in buf.
    const char* s = strerror_r(code, buf, sizeof buf);
    std::string text = s ? s : "";
    if (text.rfind("Unknown error", 0) == 0)
        return {};
    return text;
}

} // namespace platform
