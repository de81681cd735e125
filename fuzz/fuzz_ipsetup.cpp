// The IP-SETUP datagram: built from any MAC and address text, it is 20
// bytes of the right form or refused with the engine's error, and the
// simulated device reads from it the address it was built with.
// Input: the MAC text, a line break, the address text.
#include "FuzzSupport.h"
#include "Replies.h"
#include "base/uErrors.h"
#include "ipchange/uXPortIPChange.h"
#include "utils/uUtilsConvert.h"

#include <array>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> lines = FuzzLines(FuzzText(data, size), 2);
    const std::string& mac = lines[0];
    const std::string& ip = lines[1];
    const bool valid = IsValidMAC(mac) && IsValidIP(ip);
    std::string datagram;
    try {
        datagram = TXPortIPChange::IpSetupDatagram(mac, ip);
    } catch (const Exception&) {
        FUZZ_CHECK(!valid);
        return 0;
    }
    FUZZ_CHECK(datagram.size() == 20);
    FUZZ_CHECK(datagram.compare(0, 14, std::string("\0\0\0\xFCIP-SETUP\0\0", 14)) == 0);
    std::array<std::uint8_t, 4> address{};
    FUZZ_CHECK(IPToBytes(ip, address));
    for (std::size_t i = 0; i < 4; ++i)
        FUZZ_CHECK(static_cast<std::uint8_t>(datagram[16 + i]) == address[i]);
    FUZZ_CHECK(devsim::Classify(datagram) == devsim::Request::IpSetup);
    if (valid) {
        devsim::Mac bytes{};
        std::string raw;
        HexStr2BinStr(HyphenMac(mac).erase(14, 1).erase(11, 1).erase(8, 1).erase(5, 1).erase(2, 1),
                      raw);
        FUZZ_CHECK(raw.size() == 6);
        std::copy(raw.begin(), raw.end(), bytes.begin());
        const auto target = devsim::IpSetupTarget(datagram, bytes);
        FUZZ_CHECK(target.has_value());
        FUZZ_CHECK(*target ==
                   ((std::uint32_t{address[0]} << 24) | (std::uint32_t{address[1]} << 16) |
                    (std::uint32_t{address[2]} << 8) | address[3]));
    }
    return 0;
}
