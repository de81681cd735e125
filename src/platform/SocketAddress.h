#pragma once
// Private to the platform layer: the system's socket headers, chosen here
// once, and the address conversions the socket code of both systems shares
// (defined in Socket.cpp).

#ifdef _WIN32
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
// clang-format on
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#endif

#include <string>

namespace platform {

// Dotted IPv4 text by the system's own rules (inet_pton); false for anything
// else, the empty text included.
bool ParseIPv4(const std::string& text, in_addr& address);

// ip:port as a socket address; an empty ip is any local address. False when
// ip is not dotted IPv4 text. The caller checks the port's range.
bool ToSockAddr(const std::string& ip, int port, sockaddr_in& sa);

} // namespace platform
