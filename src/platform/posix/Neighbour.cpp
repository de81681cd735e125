#include "platform/Neighbour.h"

#include "utils/uErrors.h"

#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

bool ParseIPv4(const std::string& text, std::uint32_t& hostOrder) {
    in_addr a{};
    if (inet_pton(AF_INET, text.c_str(), &a) != 1)
        return false;
    hostOrder = ntohl(a.s_addr);
    return true;
}

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

std::string StaticNeighbourCommandLine(const std::string& ip, const std::string& mac,
                                       const std::vector<AdapterRecord>& adapters) {
    std::uint32_t target = 0;
    if (!ParseIPv4(ip, target))
        throw Exception("Invalid IP address \"" + ip + "\"");
    std::string lladdr = mac;
    for (char& c : lladdr)
        if (c == '-')
            c = ':';
    for (const AdapterRecord& adapter : adapters) {
        for (const AdapterAddressRecord& a : adapter.Addresses) {
            std::uint32_t addr = 0, mask = 0;
            if (!ParseIPv4(a.Address, addr) || !ParseIPv4(a.Mask, mask) || addr == 0)
                continue;
            if ((addr & mask) != (target & mask))
                continue;
            if (!SafeInterfaceName(adapter.Name))
                throw Exception("Unusable adapter name \"" + adapter.Name + "\"");
            return IpTool() + " neigh replace " + ip + " lladdr " + lladdr + " dev " +
                   adapter.Name + " nud permanent";
        }
    }
    throw Exception("No adapter reaches " + ip);
}

bool StaticNeighbourPresent(const std::string& ip, const std::string& mac) {
    // "IP address  HW type  Flags  HW address  Mask  Device", one entry a line.
    std::ifstream in("/proc/net/arp");
    std::string line;
    if (!std::getline(in, line))
        return false;
    auto same = [](const std::string& a, const std::string& b) {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            const char x = a[i] == '-'
                               ? ':'
                               : static_cast<char>(std::tolower(static_cast<unsigned char>(a[i])));
            const char y = b[i] == '-'
                               ? ':'
                               : static_cast<char>(std::tolower(static_cast<unsigned char>(b[i])));
            if (x != y)
                return false;
        }
        return true;
    };
    constexpr unsigned long Permanent = 0x04; // ATF_PERM
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string addr, hwType, flags, hw;
        if (!(fields >> addr >> hwType >> flags >> hw) || addr != ip)
            continue;
        unsigned long f = 0;
        try {
            f = std::stoul(flags, nullptr, 16);
        } catch (...) {
            continue;
        }
        if ((f & Permanent) && same(hw, mac))
            return true;
    }
    return false;
}

TConnectOutcome TcpConnectAttempt(const std::string& ip, int port, int timeoutMs) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<std::uint16_t>(port));
    if (port < 0 || port > 65535 || inet_pton(AF_INET, ip.c_str(), &sa.sin_addr) != 1)
        throw Exception("Invalid IP address \"" + ip + "\"");
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
