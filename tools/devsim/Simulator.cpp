#include "Simulator.h"

#include "Replies.h"
#include "TcpServices.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/ip.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace devsim {

namespace {

std::string Errno(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

std::string AddrText(const sockaddr_in& a) {
    return IpText(ntohl(a.sin_addr.s_addr)) + ":" + std::to_string(ntohs(a.sin_port));
}

int PrefixOf(const sockaddr* mask) {
    if (!mask || mask->sa_family != AF_INET)
        return 32;
    return __builtin_popcount(reinterpret_cast<const sockaddr_in*>(mask)->sin_addr.s_addr);
}

// Which interface holds which IPv4 address in this namespace.
struct IfAddr {
    std::string name;
    int prefix;
};
std::map<std::uint32_t, IfAddr> InterfaceAddresses() {
    std::map<std::uint32_t, IfAddr> out;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        throw std::runtime_error(Errno("getifaddrs"));
    for (ifaddrs* p = list; p; p = p->ifa_next) {
        if (!p->ifa_addr || p->ifa_addr->sa_family != AF_INET)
            continue;
        const auto ip = ntohl(reinterpret_cast<sockaddr_in*>(p->ifa_addr)->sin_addr.s_addr);
        out[ip] = IfAddr{p->ifa_name, PrefixOf(p->ifa_netmask)};
    }
    freeifaddrs(list);
    return out;
}

bool Reachable(std::uint32_t ip) {
    const std::uint32_t first = ip >> 24;
    return first != 0 && first != 127 && first < 224;
}

} // namespace

void Log::Line(const std::string& kind, const std::string& fields) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start_)
                        .count();
    const std::string line =
        kind + " t=" + std::to_string(ms) + (fields.empty() ? "" : " ") + fields + "\n";
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // a full disk must not stop the devices
        done += static_cast<std::size_t>(n);
    }
}

Simulator::Simulator(std::vector<DeviceDescription> descriptions, Log& log, int port)
    : log_(log), port_(port) {
    const auto addrs = InterfaceAddresses();
    std::map<std::string, std::size_t> used;
    for (auto& s : descriptions) {
        Device d;
        d.desc = std::move(s);
        d.ip = d.desc.ip;
        const auto it = addrs.find(d.ip);
        if (it == addrs.end())
            throw std::runtime_error("line " + std::to_string(d.desc.line) + ": device " +
                                     IpText(d.ip) + ": no interface here has this address");
        if (d.desc.from && !addrs.count(*d.desc.from))
            throw std::runtime_error("line " + std::to_string(d.desc.line) + ": field 'from': " +
                                     IpText(*d.desc.from) + ": no interface here has this address");
        d.ifname = it->second.name;
        d.prefix = it->second.prefix;
        if (!used.emplace(d.ifname, d.desc.line).second)
            throw std::runtime_error("line " + std::to_string(d.desc.line) + ": device " +
                                     IpText(d.ip) + ": interface " + d.ifname +
                                     " already plays the device of line " +
                                     std::to_string(used[d.ifname]));
        devices_.push_back(std::move(d));
    }
    netlink_ = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (netlink_ < 0)
        throw std::runtime_error(Errno("netlink socket"));
    for (auto& d : devices_)
        Open(d);
    std::vector<TcpServices::Listener> listeners;
    for (const auto& d : devices_)
        for (const int p : d.desc.tcpPorts)
            listeners.push_back({d.ifname, p, MacText(d.desc.mac), d.desc.info});
    if (!listeners.empty())
        tcp_ = std::make_unique<TcpServices>(std::move(listeners), log_);
}

Simulator::~Simulator() {
    tcp_.reset();
    for (auto& d : devices_) {
        if (d.udp >= 0)
            ::close(d.udp);
        if (d.wrongPortUdp >= 0)
            ::close(d.wrongPortUdp);
        if (d.pkt >= 0)
            ::close(d.pkt);
    }
    if (netlink_ >= 0)
        ::close(netlink_);
}

void Simulator::Open(Device& d) {
    d.ifindex = static_cast<int>(if_nametoindex(d.ifname.c_str()));
    if (d.ifindex == 0)
        throw std::runtime_error(Errno("interface " + d.ifname));
    // Taking a new address in the same subnet and dropping the old one must
    // keep the new one (and a from= address) on the interface.
    const std::string sysctl = "/proc/sys/net/ipv4/conf/" + d.ifname + "/promote_secondaries";
    if (int fd = ::open(sysctl.c_str(), O_WRONLY | O_CLOEXEC); fd >= 0) {
        [[maybe_unused]] auto n = ::write(fd, "1", 1);
        ::close(fd);
    }

    d.udp = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (d.udp < 0)
        throw std::runtime_error(Errno("socket"));
    const int one = 1;
    ::setsockopt(d.udp, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    ::setsockopt(d.udp, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    ::setsockopt(d.udp, IPPROTO_IP, IP_PKTINFO, &one, sizeof one);
    const int buffer = 1 << 20;
    ::setsockopt(d.udp, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    // Bound to the device's own interface, every device gets the broadcasts of
    // its segment and only its own unicasts, and its replies leave through it.
    if (::setsockopt(d.udp, SOL_SOCKET, SO_BINDTODEVICE, d.ifname.c_str(),
                     static_cast<socklen_t>(d.ifname.size())) != 0)
        throw std::runtime_error(Errno("SO_BINDTODEVICE " + d.ifname));
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(static_cast<std::uint16_t>(port_));
    if (::bind(d.udp, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0)
        throw std::runtime_error(Errno("bind port " + std::to_string(port_) + " on " + d.ifname));
    if (d.desc.wrongPort) {
        d.wrongPortUdp = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        any.sin_port = htons(static_cast<std::uint16_t>(port_ + 1));
        if (d.wrongPortUdp < 0 ||
            ::setsockopt(d.wrongPortUdp, SOL_SOCKET, SO_BINDTODEVICE, d.ifname.c_str(),
                         static_cast<socklen_t>(d.ifname.size())) != 0 ||
            ::setsockopt(d.wrongPortUdp, IPPROTO_IP, IP_PKTINFO, &one, sizeof one) != 0 ||
            ::bind(d.wrongPortUdp, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0)
            throw std::runtime_error(Errno("wrong_port socket on " + d.ifname));
    }

    d.pkt = ::socket(AF_PACKET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, htons(ETH_P_IP));
    if (d.pkt < 0)
        throw std::runtime_error(Errno("packet socket"));
    sockaddr_ll ll{};
    ll.sll_family = AF_PACKET;
    ll.sll_protocol = htons(ETH_P_IP);
    ll.sll_ifindex = d.ifindex;
    if (::bind(d.pkt, reinterpret_cast<sockaddr*>(&ll), sizeof ll) != 0)
        throw std::runtime_error(Errno("packet socket bind " + d.ifname));
}

std::string Simulator::Who(const Device& d) const {
    return "dev=" + IpText(d.ip) + " mac=" + MacText(d.desc.mac);
}

void Simulator::Run(volatile const int* stop) {
    sigset_t none;
    sigemptyset(&none);
    std::vector<pollfd> fds;
    for (const auto& d : devices_) {
        fds.push_back(pollfd{d.udp, POLLIN, 0});
        fds.push_back(pollfd{d.pkt, POLLIN, 0});
    }
    while (!*stop) {
        for (std::size_t k = 0; k < devices_.size(); ++k)
            fds[2 * k].fd = devices_[k].udp; // -1 once a device stopped listening
        auto now = Clock::now();
        auto next = now + std::chrono::milliseconds(1000);
        if (!pending_.empty())
            next = std::min(next, pending_.begin()->first);
        for (const auto& d : devices_)
            if (d.chatting)
                next = std::min(next, d.nextChatter);
        const auto waitMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count();
        timespec ts{};
        ts.tv_sec = std::max<long long>(0, waitMs) / 1000;
        ts.tv_nsec = (std::max<long long>(0, waitMs) % 1000) * 1000000;
        const int n = ::ppoll(fds.data(), fds.size(), &ts, &none);
        if (n < 0 && errno != EINTR)
            throw std::runtime_error(Errno("ppoll"));
        if (n > 0) {
            for (std::size_t k = 0; k < fds.size(); ++k) {
                if (!(fds[k].revents & (POLLIN | POLLERR)))
                    continue;
                if (k % 2 == 0)
                    OnDatagram(k / 2);
                else
                    OnPacket(k / 2);
            }
        }
        now = Clock::now();
        while (!pending_.empty() && pending_.begin()->first <= now) {
            auto node = pending_.extract(pending_.begin());
            Send(node.mapped().device, node.mapped().data, node.mapped().to, node.mapped().what);
        }
        for (std::size_t k = 0; k < devices_.size(); ++k) {
            auto& d = devices_[k];
            if (d.chatting && d.nextChatter <= now && d.desc.junk > 0) {
                d.nextChatter = now + std::chrono::milliseconds(d.desc.junk);
                Send(k,
                     std::string(static_cast<std::size_t>(d.desc.infoLen.value_or(kInfoLen)),
                                 static_cast<char>(d.desc.fill)),
                     d.chatterTo, "junk");
                d.chatting = --d.junkLeft > 0;
            } else if (d.chatting && d.nextChatter <= now) {
                d.nextChatter = now + std::chrono::milliseconds(d.desc.chatter);
                Send(k, DiscoveryReply(d.desc), d.chatterTo, "disc");
            }
        }
    }
}

void Simulator::OnDatagram(std::size_t index) {
    Device& d = devices_[index];
    // Drain what is there, but a bounded number per wake-up so that a flood
    // on one device cannot starve the others.
    for (int round = 0; round < 64; ++round) {
        static char buf[65536];
        sockaddr_in from{};
        iovec iov{buf, sizeof buf};
        alignas(cmsghdr) char control[256];
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(d.udp, &msg, MSG_TRUNC);
        if (n < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                log_.Line("ERR", Who(d) + " what=recv error=" + std::to_string(errno));
            return;
        }
        const std::size_t len = std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buf);
        std::string to = "?";
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info{};
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                to = IpText(ntohl(info.ipi_addr.s_addr));
            }
        }
        const std::string data(buf, len);
        log_.Line("RX", Who(d) + " from=" + AddrText(from) + " to=" + to +
                            " len=" + std::to_string(len) + " data=" + Hex(data));
        if (from.sin_family != AF_INET || from.sin_addr.s_addr == 0 || from.sin_port == 0)
            continue; // nobody to answer
        const DeviceDescription& s = d.desc;
        switch (Classify(data)) {
        case Request::Discovery:
            if (s.silent)
                break;
            if (s.junk > 0) {
                d.chatting = true;
                d.chatterTo = from;
                d.junkLeft = s.junkCount;
                d.nextChatter = Clock::now() + std::chrono::milliseconds(s.delay + s.discDelay);
                break;
            }
            for (int k = 0; k <= s.dup; ++k)
                Schedule(index, s.delay + s.discDelay, DiscoveryReply(s), from, "disc");
            for (int k = 1; k <= s.forge; ++k) {
                DeviceDescription forged = s;
                const int low = (s.mac[3] << 16 | s.mac[4] << 8 | s.mac[5]) + k;
                forged.mac[3] = static_cast<std::uint8_t>(low >> 16);
                forged.mac[4] = static_cast<std::uint8_t>(low >> 8);
                forged.mac[5] = static_cast<std::uint8_t>(low);
                Schedule(index, s.delay + s.discDelay, DiscoveryReply(forged), from, "forged");
            }
            if (s.chatter > 0) {
                d.chatting = true;
                d.chatterTo = from;
                d.nextChatter =
                    Clock::now() + std::chrono::milliseconds(s.delay + s.discDelay + s.chatter);
            }
            break;
        case Request::Info:
            if (!s.silent && !s.noInfo)
                Schedule(index, s.delay, InfoReply(s), from, "info");
            break;
        case Request::Setup:
            if (!s.silent && !s.noSetup)
                Schedule(index, s.delay, SetupReply(s), from, "setup");
            break;
        case Request::IpSetup:
            if (s.noIpSetup)
                break;
            if (auto ip = IpSetupTarget(data, s.mac)) {
                if (*ip == 0)
                    ChangeAddress(d, s.dhcp.value_or(d.ip), "dhcp");
                else
                    ChangeAddress(d, *ip, "ipsetup");
            }
            break;
        case Request::None:
            break;
        }
    }
}

void Simulator::OnPacket(std::size_t index) {
    Device& d = devices_[index];
    for (int round = 0; round < 64; ++round) {
        static unsigned char buf[2048];
        sockaddr_ll ll{};
        socklen_t llLen = sizeof ll;
        const ssize_t n =
            ::recvfrom(d.pkt, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&ll), &llLen);
        if (n < 0)
            return;
        // Only frames addressed to this device's MAC (not broadcasts, not our
        // own output) and only an opening TCP SYN to port 1.
        if (ll.sll_pkttype != PACKET_HOST || n < 20)
            continue;
        const std::size_t len = static_cast<std::size_t>(n);
        const std::size_t ihl = static_cast<std::size_t>(buf[0] & 15) * 4;
        if ((buf[0] >> 4) != 4 || ihl < 20 || len < ihl + 20 || buf[9] != IPPROTO_TCP)
            continue;
        std::uint32_t dst = 0;
        for (int k = 16; k < 20; ++k)
            dst = (dst << 8) | buf[k];
        const unsigned char* tcp = buf + ihl;
        const int dport = (tcp[2] << 8) | tcp[3];
        const unsigned char flags = tcp[13];
        const bool syn = (flags & 0x02) && !(flags & 0x10);
        if (dport != 1 || !syn || dst == d.ip || (d.desc.from && dst == *d.desc.from))
            continue;
        ChangeAddress(d, dst, "arp");
    }
}

void Simulator::Schedule(std::size_t index, int delayMs, std::string data, const sockaddr_in& to,
                         const char* what) {
    if (delayMs <= 0) {
        Send(index, data, to, what);
        return;
    }
    // A flood of requests to a slow device must not grow without bound.
    if (pending_.size() >= 100000) {
        log_.Line("ERR", Who(devices_[index]) + " what=" + what + " error=queue-full");
        return;
    }
    pending_.emplace(Clock::now() + std::chrono::milliseconds(delayMs),
                     Pending{index, std::move(data), to, what});
}

void Simulator::Send(std::size_t index, const std::string& data, const sockaddr_in& to,
                     const char* what) {
    const Device& d = devices_[index];
    const std::uint32_t src = d.desc.from.value_or(d.ip);
    iovec iov{const_cast<char*>(data.data()), data.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))]{};
    msghdr msg{};
    msg.msg_name = const_cast<sockaddr_in*>(&to);
    msg.msg_namelen = sizeof to;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_spec_dst.s_addr = htonl(src);
    std::memcpy(CMSG_DATA(c), &info, sizeof info);
    const std::string fields = Who(d) + " src=" + IpText(src) + " to=" + AddrText(to) +
                               " what=" + what + " len=" + std::to_string(data.size());
    const bool reply = std::string(what) == "info" || std::string(what) == "setup";
    const int socket = d.wrongPortUdp >= 0 && reply ? d.wrongPortUdp : d.udp;
    if (socket < 0 || ::sendmsg(socket, &msg, MSG_DONTWAIT) < 0)
        log_.Line("ERR", fields + " error=" + std::to_string(socket < 0 ? EBADF : errno));
    else
        log_.Line("TX", fields);
    if (d.desc.closeAfterDisc && std::string(what) == "disc" && d.udp >= 0) {
        // From now on a request to it finds no listener: the system answers
        // with ICMP port unreachable.
        ::close(d.udp);
        devices_[index].udp = -1;
    }
}

void Simulator::ChangeAddress(Device& d, std::uint32_t ip, const char* via) {
    const std::string old = Who(d);
    if (!Reachable(ip)) {
        log_.Line("IGNORED", old + " new=" + IpText(ip) + " via=" + via);
        return;
    }
    auto request = [&](std::uint16_t type, std::uint32_t addr) {
        struct {
            nlmsghdr nh;
            ifaddrmsg ifa;
            char attrs[64];
        } req{};
        req.nh.nlmsg_type = type;
        req.nh.nlmsg_flags =
            NLM_F_REQUEST | NLM_F_ACK | (type == RTM_NEWADDR ? NLM_F_CREATE | NLM_F_REPLACE : 0);
        req.nh.nlmsg_len = NLMSG_LENGTH(sizeof(ifaddrmsg));
        req.ifa.ifa_family = AF_INET;
        req.ifa.ifa_prefixlen = static_cast<unsigned char>(d.prefix);
        req.ifa.ifa_index = static_cast<unsigned>(d.ifindex);
        auto put = [&](unsigned short attr, std::uint32_t value) {
            auto* rta = reinterpret_cast<rtattr*>(reinterpret_cast<char*>(&req) +
                                                  NLMSG_ALIGN(req.nh.nlmsg_len));
            rta->rta_type = attr;
            rta->rta_len = RTA_LENGTH(4);
            const std::uint32_t be = htonl(value);
            std::memcpy(RTA_DATA(rta), &be, 4);
            req.nh.nlmsg_len = NLMSG_ALIGN(req.nh.nlmsg_len) + RTA_ALIGN(rta->rta_len);
        };
        put(IFA_LOCAL, addr);
        put(IFA_ADDRESS, addr);
        if (type == RTM_NEWADDR && d.prefix < 31)
            put(IFA_BROADCAST, addr | (0xFFFFFFFFu >> d.prefix));
        // A late answer to an earlier request that timed out is not ours.
        char stale[1024];
        while (::recv(netlink_, stale, sizeof stale, MSG_DONTWAIT) > 0) {
        }
        sockaddr_nl kernel{};
        kernel.nl_family = AF_NETLINK;
        if (::sendto(netlink_, &req, req.nh.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel),
                     sizeof kernel) < 0)
            return errno;
        pollfd p{netlink_, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0)
            return ETIMEDOUT;
        char buf[1024];
        const ssize_t n = ::recv(netlink_, buf, sizeof buf, MSG_DONTWAIT);
        if (n < static_cast<ssize_t>(NLMSG_LENGTH(sizeof(nlmsgerr))))
            return EIO;
        const auto* h = reinterpret_cast<nlmsghdr*>(buf);
        if (h->nlmsg_type != NLMSG_ERROR)
            return EIO;
        return -reinterpret_cast<nlmsgerr*>(NLMSG_DATA(h))->error;
    };
    if (ip != d.ip) {
        if (int e = request(RTM_NEWADDR, ip)) {
            log_.Line("ERR",
                      old + " what=addr-add new=" + IpText(ip) + " error=" + std::to_string(e));
            return;
        }
        if (int e = request(RTM_DELADDR, d.ip))
            log_.Line("ERR", old + " what=addr-del error=" + std::to_string(e));
        d.ip = ip;
    }
    log_.Line("IPCHANGE", old + " new=" + IpText(ip) + " via=" + via);
}

} // namespace devsim
