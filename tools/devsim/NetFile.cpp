#include "NetFile.h"

#include "base/uFileRead.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <set>
#include <sstream>

namespace devsim {

namespace {

struct Token {
    std::string key;
    std::string value;
    bool hasValue = false;
};

class LineError {
public:
    LineError(const std::string& name, int line)
        : prefix_(name + ":" + std::to_string(line) + ": ") {}
    [[noreturn]] void Fail(const std::string& what) const { throw NetFileError(prefix_ + what); }
    [[noreturn]] void Field(const std::string& field, const std::string& what) const {
        throw NetFileError(prefix_ + "field '" + field + "': " + what);
    }

private:
    std::string prefix_;
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Splits a line into key[=value] tokens. Values may be double-quoted with the
// escapes \" \\ and \xNN; '#' outside quotes starts a comment.
std::vector<Token> Tokenize(const std::string& line, const LineError& err) {
    std::vector<Token> out;
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (true) {
        while (i < n && std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        if (i >= n || line[i] == '#')
            break;
        Token t;
        while (i < n && line[i] != '=' && !std::isspace(static_cast<unsigned char>(line[i])) &&
               line[i] != '#')
            t.key += line[i++];
        if (i < n && line[i] == '=') {
            ++i;
            t.hasValue = true;
            if (i < n && line[i] == '"') {
                ++i;
                bool closed = false;
                while (i < n) {
                    const char c = line[i++];
                    if (c == '"') {
                        closed = true;
                        break;
                    }
                    if (c != '\\') {
                        t.value += c;
                        continue;
                    }
                    if (i >= n)
                        break;
                    const char e = line[i++];
                    if (e == '"' || e == '\\') {
                        t.value += e;
                    } else if (e == 'x' && i + 1 < n && HexDigit(line[i]) >= 0 &&
                               HexDigit(line[i + 1]) >= 0) {
                        t.value +=
                            static_cast<char>(HexDigit(line[i]) * 16 + HexDigit(line[i + 1]));
                        i += 2;
                    } else {
                        err.Field(t.key, "bad escape sequence (use \\\", \\\\ or \\xNN)");
                    }
                }
                if (!closed)
                    err.Field(t.key, "missing closing quote");
                if (i < n && !std::isspace(static_cast<unsigned char>(line[i])) && line[i] != '#')
                    err.Field(t.key, "text after closing quote");
            } else {
                while (i < n && !std::isspace(static_cast<unsigned char>(line[i])) &&
                       line[i] != '#')
                    t.value += line[i++];
            }
        }
        if (t.key.empty())
            err.Fail("value without a key");
        out.push_back(std::move(t));
    }
    return out;
}

bool ParseUnsigned(const std::string& s, long long max, long long& out) {
    if (s.empty())
        return false;
    int base = 10;
    std::size_t start = 0;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        start = 2;
    }
    long long v = 0;
    const char* b = s.data() + start;
    const char* e = s.data() + s.size();
    auto [p, ec] = std::from_chars(b, e, v, base);
    if (ec != std::errc() || p != e || v < 0 || v > max)
        return false;
    out = v;
    return true;
}

} // namespace

std::optional<std::uint32_t> ParseIp(const std::string& text) {
    std::uint32_t ip = 0;
    int parts = 0;
    std::size_t i = 0;
    while (parts < 4) {
        std::size_t j = i;
        while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j])))
            ++j;
        if (j == i || j - i > 3)
            return std::nullopt;
        const int v = std::stoi(text.substr(i, j - i));
        if (v > 255)
            return std::nullopt;
        ip = (ip << 8) | static_cast<std::uint32_t>(v);
        ++parts;
        if (parts < 4) {
            if (j >= text.size() || text[j] != '.')
                return std::nullopt;
            i = j + 1;
        } else if (j != text.size()) {
            return std::nullopt;
        }
    }
    return ip;
}

std::string IpText(std::uint32_t ip) {
    return std::to_string(ip >> 24) + "." + std::to_string((ip >> 16) & 255) + "." +
           std::to_string((ip >> 8) & 255) + "." + std::to_string(ip & 255);
}

std::string MacText(const Mac& mac) {
    static const char* hex = "0123456789ABCDEF";
    std::string s;
    for (std::size_t i = 0; i < mac.size(); ++i) {
        if (i)
            s += '-';
        s += hex[mac[i] >> 4];
        s += hex[mac[i] & 15];
    }
    return s;
}

namespace {

std::optional<Mac> ParseMac(const std::string& text) {
    if (text.size() != 17)
        return std::nullopt;
    const char sep = text[2];
    if (sep != '-' && sep != ':')
        return std::nullopt;
    Mac mac{};
    for (std::size_t k = 0; k < 6; ++k) {
        const int hi = HexDigit(text[k * 3]);
        const int lo = HexDigit(text[k * 3 + 1]);
        if (hi < 0 || lo < 0 || (k < 5 && text[k * 3 + 2] != sep))
            return std::nullopt;
        mac[k] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    return mac;
}

// "10.77.1.1/24": the address and its prefix (8-30, 24 when not given).
bool ParseCidr(const std::string& cidr, std::uint32_t& ip, int& prefix) {
    const auto slash = cidr.find('/');
    const auto address = ParseIp(cidr.substr(0, slash));
    long long bits = 24;
    if (!address ||
        (slash != std::string::npos && !ParseUnsigned(cidr.substr(slash + 1), 30, bits)) ||
        bits < 8)
        return false;
    ip = *address;
    prefix = static_cast<int>(bits);
    return true;
}

std::uint32_t Mask(int prefix) {
    return ~std::uint32_t{0} << (32 - prefix);
}

RouterDescription ParseRouter(const std::vector<Token>& toks, int line,
                              const std::vector<AdapterDescription>& adapters,
                              const LineError& err) {
    RouterDescription r;
    r.line = line;
    int prefix = 24;
    if (toks.size() != 3 || toks[1].hasValue || toks[2].hasValue)
        err.Field("router", "expected 'router ADAPTER-SIDE-IP/PREFIX ROUTED-SIDE-IP/PREFIX'");
    if (!ParseCidr(toks[1].key, r.ip, prefix))
        err.Field("router", "'" + toks[1].key + "' is not an address like 10.77.1.254/24");
    if (!ParseCidr(toks[2].key, r.routed, r.routedPrefix))
        err.Field("router",
                  "'" + toks[2].key + "' is not an address like 10.20.0.1/24 (prefix 8-30)");
    for (std::size_t k = 0; k < adapters.size() && r.adapter == 0; ++k)
        if (adapters[k].prefix == prefix &&
            (adapters[k].ip & Mask(prefix)) == (r.ip & Mask(prefix)))
            r.adapter = static_cast<int>(k) + 1;
    if (r.adapter == 0)
        err.Field("router",
                  IpText(r.ip) + "/" + std::to_string(prefix) + " is on no adapter's subnet");
    for (const auto& a : adapters)
        if ((a.ip & Mask(a.prefix)) == (r.routed & Mask(a.prefix)) ||
            (a.ip & Mask(r.routedPrefix)) == (r.routed & Mask(r.routedPrefix)))
            err.Field("router", "the routed subnet of " + IpText(r.routed) +
                                    " overlaps the subnet of adapter " + IpText(a.ip));
    return r;
}

AdapterDescription ParseAdapter(const std::vector<Token>& toks, int line, const LineError& err) {
    AdapterDescription a;
    a.line = line;
    if (toks.size() < 2 || toks[1].hasValue)
        err.Field("adapter", "expected an address like 10.77.1.1/24");
    const std::string& cidr = toks[1].key;
    const auto slash = cidr.find('/');
    const auto ip = ParseIp(cidr.substr(0, slash));
    long long prefix = 24;
    if (!ip || (slash != std::string::npos && !ParseUnsigned(cidr.substr(slash + 1), 30, prefix)) ||
        prefix < 8)
        err.Field("adapter", "'" + cidr + "' is not an address like 10.77.1.1/24 (prefix 8-30)");
    a.ip = *ip;
    a.prefix = static_cast<int>(prefix);
    for (std::size_t k = 2; k < toks.size(); ++k) {
        if (toks[k].key == "gw" && toks[k].hasValue) {
            a.gateway = ParseIp(toks[k].value);
            if (!a.gateway)
                err.Field("gw", "'" + toks[k].value + "' is not an IPv4 address");
        } else {
            err.Field(toks[k].key, "unknown adapter key");
        }
    }
    return a;
}

DeviceDescription ParseDevice(const std::vector<Token>& toks, int line, const LineError& err) {
    DeviceDescription d;
    d.line = line;
    long long v = 0;
    // "r2": on the routed segment of the second router.
    const bool routed = toks.size() >= 2 && !toks[1].key.empty() && toks[1].key[0] == 'r';
    if (toks.size() < 2 || toks[1].hasValue ||
        !ParseUnsigned(routed ? toks[1].key.substr(1) : toks[1].key, 64, v) || v < 1)
        err.Field("device", "expected the adapter number (1-64) or rN (router N) after 'device'");
    (routed ? d.router : d.adapter) = static_cast<int>(v);
    bool haveIp = false;
    bool haveMac = false;
    std::set<std::string> seen;
    for (std::size_t k = 2; k < toks.size(); ++k) {
        const Token& t = toks[k];
        if (!seen.insert(t.key).second)
            err.Field(t.key, "given twice");
        auto needValue = [&]() {
            if (!t.hasValue)
                err.Field(t.key, "needs a value (" + t.key + "=...)");
        };
        auto number = [&](long long min, long long max) {
            needValue();
            long long n = 0;
            if (!ParseUnsigned(t.value, max, n) || n < min)
                err.Field(t.key, "'" + t.value + "' is not a number from " + std::to_string(min) +
                                     " to " + std::to_string(max));
            return static_cast<int>(n);
        };
        auto address = [&]() {
            needValue();
            auto ip = ParseIp(t.value);
            if (!ip)
                err.Field(t.key, "'" + t.value + "' is not an IPv4 address");
            return *ip;
        };
        auto flag = [&]() {
            if (t.hasValue)
                err.Field(t.key, "is a switch and takes no value");
            return true;
        };
        auto description = [&]() {
            needValue();
            if (t.value.size() > kMaxDescription)
                err.Field(t.key, "description is " + std::to_string(t.value.size()) +
                                     " bytes long, at most 65 fit");
            return t.value;
        };
        if (t.key == "ip") {
            d.ip = address();
            haveIp = true;
        } else if (t.key == "mac") {
            needValue();
            auto mac = ParseMac(t.value);
            if (!mac)
                err.Field("mac", "'" + t.value + "' is not a MAC address like 00-20-4A-01-02-03");
            if ((*mac)[0] & 1)
                err.Field("mac", "'" + t.value + "' is a multicast address");
            d.mac = *mac;
            haveMac = true;
        } else if (t.key == "kind") {
            d.kind = static_cast<std::uint8_t>(number(0, 255));
        } else if (t.key == "model") {
            d.model = static_cast<std::uint8_t>(number(0, 255));
        } else if (t.key == "version") {
            needValue();
            std::stringstream ss(t.value);
            std::string part;
            int count = 0;
            bool ok = true;
            while (std::getline(ss, part, '.')) {
                long long n = 0;
                if (count >= 3 || !ParseUnsigned(part, 255, n) || part.rfind("0x", 0) == 0) {
                    ok = false;
                    break;
                }
                d.version[static_cast<std::size_t>(count++)] = static_cast<std::uint8_t>(n);
            }
            if (!ok || count != 3 || t.value.back() == '.')
                err.Field("version", "'" + t.value + "' is not three numbers 0-255 like 4.5.2");
        } else if (t.key == "info") {
            d.info = description();
        } else if (t.key == "setup") {
            d.setup = description();
        } else if (t.key == "status") {
            needValue();
            long long n = 0;
            if (t.value.size() == 1)
                d.status = static_cast<std::uint8_t>(t.value[0]);
            else if (t.value.size() > 2 && t.value.rfind("0x", 0) == 0 &&
                     ParseUnsigned(t.value, 255, n))
                d.status = static_cast<std::uint8_t>(n);
            else
                err.Field("status", "'" + t.value + "' is neither one character nor 0xNN");
        } else if (t.key == "fill") {
            d.fill = static_cast<std::uint8_t>(number(0, 255));
        } else if (t.key == "delay") {
            d.delay = number(0, 600000);
        } else if (t.key == "disc_delay") {
            d.discDelay = number(0, 600000);
        } else if (t.key == "dup") {
            d.dup = number(0, 100000);
        } else if (t.key == "disc_len") {
            d.discLen = number(0, kMaxDatagram);
        } else if (t.key == "info_len") {
            d.infoLen = number(0, kMaxDatagram);
        } else if (t.key == "setup_len") {
            d.setupLen = number(0, kMaxDatagram);
        } else if (t.key == "no_info") {
            d.noInfo = flag();
        } else if (t.key == "no_setup") {
            d.noSetup = flag();
        } else if (t.key == "silent") {
            d.silent = flag();
        } else if (t.key == "no_ipsetup") {
            d.noIpSetup = flag();
        } else if (t.key == "from") {
            d.from = address();
        } else if (t.key == "chatter") {
            d.chatter = number(1, 600000);
        } else if (t.key == "dhcp") {
            d.dhcp = address();
        } else if (t.key == "forge") {
            d.forge = number(0, 100000);
        } else if (t.key == "junk") {
            d.junk = number(1, 600000);
        } else if (t.key == "junk_count") {
            d.junkCount = number(1, 1000000);
        } else if (t.key == "wrong_port") {
            d.wrongPort = flag();
        } else if (t.key == "close_after_disc") {
            d.closeAfterDisc = flag();
        } else if (t.key == "tcp") {
            needValue();
            std::stringstream ss(t.value);
            std::string part;
            d.tcpPorts.clear();
            while (std::getline(ss, part, ',')) {
                long long n = 0;
                if (!ParseUnsigned(part, 65535, n) || n == 0 || part.rfind("0x", 0) == 0)
                    err.Field("tcp", "'" + part + "' is not a port 1-65535");
                if (std::find(d.tcpPorts.begin(), d.tcpPorts.end(), n) != d.tcpPorts.end())
                    err.Field("tcp", "port " + part + " is named twice");
                d.tcpPorts.push_back(static_cast<int>(n));
            }
            if (d.tcpPorts.empty() || d.tcpPorts.size() > 8 || t.value.back() == ',')
                err.Field("tcp", "'" + t.value + "' is not a list of 1 to 8 ports like 80,9999");
        } else {
            err.Field(t.key, "unknown device key");
        }
    }
    if (!haveIp)
        err.Field("ip", "missing (every device needs ip=...)");
    if (!haveMac)
        err.Field("mac", "missing (every device needs mac=...)");
    return d;
}

} // namespace

NetDescription ParseNetFile(const std::string& text, const std::string& name) {
    NetDescription desc;
    std::stringstream in(text);
    std::string line;
    int no = 0;
    std::set<std::uint32_t> ips;
    std::set<Mac> macs;
    while (std::getline(in, line)) {
        ++no;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const LineError err(name, no);
        const auto toks = Tokenize(line, err);
        if (toks.empty())
            continue;
        if (toks[0].key == "adapter" && !toks[0].hasValue) {
            if (!desc.devices.empty())
                err.Fail("adapter lines must come before the device lines");
            if (!desc.routers.empty())
                err.Fail("adapter lines must come before the router lines");
            desc.adapters.push_back(ParseAdapter(toks, no, err));
            if (!ips.insert(desc.adapters.back().ip).second)
                err.Field("adapter", "address used twice");
        } else if (toks[0].key == "router" && !toks[0].hasValue) {
            if (!desc.devices.empty())
                err.Fail("router lines must come before the device lines");
            desc.routers.push_back(ParseRouter(toks, no, desc.adapters, err));
            for (const std::uint32_t ip : {desc.routers.back().ip, desc.routers.back().routed})
                if (!ips.insert(ip).second)
                    err.Field("router", IpText(ip) + " is used twice");
        } else if (toks[0].key == "device" && !toks[0].hasValue) {
            DeviceDescription d = ParseDevice(toks, no, err);
            if (d.router > static_cast<int>(desc.routers.size()))
                err.Field("device", "there is no router " + std::to_string(d.router));
            if (!desc.adapters.empty() && d.adapter > static_cast<int>(desc.adapters.size()))
                err.Field("device", "there is no adapter " + std::to_string(d.adapter));
            if (!ips.insert(d.ip).second)
                err.Field("ip", IpText(d.ip) + " is used twice");
            if (d.from && !ips.insert(*d.from).second)
                err.Field("from", IpText(*d.from) + " is used twice");
            if (!macs.insert(d.mac).second)
                err.Field("mac", MacText(d.mac) + " is used twice");
            desc.devices.push_back(std::move(d));
        } else {
            err.Fail("unknown line '" + toks[0].key +
                     "' (expected 'adapter', 'router' or 'device')");
        }
    }
    return desc;
}

NetDescription ReadNetFile(const std::string& path) {
    // A pipe would block the start, a device like /dev/zero never end.
    constexpr std::size_t MaxNetFileSize = 16 * 1024 * 1024;
    std::string text;
    switch (ReadRegularFile(path, MaxNetFileSize, text)) {
    case TFileRead::Ok:
        return ParseNetFile(text, path);
    case TFileRead::NotRegular:
        throw NetFileError(path + ": not a regular file");
    case TFileRead::TooLarge:
        throw NetFileError(path + ": larger than 16 MB");
    default:
        throw NetFileError(path + ": cannot open");
    }
}

} // namespace devsim
