#include "device/uDeviceComm.h"

#include "base/uErrors.h"

#include <cstdio>

std::string SocketErrorMessage(int code) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "Socket Error # %d\r\n", code);
    return buf + platform::SocketErrorText(code);
}

namespace {

void Check(int code) {
    if (code != 0)
        throw Exception(SocketErrorMessage(code));
}

} // namespace

void TXPort::EnsureSocket() {
    if (socket_.IsOpen())
        return;
    if (!socket_.Open())
        throw Exception("Cannot allocate socket.");
    Check(socket_.SetBroadcast(BroadcastEnabled));
}

void TXPort::BindToAddress(const std::string& localIp) {
    EnsureSocket();
    localIp_ = localIp;
    int code = socket_.Bind(localIp, 0);
    if (code == platform::AddressInUseError())
        throw Exception("Could not bind socket. Address and port are already in use.");
    Check(code);
}

void TXPort::Send(const std::string& data, const std::string& ip, int port) {
    EnsureSocket();
    std::size_t sent = 0;
    int code = socket_.SendTo(data, ip, port, sent);
    if (code == platform::MessageTooLongError())
        throw Exception("Package Size Too Big.");
    Check(code);
    if (sent != data.size())
        throw Exception("Not all bytes sent.");
}

void TXPort::SendBroadcast(const std::string& data, int port) {
    EnsureSocket();
    Check(socket_.SetBroadcast(true));
    try {
        Send(data, "255.255.255.255", port);
    } catch (...) {
        socket_.SetBroadcast(BroadcastEnabled);
        throw;
    }
    Check(socket_.SetBroadcast(BroadcastEnabled));
}

void TXPort::SendToHost(const std::string& data) {
    Send(data, Host, Port);
}

void TXPort::SendTo(const std::string& data, const std::string& ip, int port) {
    Send(data, ip, port);
}

std::string TXPort::ReceiveDatagram(int timeoutMs, std::string& peerIp, int& peerPort) {
    peerIp.clear();
    peerPort = 0;
    EnsureSocket();
    int wait = timeoutMs == -1 ? ReceiveTimeout : timeoutMs;
    if (wait < 0)
        wait = 0; // never an endless wait
    bool ready = false;
    Check(socket_.WaitReadable(wait, ready));
    if (!ready)
        return {};
    std::string data;
    std::size_t size = BufferSize > 0 ? static_cast<std::size_t>(BufferSize) : 0;
    int code = socket_.ReceiveFrom(size, data, peerIp, peerPort);
    if (code != 0) {
        peerIp.clear();
        peerPort = 0;
        if (code == platform::MessageTooLongError() || platform::IsUnreachableReport(code))
            throw EDatagramError(SocketErrorMessage(code));
        Check(code);
    }
    if (data.empty()) {
        peerIp.clear();
        peerPort = 0;
        throw EDatagramError("UDP Receive Error = 0.");
    }
    return data;
}

int TXPort::SetReceiveBufferSize(int bytes) {
    EnsureSocket();
    int granted = 0;
    socket_.SetReceiveBufferSize(bytes, granted);
    return granted;
}

bool TXPort::BroadcastPermitted() {
    EnsureSocket();
    bool on = false;
    Check(socket_.GetBroadcast(on));
    return on;
}

int TXPort::LocalPort() {
    EnsureSocket();
    int port = 0;
    Check(socket_.LocalPort(port));
    return port;
}

TDatagramLinkFactory DefaultLinkFactory() {
    return [] { return std::unique_ptr<TDatagramLink>(new TXPort()); };
}
