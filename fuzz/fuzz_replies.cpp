// The decoders of the device replies. Input: a firmware text, a line break,
// then the reply's bytes (a reply of 30 or 130 bytes is decoded for real).
#include "FuzzSupport.h"
#include "device/uXPortReplies.h"
#include "utils/uUtilsConvert.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> parts = FuzzLines(FuzzText(data, size), 2);
    const std::string& firmware = parts[0];
    const std::string& reply = parts[1];

    const std::string mac = DecodeMacText(reply);
    FUZZ_CHECK(reply.size() == 30 ? IsValidMAC(mac) : mac == "N/A");

    TXportPar entry = NewDeviceEntry();
    DecodeMac(entry, reply);
    int kind = -1, model = -1;
    DecodeInfoReply(entry, reply, [&](int k, int m) {
        kind = k;
        model = m;
        return std::string("type");
    });
    if (reply.size() == 130) {
        const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(reply[i]); };
        FUZZ_CHECK(entry.Firmware == FirmwareText(byte(82), byte(83), byte(84), byte(85)));
        FUZZ_CHECK(kind == byte(82) && model == byte(86) && entry.DeviceType == "type");
        // The text the decoder wrote is read back as the same kind.
        FUZZ_CHECK(HasDescriptionInInfoReply(entry.Firmware) ==
                   HasDescriptionInInfoReply(FirmwareText(byte(82), byte(83), byte(84), byte(85))));
    } else {
        FUZZ_CHECK(entry.Firmware == "N/A" && entry.DeviceType == "N/A" && kind == -1);
    }
    for (std::size_t offset : {XPortInfoDescriptionOffset, XPortSetupDescriptionOffset}) {
        DecodeDescription(entry, reply, offset);
        FUZZ_CHECK(entry.Description.size() <= 65);
        FUZZ_CHECK(entry.Description.find('\0') == std::string::npos);
        FUZZ_CHECK(reply.size() == 130 || entry.Description.empty());
        // Any firmware text, also one no device sends, is only read.
        const std::string text = DecodeDescriptionText(reply, offset, firmware);
        FUZZ_CHECK(text.size() <= 65);
    }
    DecodeStatusChar(entry, reply);
    FUZZ_CHECK(entry.StatusChar.size() <= 1);
    FUZZ_CHECK(DecodeStatusCharText(reply, firmware).size() <= 1);
    HasDescriptionInInfoReply(firmware);
    return 0;
}
