// The ARP-table way on POSIX systems: "ip neigh" and /proc/net/arp, and a
// connection attempt with a non-blocking socket.

#include "platform/Neighbour.h"

#include "base/uErrors.h"
#include "platform/SocketAddress.h"

#include <cerrno>
#include <chrono>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

// Interface names go on a command line that is split at blanks and quotes;
// anything beyond the usual characters is refused rather than escaped.
bool SafeInterfaceName(const std::string& name) {
    if (name.empty() || name.size() > 15 || name.front() == '-')
        return false;
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '_' || c == '.' || c == '-' || c == '@';
        if (!ok)
            return false;
    }
    return true;
}

// Users without /usr/sbin on their PATH still reach the tool.
std::string IpTool() {
    for (const char* path : {"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"})
        if (::access(path, X_OK) == 0)
            return path;
    return "ip";
}

} // namespace

std::string SystemNeighbourCommandLine(const std::string& ip, const std::string& mac,
                                       const AdapterRecord& adapter) {
    if (!SafeInterfaceName(adapter.Name))
        throw Exception("Unusable adapter name \"" + adapter.Name + "\"");
    std::string lladdr = mac;
    for (char& c : lladdr)
        if (c == '-')
            c = ':';
    return IpTool() + " neigh replace " + ip + " lladdr " + lladdr + " dev " + adapter.Name +
           " nud permanent";
}

bool SystemStaticNeighbourPresent(std::uint32_t address, const TMacAddress& mac) {
    // "IP address  HW type  Flags  HW address  Mask  Device", one entry a line.
    std::ifstream in("/proc/net/arp");
    std::string line;
    if (!std::getline(in, line))
        return false;
    constexpr unsigned long Permanent = 0x04; // ATF_PERM
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string addr, hwType, flags, hw;
        in_addr entry{};
        if (!(fields >> addr >> hwType >> flags >> hw) || !ParseIPv4(addr, entry) ||
            entry.s_addr != address)
            continue;
        unsigned long f = 0;
        try {
            f = std::stoul(flags, nullptr, 16);
        } catch (...) {
            continue;
        }
        TMacAddress entryMac{};
        if ((f & Permanent) && ParseMacAddress(hw, ':', entryMac) && entryMac == mac)
            return true;
    }
    return false;
}

TConnectOutcome SystemTcpConnectAttempt(const std::string& ip, int port, int timeoutMs) {
    sockaddr_in sa{};
    ToSockAddr(ip, port, sa);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw Exception("Cannot allocate socket.");
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    auto outcome = [](int error) {
        switch (error) {
        case 0:
            return TConnectOutcome::Connected;
        case ECONNREFUSED:
        case ECONNRESET:
            return TConnectOutcome::Refused;
        case ETIMEDOUT:
            return TConnectOutcome::NoAnswer;
        default:
            return TConnectOutcome::Unreachable;
        }
    };
    if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0)
        return TConnectOutcome::Connected;
    if (errno != EINPROGRESS && errno != EINTR)
        return outcome(errno);

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return TConnectOutcome::NoAnswer;
        pollfd p{fd, POLLOUT, 0};
        const int n = ::poll(&p, 1, static_cast<int>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return TConnectOutcome::Unreachable;
        if (n == 0)
            return TConnectOutcome::NoAnswer;
        int error = 0;
        socklen_t len = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0)
            error = errno;
        return outcome(error);
    }
}

} // namespace platform
