#pragma once
// The datagram socket services the device link needs, one implementation per
// system. Operations report a system error code (0 = success) instead of
// raising, so the link decides which of its messages a failure becomes.

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class UdpSocket {
public:
    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Creates an IPv4 datagram socket; false when the system refuses one.
    bool Open();
    bool IsOpen() const { return handle_ != Invalid; }
    // Shuts the socket down for sending and closes it.
    void Close();

    int Bind(const std::string& localIp, int port);
    int SetBroadcast(bool permitted);
    int GetBroadcast(bool& permitted) const;
    int LocalPort(int& port) const;
    // One datagram; `sent` is the byte count the system took.
    int SendTo(const std::string& data, const std::string& ip, int port, std::size_t& sent);
    // Waits at most timeoutMs (0 = look only) until a datagram can be read.
    int WaitReadable(int timeoutMs, bool& ready);
    // Receives one datagram into a buffer of bufferSize bytes. A datagram that
    // does not fit is consumed and reported as MessageTooLongError().
    int ReceiveFrom(std::size_t bufferSize, std::string& data, std::string& peerIp, int& peerPort);
    // Asks for a system receive queue of `bytes`, beyond the system's usual
    // limit where the process may; `granted` is the size the system then
    // reports (0 when it cannot tell).
    int SetReceiveBufferSize(int bytes, int& granted);
    int ReceiveBufferSize(int& bytes) const;

private:
    static constexpr std::intptr_t Invalid = -1;
    std::intptr_t handle_ = Invalid;
};

int AddressInUseError();
int MessageTooLongError();
// Whether a receive error is the system's report that an earlier datagram
// found no listener or no way to its address (an ICMP unreachable turned into
// an error of the socket); it concerns that datagram, not the socket.
bool IsUnreachableReport(int code);
// Short description of a socket error code; empty for codes without one.
std::string SocketErrorText(int code);

} // namespace platform
