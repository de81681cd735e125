#include "TcpServices.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace devsim {

namespace {

using Clock = std::chrono::steady_clock;

struct Connection {
    int fd = -1;
    std::size_t listener = 0;
    std::string peer;
    std::string local;
    std::string request;
    Clock::time_point deadline;
};

std::string Endpoint(const sockaddr_in& a) {
    return IpText(ntohl(a.sin_addr.s_addr)) + ":" + std::to_string(ntohs(a.sin_port));
}

// The first line of what the client sent, printable ASCII only, so that a
// log line stays one line.
std::string FirstLine(const std::string& data) {
    std::string out;
    for (const char c : data.substr(0, data.find_first_of("\r\n"))) {
        out += (c >= 0x20 && c < 0x7F && c != '"') ? c : '.';
        if (out.size() >= 80)
            break;
    }
    return out;
}

std::string Html(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '&')
            out += "&amp;";
        else
            out += c;
    }
    return out;
}

void SendAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // a peer that does not read gets what fitted
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

TcpServices::TcpServices(std::vector<Listener> listeners, Log& log) : log_(log) {
    for (Listener& service : listeners) {
        Open open{std::move(service), -1};
        open.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const int one = 1;
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_port = htons(static_cast<std::uint16_t>(open.service.port));
        // Bound to the device's interface like its UDP socket, so that every
        // device has its own port and keeps it when its address changes.
        const bool ok =
            open.fd >= 0 &&
            ::setsockopt(open.fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) == 0 &&
            ::setsockopt(open.fd, SOL_SOCKET, SO_BINDTODEVICE, open.service.ifname.c_str(),
                         static_cast<socklen_t>(open.service.ifname.size())) == 0 &&
            ::bind(open.fd, reinterpret_cast<sockaddr*>(&any), sizeof any) == 0 &&
            ::listen(open.fd, 8) == 0;
        if (!ok) {
            const std::string error = std::strerror(errno);
            if (open.fd >= 0)
                ::close(open.fd);
            for (const Open& o : listeners_)
                ::close(o.fd);
            throw std::runtime_error("TCP port " + std::to_string(open.service.port) + " on " +
                                     open.service.ifname + ": " + error);
        }
        listeners_.push_back(std::move(open));
    }
    if (!listeners_.empty())
        thread_ = std::thread([this] { Run(); });
}

TcpServices::~TcpServices() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    for (const Open& o : listeners_)
        ::close(o.fd);
}

void TcpServices::Run() {
    std::vector<Connection> connections;
    const auto finish = [&](Connection& c, const char* why) {
        const Listener& service = listeners_[c.listener].service;
        if (service.port == 80) {
            const std::string body = "<html><head><title>" + service.mac +
                                     "</title></head><body><h1>Simulated device " + c.local + " " +
                                     service.mac + "</h1><p>" + Html(service.info) +
                                     "</p></body></html>\n";
            SendAll(c.fd, "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                              std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        }
        log_.Line("TCPEND", "dev=" + c.local + " mac=" + service.mac +
                                " port=" + std::to_string(service.port) + " from=" + c.peer +
                                " end=" + why + " len=" + std::to_string(c.request.size()) +
                                " first=\"" + FirstLine(c.request) + "\"");
        ::close(c.fd);
        c.fd = -1;
    };
    while (!stop_) {
        std::vector<pollfd> fds;
        for (const Open& o : listeners_)
            fds.push_back(pollfd{o.fd, POLLIN, 0});
        for (const Connection& c : connections)
            fds.push_back(pollfd{c.fd, POLLIN, 0});
        // Short, so that stopping never waits long.
        const int n = ::poll(fds.data(), fds.size(), 100);
        if (n < 0 && errno != EINTR)
            break;
        for (std::size_t k = 0; n > 0 && k < listeners_.size(); ++k) {
            if (!(fds[k].revents & POLLIN))
                continue;
            sockaddr_in peer{};
            socklen_t len = sizeof peer;
            const int fd = ::accept4(listeners_[k].fd, reinterpret_cast<sockaddr*>(&peer), &len,
                                     SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            sockaddr_in local{};
            socklen_t localLen = sizeof local;
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLen);
            const Listener& service = listeners_[k].service;
            const std::string dev = IpText(ntohl(local.sin_addr.s_addr));
            if (static_cast<int>(connections.size()) >= kMaxConnections) {
                log_.Line("TCP", "dev=" + dev + " mac=" + service.mac +
                                     " port=" + std::to_string(service.port) +
                                     " from=" + Endpoint(peer) + " refused=busy");
                ::close(fd);
                continue;
            }
            log_.Line("TCP", "dev=" + dev + " mac=" + service.mac + " port=" +
                                 std::to_string(service.port) + " from=" + Endpoint(peer));
            if (service.port != 80) {
                SendAll(fd, "*** Simulated device " + service.mac + " at " + dev +
                                " ***\r\nPress Enter for Setup Mode\r\n");
            }
            connections.push_back(
                Connection{fd,
                           k,
                           Endpoint(peer),
                           dev,
                           {},
                           Clock::now() + std::chrono::milliseconds(kConnectionMs)});
        }
        for (std::size_t i = 0; i < connections.size(); ++i) {
            Connection& c = connections[i];
            const std::size_t slot = listeners_.size() + i;
            if (slot < fds.size() && (fds[slot].revents & (POLLIN | POLLHUP | POLLERR))) {
                char buf[1024];
                const ssize_t got = ::recv(c.fd, buf, sizeof buf, 0);
                if (got > 0) {
                    c.request.append(
                        buf, static_cast<std::size_t>(std::min<ssize_t>(
                                 got, static_cast<ssize_t>(kMaxRequest - c.request.size()))));
                    const bool http = listeners_[c.listener].service.port == 80;
                    if (http && c.request.find("\r\n\r\n") != std::string::npos)
                        finish(c, "request");
                    else if (c.request.size() >= kMaxRequest)
                        finish(c, "limit");
                } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
                    finish(c, "closed");
                }
            }
            if (c.fd >= 0 && Clock::now() >= c.deadline)
                finish(c, "timeout");
        }
        std::erase_if(connections, [](const Connection& c) { return c.fd < 0; });
    }
    for (Connection& c : connections)
        ::close(c.fd);
}

} // namespace devsim
