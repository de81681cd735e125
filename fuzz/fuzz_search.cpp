// The search engine against the fake network of the unit tests, with the
// devices' datagrams taken from the input: whatever they send, the search
// ends, and every entry it lists is well formed.
//
// Input: one options byte (bit 0: adapter after adapter; bit 1: a second
// adapter), then records of a header byte, a length byte and that many
// bytes. Header bits 0-1: what the bytes are (0 discovery reply, 1 info
// reply, 2 setup reply, 3 a datagram the link refuses before the info
// reply); bit 2: the adapter; bits 3-5: the device (10.77.A.10 + n);
// bit 6: a discovery reply that comes after the collection ended.
#include "FuzzSupport.h"
#include "search/uXPortSearch.h"
#include "support/FakeSearchNet.h"
#include "utils/uUtilsConvert.h"

#include <gtest/gtest.h>

namespace {

// The engine writes its log as it would to the event log file.
struct TCountingLog : TLogSink {
    void WriteLine(std::uint8_t, const std::string&) override { ++lines; }
    void WriteLineMasked(std::uint8_t, std::uint8_t, const std::string&) override { ++lines; }
    int lines = 0;
};

const char* const Adapters[] = {"10.77.1.1", "10.77.2.1"};

std::string DeviceIP(int adapter, int device) {
    return "10.77." + std::to_string(adapter + 1) + "." + std::to_string(10 + device);
}

bool IsFirmwareText(const std::string& text) {
    // "K-A-B.CC" as FirmwareText writes it.
    int dashes = 0, dots = 0;
    for (char c : text) {
        if (c == '-')
            ++dashes;
        else if (c == '.')
            ++dots;
        else if (c < '0' || c > '9')
            return false;
    }
    return dashes == 2 && dots == 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t options = data[0];
    const int adapterCount = (options & 2) ? 2 : 1;
    TFakeTopology topology;
    std::map<std::string, TFakeDevice> devices; // by address
    int discoveries = 0;
    for (std::size_t pos = 1; pos + 2 <= size;) {
        const std::uint8_t header = data[pos];
        const std::size_t length = std::min<std::size_t>(data[pos + 1], size - pos - 2);
        const std::string bytes(reinterpret_cast<const char*>(data + pos + 2), length);
        pos += 2 + length;
        const int adapter = ((header >> 2) & 1) % adapterCount;
        const std::string ip = DeviceIP(adapter, (header >> 3) & 7);
        auto [it, added] = devices.try_emplace(ip);
        TFakeDevice& device = it->second;
        if (added) {
            device.ip = ip;
            device.copies = 0; // until a discovery record comes
        }
        switch (header & 3) {
        case 0:
            // A device repeats its first discovery reply.
            if (device.copies++ == 0)
                device.discovery = bytes;
            ++discoveries;
            device.late = (header & 0x40) != 0;
            break;
        case 1:
            device.info = bytes;
            break;
        case 2:
            device.setup = bytes;
            break;
        default:
            device.infoJunk = "refused: " + std::to_string(length);
            break;
        }
    }
    for (const auto& [ip, device] : devices)
        topology.devices[ip.rfind("10.77.1.", 0) == 0 ? Adapters[0] : Adapters[1]].push_back(
            device);

    TFakeSearchNet net(topology);
    TCountingLog log;
    TXportSearch search;
    search.Log = &log;
    search.Sequential = (options & 1) != 0;
    search.LinkFactory = [&net] { return net.NewLink(); };
    search.AdapterAddressProvider = [adapterCount] {
        return std::vector<std::string>(Adapters, Adapters + adapterCount);
    };
    try {
        search.Search();
    } catch (const Exception&) {
        // The engine's own failure, raised to its caller: allowed.
    }
    // The fake network's own checks (what was sent, to which port).
    FUZZ_CHECK(!::testing::UnitTest::GetInstance()->ad_hoc_test_result().Failed());
    FUZZ_CHECK(net.liveLinks == 0);
    FUZZ_CHECK(log.lines >= 2); // the start and the end of the search
    FUZZ_CHECK(search.DeviceCount() <= discoveries);
    for (int i = 0; i < search.DeviceCount(); ++i) {
        const TXportPar& entry = search.Device(i);
        FUZZ_CHECK(entry.MAC == "N/A" || IsValidMAC(entry.MAC));
        FUZZ_CHECK(entry.Firmware == "N/A" || IsFirmwareText(entry.Firmware));
        FUZZ_CHECK(entry.AdapterIP == Adapters[0] || entry.AdapterIP == Adapters[1]);
        FUZZ_CHECK(devices.count(entry.IP) == 1);
        FUZZ_CHECK(entry.Description.size() <= 65);
        DeviceListLine(i, entry);
    }
    return 0;
}
