// What the datagram socket does alike on every system; the system calls are
// in posix/Socket.cpp and win32/Socket.cpp.

#include "platform/Socket.h"

#include "platform/SocketAddress.h"

#include <cstdint>
#include <cstring>

namespace platform {

UdpSocket::~UdpSocket() {
    Close();
}

bool ParseIPv4(const std::string& text, in_addr& address) {
    return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

bool ToSockAddr(const std::string& ip, int port, sockaddr_in& sa) {
    std::memset(&sa, 0, sizeof sa);
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<std::uint16_t>(port));
    if (ip.empty()) {
        sa.sin_addr.s_addr = htonl(INADDR_ANY);
        return true;
    }
    return ParseIPv4(ip, sa.sin_addr);
}

} // namespace platform
