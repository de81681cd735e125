#include "Replies.h"

namespace devsim {

namespace {

constexpr char kIpSetupHead[] = "\x00\x00\x00\xFC"
                                "IP-SETUP"
                                "\x00\x00";
constexpr std::size_t kIpSetupHeadLen = 14;

std::string Frame(int nominal, std::uint8_t fill, unsigned char cmd) {
    std::string r(static_cast<std::size_t>(nominal), static_cast<char>(fill));
    r[0] = r[1] = r[2] = 0;
    r[3] = static_cast<char>(cmd);
    return r;
}

// A fault switch changes the length last, so the fields that still fit stay.
std::string Resize(std::string r, std::optional<int> wanted, std::uint8_t fill) {
    if (wanted)
        r.resize(static_cast<std::size_t>(*wanted), static_cast<char>(fill));
    return r;
}

// Zero-terminated when shorter than the area, whole when it fills the area.
void PutDescription(std::string& r, std::size_t at, const std::string& text) {
    const std::size_t n = std::min(text.size(), kMaxDescription);
    r.replace(at, n, text.substr(0, n));
    if (n < kMaxDescription)
        r[at + n] = 0;
}

} // namespace

Request Classify(const std::string& d) {
    if (d.size() == 4 && d[0] == 0 && d[1] == 0 && d[2] == 0) {
        switch (static_cast<unsigned char>(d[3])) {
        case 0xF6:
            return Request::Discovery;
        case 0xE4:
            return Request::Info;
        case 0xE6:
            return Request::Setup;
        default:
            return Request::None;
        }
    }
    if (d.size() == 20 && d.compare(0, kIpSetupHeadLen, kIpSetupHead, kIpSetupHeadLen) == 0)
        return Request::IpSetup;
    return Request::None;
}

std::optional<std::uint32_t> IpSetupTarget(const std::string& d, const Mac& mac) {
    if (Classify(d) != Request::IpSetup)
        return std::nullopt;
    if (static_cast<std::uint8_t>(d[14]) != mac[4] || static_cast<std::uint8_t>(d[15]) != mac[5])
        return std::nullopt;
    std::uint32_t ip = 0;
    for (std::size_t k = 16; k < 20; ++k)
        ip = (ip << 8) | static_cast<std::uint8_t>(d[k]);
    return ip;
}

std::string DiscoveryReply(const DeviceDescription& d) {
    std::string r = Frame(kDiscoveryLen, d.fill, 0xF7);
    for (std::size_t k = 0; k < 6; ++k)
        r[24 + k] = static_cast<char>(d.mac[k]);
    return Resize(std::move(r), d.discLen, d.fill);
}

std::string InfoReply(const DeviceDescription& d) {
    std::string r = Frame(kInfoLen, d.fill, 0xE5);
    PutDescription(r, 4, d.info);
    r[81] = static_cast<char>(d.status.value_or(0));
    r[82] = static_cast<char>(d.kind);
    r[83] = static_cast<char>(d.version[0]);
    r[84] = static_cast<char>(d.version[1]);
    r[85] = static_cast<char>(d.version[2]);
    r[86] = static_cast<char>(d.model);
    return Resize(std::move(r), d.infoLen, d.fill);
}

std::string SetupReply(const DeviceDescription& d) {
    std::string r = Frame(kSetupLen, d.fill, 0xE7);
    PutDescription(r, 36, d.setup);
    // Byte 81 lies inside the description area (its 46th byte). A configured
    // status wins, so kind-6 devices report it whatever their description.
    if (d.status)
        r[81] = static_cast<char>(*d.status);
    return Resize(std::move(r), d.setupLen, d.fill);
}

std::string Hex(const std::string& bytes) {
    static const char* hex = "0123456789ABCDEF";
    std::string s;
    s.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        s += hex[c >> 4];
        s += hex[c & 15];
    }
    return s;
}

} // namespace devsim
