#pragma once
// The UDP link to the XPort module's configuration port, and the framing of
// the datagrams the device search sends.

#include "base/uErrors.h"
#include "platform/Socket.h"

#include <functional>
#include <memory>
#include <string>

// Requests: three zero bytes and a command byte.
inline constexpr int XPortPort = 30718;
inline const std::string XPortDiscoveryQuery{"\x00\x00\x00\xF6", 4};
inline const std::string XPortInfoRequest{"\x00\x00\x00\xE4", 4};
inline const std::string XPortSetupRequest{"\x00\x00\x00\xE6", 4};
// Replies are recognised by length alone.
inline constexpr std::size_t XPortDiscoveryReplySize = 30;
inline constexpr std::size_t XPortInfoReplySize = 130;
inline constexpr std::size_t XPortSetupReplySize = 130;

// A receive that failed for the one datagram it took, not for the link: a
// zero-length datagram, one larger than the buffer (consumed, never cut), or
// the system's report that an earlier datagram found nobody. The link works
// on; the text is the link's usual message.
class EDatagramError : public Exception {
public:
    using Exception::Exception;
};

// What the engines need of a datagram link; the real one is TXPort, tests
// substitute their own.
class TDatagramLink {
public:
    virtual ~TDatagramLink() = default;

    std::string Host;          // destination of SendToHost
    int Port = XPortPort;      // destination port of SendToHost
    int ReceiveTimeout = 3000; // wait of a receive given the time-out -1
    int BufferSize = 8192;     // largest datagram that can be received
    bool BroadcastEnabled = false;

    virtual void BindToAddress(const std::string& localIp) = 0;
    // Broadcast permission is on for this one send only.
    virtual void SendBroadcast(const std::string& data, int port) = 0;
    virtual void SendToHost(const std::string& data) = 0;
    // At most one datagram; empty data, empty peer and port 0 on time-out.
    // -1 waits ReceiveTimeout, 0 only looks, other negatives also only look.
    // A datagram that cannot be a reply raises EDatagramError.
    virtual std::string ReceiveDatagram(int timeoutMs, std::string& peerIp, int& peerPort) = 0;
    // Sizes the queue that holds datagrams until they are received, so that a
    // burst of replies is not dropped; returns the size granted. Never
    // raises: a link keeps working with whatever queue it has. A link without
    // a system queue loses nothing and grants the request.
    virtual int SetReceiveBufferSize(int bytes) { return bytes; }
};

using TDatagramLinkFactory = std::function<std::unique_ptr<TDatagramLink>()>;

class TXPort : public TDatagramLink {
public:
    TXPort() = default;
    ~TXPort() override = default;

    void BindToAddress(const std::string& localIp) override;
    void SendBroadcast(const std::string& data, int port) override;
    void SendToHost(const std::string& data) override;
    std::string ReceiveDatagram(int timeoutMs, std::string& peerIp, int& peerPort) override;
    int SetReceiveBufferSize(int bytes) override;

    // For diagnostics and tests: the socket's current broadcast permission and
    // the port it is bound to (both create the socket if needed).
    bool BroadcastPermitted();
    int LocalPort();

    // Sends to an explicit destination (loopback tests, helpers).
    void SendTo(const std::string& data, const std::string& ip, int port);

private:
    void EnsureSocket();
    void Send(const std::string& data, const std::string& ip, int port);

    platform::UdpSocket socket_;
    std::string localIp_;
};

TDatagramLinkFactory DefaultLinkFactory();

// "Socket Error # %d\r\n%s" for a system error code.
std::string SocketErrorMessage(int code);
