#include "platform/Icmp.h"

#include "base/uErrors.h"
#include "platform/Process.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::size_t DataSize = 32;
constexpr std::size_t HeaderSize = 8;
constexpr std::uint8_t EchoReply = 0;
constexpr std::uint8_t EchoRequest = 8;

std::atomic<std::uint16_t> nextSequence{1};

std::uint16_t Checksum(const std::uint8_t* p, std::size_t n) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < n; i += 2)
        sum += static_cast<std::uint32_t>(p[i] << 8 | p[i + 1]);
    if (n % 2 != 0)
        sum += static_cast<std::uint32_t>(p[n - 1] << 8);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

class TSocketEcho : public TIcmpEcho {
public:
    TSocketEcho(int fd, TIcmpKind kind) : fd_(fd), kind_(kind) {
        // The id of a raw request; a datagram socket puts its own in.
        id_ = static_cast<std::uint16_t>((::getpid() * 2654435761u) >> 16);
    }
    ~TSocketEcho() override { ::close(fd_); }
    TSocketEcho(const TSocketEcho&) = delete;
    TSocketEcho& operator=(const TSocketEcho&) = delete;

    TIcmpKind Kind() const override { return kind_; }

    bool Echo(const TIPv4& address, std::uint32_t timeoutMs, std::uint32_t& rttMs,
              std::uint8_t& ttl) override {
        if (address == TIPv4{0, 0, 0, 0})
            return false;
        using Clock = std::chrono::steady_clock;
        const std::uint16_t seq = nextSequence.fetch_add(1);

        std::uint8_t packet[HeaderSize + DataSize] = {};
        packet[0] = EchoRequest;
        packet[4] = static_cast<std::uint8_t>(id_ >> 8);
        packet[5] = static_cast<std::uint8_t>(id_);
        packet[6] = static_cast<std::uint8_t>(seq >> 8);
        packet[7] = static_cast<std::uint8_t>(seq);
        for (std::size_t i = 0; i < DataSize; ++i)
            packet[HeaderSize + i] = static_cast<std::uint8_t>('a' + (i + seq) % 23);
        const std::uint16_t sum = Checksum(packet, sizeof packet);
        packet[2] = static_cast<std::uint8_t>(sum >> 8);
        packet[3] = static_cast<std::uint8_t>(sum);

        sockaddr_in to{};
        to.sin_family = AF_INET;
        std::memcpy(&to.sin_addr, address.data(), 4);
        const auto start = Clock::now();
        const auto deadline = start + std::chrono::milliseconds(timeoutMs);
        ssize_t sent;
        do {
            sent = ::sendto(fd_, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&to),
                            sizeof to);
        } while (sent < 0 && errno == EINTR);
        if (sent != static_cast<ssize_t>(sizeof packet))
            return false;

        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            pollfd pfd{fd_, POLLIN, 0};
            // poll takes an int; a long time-out is waited in slices.
            const long long slice = std::clamp<long long>(left, 0, 1000000);
            const int ready = ::poll(&pfd, 1, static_cast<int>(slice));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready < 0)
                return false;
            if (ready == 0) {
                if (Clock::now() >= deadline)
                    return false;
                continue;
            }
            if ((pfd.revents & POLLERR) != 0) {
                // An ICMP error for an earlier request (host unreachable and
                // the like): take it off the socket so the wait goes on.
                int error = 0;
                socklen_t len = sizeof error;
                ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &len);
            }
            std::uint8_t ttlOut = 0;
            if (ReceiveReply(address, seq, packet + HeaderSize, ttlOut)) {
                const auto took =
                    std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
                rttMs = static_cast<std::uint32_t>(took.count());
                ttl = ttlOut;
                return true;
            }
            if (Clock::now() >= deadline)
                return false;
        }
    }

private:
    // Reads one datagram; true when it is the reply to our request.
    bool ReceiveReply(const TIPv4& address, std::uint16_t seq, const std::uint8_t* data,
                      std::uint8_t& ttl) {
        std::uint8_t buf[1500];
        alignas(cmsghdr) char control[256];
        sockaddr_in from{};
        iovec iov{buf, sizeof buf};
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t got = ::recvmsg(fd_, &msg, MSG_DONTWAIT);
        if (got <= 0)
            return false;
        if (msg.msg_namelen < sizeof from || std::memcmp(&from.sin_addr, address.data(), 4) != 0)
            return false;
        std::size_t n = static_cast<std::size_t>(got);
        const std::uint8_t* icmp = buf;
        if (kind_ == TIcmpKind::Raw) {
            // A raw socket hands over the IP header too.
            if (n < 20 || (buf[0] >> 4) != 4)
                return false;
            const std::size_t ihl = static_cast<std::size_t>(buf[0] & 0x0F) * 4;
            if (ihl < 20 || n < ihl)
                return false;
            ttl = buf[8];
            icmp = buf + ihl;
            n -= ihl;
        } else {
            for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
                if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL &&
                    c->cmsg_len >= CMSG_LEN(sizeof(int))) {
                    int value = 0;
                    std::memcpy(&value, CMSG_DATA(c), sizeof value);
                    ttl = static_cast<std::uint8_t>(value);
                }
            }
        }
        if (n < HeaderSize + DataSize || icmp[0] != EchoReply || icmp[1] != 0)
            return false;
        if (kind_ == TIcmpKind::Raw && (icmp[4] != static_cast<std::uint8_t>(id_ >> 8) ||
                                        icmp[5] != static_cast<std::uint8_t>(id_)))
            return false;
        if (icmp[6] != static_cast<std::uint8_t>(seq >> 8) ||
            icmp[7] != static_cast<std::uint8_t>(seq))
            return false;
        return std::memcmp(icmp + HeaderSize, data, DataSize) == 0;
    }

    int fd_;
    TIcmpKind kind_;
    std::uint16_t id_ = 0;
};

int OpenSocket(TIcmpKind kind) {
    const int type = kind == TIcmpKind::Raw ? SOCK_RAW : SOCK_DGRAM;
    const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0)
        return -1;
    if (kind == TIcmpKind::Datagram) {
        const int on = 1;
        ::setsockopt(fd, IPPROTO_IP, IP_RECVTTL, &on, sizeof on);
    } else {
        // Only echo replies are of interest; spare the queue the rest. The
        // option is Linux's ICMP_FILTER (linux/icmp.h, not in the C library).
        constexpr int IcmpFilterOption = 1;
        const std::uint32_t blocked = ~(1u << EchoReply);
        ::setsockopt(fd, SOL_RAW, IcmpFilterOption, &blocked, sizeof blocked);
    }
    return fd;
}

// iputils ping: one request (-c 1) of 32 data bytes (-s 32), numeric (-n),
// quiet (-q), waiting -W seconds (fractions allowed) for its reply. Exit
// status 0 means a reply came.
class TProgramEcho : public TIcmpEcho {
public:
    explicit TProgramEcho(std::string program) : program_(std::move(program)) {}

    TIcmpKind Kind() const override { return TIcmpKind::Program; }

    bool Echo(const TIPv4& address, std::uint32_t timeoutMs, std::uint32_t& rttMs,
              std::uint8_t& ttl) override {
        if (address == TIPv4{0, 0, 0, 0})
            return false;
        // -W 0 would wait without limit.
        const std::uint32_t wait = std::max<std::uint32_t>(timeoutMs, 1);
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%u.%03u", wait / 1000, wait % 1000);
        char dotted[16];
        std::snprintf(dotted, sizeof dotted, "%u.%u.%u.%u", unsigned{address[0]},
                      unsigned{address[1]}, unsigned{address[2]}, unsigned{address[3]});
        const std::string line =
            "\"" + program_ + "\" -n -q -c 1 -s 32 -W " + seconds + " " + dotted;
        const auto start = std::chrono::steady_clock::now();
        std::unique_ptr<TProcess> process = TProcess::Start(line, true, TProcessOutput::Discard);
        if (!process)
            throw Exception("Unable to Create Process \"" + line + "\"");
        // The program ends by itself after its wait; the allowance is for its
        // start. One that outlives it counts as no reply (and is left to end).
        const int limit =
            static_cast<int>(std::min<std::uint32_t>(wait, 600000)) + StartAllowanceMs;
        switch (process->Wait(limit)) {
        case TProcessWait::Ended:
            break;
        case TProcessWait::TimedOut:
            return false;
        case TProcessWait::Failed:
            throw Exception("Process wait failed.");
        }
        // Any other status is no reply: "network unreachable" ends the
        // program with the same status as a refused socket, and the program
        // was seen to work when it was opened.
        if (process->ExitStatus() != 0)
            return false;
        rttMs = static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                               std::chrono::steady_clock::now() - start)
                                               .count());
        ttl = 0;
        return true;
    }

    static constexpr int StartAllowanceMs = 2000;

private:
    std::string program_;
};

} // namespace

std::string SystemPingProgram() {
    for (const char* path : {"/usr/bin/ping", "/bin/ping", "/usr/sbin/ping", "/sbin/ping"})
        if (::access(path, X_OK) == 0)
            return path;
    return {};
}

std::unique_ptr<TIcmpEcho> OpenPingProgram(const std::string& program) {
    // The path goes onto a command line between quotes.
    if (program.empty() || program.find_first_of(std::string("\"\0", 2)) != std::string::npos ||
        ::access(program.c_str(), X_OK) != 0)
        return nullptr;
    auto echo = std::make_unique<TProgramEcho>(program);
    // Loopback always answers a program that may ping: a program that fails
    // here (no privilege of its own, say) could not tell an address in use
    // from a free one.
    std::uint32_t rtt = 0;
    std::uint8_t ttl = 0;
    try {
        if (!echo->Echo({127, 0, 0, 1}, 1000, rtt, ttl))
            return nullptr;
    } catch (const Exception&) {
        return nullptr;
    }
    return echo;
}

std::unique_ptr<TIcmpEcho> TIcmpEcho::Open(TIcmpKind kind) {
    if (kind == TIcmpKind::Any) {
        if (auto echo = Open(TIcmpKind::Datagram))
            return echo;
        return Open(TIcmpKind::Raw);
    }
    if (kind == TIcmpKind::Program)
        return nullptr; // OpenPingProgram makes these

    const int fd = OpenSocket(kind);
    if (fd < 0)
        return nullptr;
    return std::make_unique<TSocketEcho>(fd, kind);
}

bool LookupHostIPv4(const std::string& name, TIPv4& address) {
    if (name.empty() || name.size() > 253 || name.find('\0') != std::string::npos)
        return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* list = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &list) != 0 || list == nullptr)
        return false;
    bool found = false;
    for (addrinfo* ai = list; ai != nullptr; ai = ai->ai_next) {
        if (ai->ai_family == AF_INET && ai->ai_addrlen >= sizeof(sockaddr_in)) {
            const auto* sin = reinterpret_cast<const sockaddr_in*>(ai->ai_addr);
            std::memcpy(address.data(), &sin->sin_addr, 4);
            found = true;
            break;
        }
    }
    ::freeaddrinfo(list);
    return found;
}

} // namespace platform
