// The simulator's NETFILE parser: any text is a description or a
// NetFileError naming the line, and the replies of a parsed device have the
// lengths and descriptions it asked for.
// Input: the NETFILE's content.
#include "FuzzSupport.h"
#include "NetFile.h"
#include "Replies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    devsim::NetDescription net;
    try {
        net = devsim::ParseNetFile(FuzzText(data, size), "fuzz.net");
    } catch (const devsim::NetFileError& e) {
        FUZZ_CHECK(std::string(e.what()).rfind("fuzz.net:", 0) == 0);
        return 0;
    }
    for (const devsim::AdapterDescription& a : net.adapters) {
        FUZZ_CHECK(a.prefix >= 0 && a.prefix <= 32);
        FUZZ_CHECK(devsim::ParseIp(devsim::IpText(a.ip)) == a.ip);
    }
    for (const devsim::DeviceDescription& d : net.devices) {
        // A file without adapter lines describes devices alone (the simulator
        // then takes their prefix from nowhere but still plays them).
        FUZZ_CHECK(d.adapter >= 1 && (net.adapters.empty() ||
                                      static_cast<std::size_t>(d.adapter) <= net.adapters.size()));
        FUZZ_CHECK(d.info.size() <= devsim::kMaxDescription);
        FUZZ_CHECK(d.setup.size() <= devsim::kMaxDescription);
        FUZZ_CHECK(devsim::ParseIp(devsim::IpText(d.ip)) == d.ip);
        FUZZ_CHECK(devsim::MacText(d.mac).size() == 17);
        const std::string discovery = devsim::DiscoveryReply(d);
        const std::string info = devsim::InfoReply(d);
        const std::string setup = devsim::SetupReply(d);
        FUZZ_CHECK(discovery.size() ==
                   static_cast<std::size_t>(d.discLen.value_or(devsim::kDiscoveryLen)));
        FUZZ_CHECK(info.size() == static_cast<std::size_t>(d.infoLen.value_or(devsim::kInfoLen)));
        FUZZ_CHECK(setup.size() ==
                   static_cast<std::size_t>(d.setupLen.value_or(devsim::kSetupLen)));
        // An uncut info reply carries the description, zero-terminated when shorter.
        if (!d.infoLen && d.info.size() < devsim::kMaxDescription)
            FUZZ_CHECK(info.compare(4, d.info.size() + 1, d.info + '\0') == 0 ||
                       d.info.find('\0') != std::string::npos);
    }
    return 0;
}
