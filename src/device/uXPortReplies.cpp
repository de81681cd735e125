#include "device/uXPortReplies.h"

#include "device/uDeviceComm.h"
#include "utils/uUtilsConvert.h"

#include <cstdio>
#include <optional>
#include <vector>

namespace {

constexpr std::size_t MaxDescription = 65;
constexpr std::size_t StatusCharOffset = 81;

struct TFirmware {
    int Kind;
    int Version; // byte83 * 65536 + byte84 * 256 + byte85
    bool KindDigitsOnly;
};

// Firmware text read back as kind and version; nullopt unless four numbers.
std::optional<TFirmware> ParseFirmware(const std::string& firmware) {
    std::string text = firmware;
    for (char& c : text)
        if (c == '.')
            c = '-';
    std::vector<std::string> parts;
    std::size_t pos = 0;
    for (;;) {
        std::size_t dash = text.find('-', pos);
        parts.push_back(text.substr(pos, dash == std::string::npos ? dash : dash - pos));
        if (dash == std::string::npos)
            break;
        pos = dash + 1;
    }
    if (parts.size() != 4)
        return std::nullopt;
    int v[4];
    for (int i = 0; i < 4; ++i) {
        auto n = StrToIntOpt(parts[static_cast<std::size_t>(i)]);
        if (!n)
            return std::nullopt;
        v[i] = ((*n % 256) + 256) % 256;
    }
    bool digits = !parts[0].empty();
    for (char c : parts[0])
        digits = digits && c >= '0' && c <= '9';
    return TFirmware{v[0], (v[1] << 16) | (v[2] << 8) | v[3], digits};
}

constexpr int Version(int a, int b, int c) {
    return (a << 16) | (b << 8) | c;
}

} // namespace

TXportPar NewDeviceEntry() {
    return TXportPar{};
}

void DecodeMac(TXportPar& entry, const std::string& reply) {
    entry.MAC = DecodeMacText(reply);
}

void DecodeInfoReply(TXportPar& entry, const std::string& reply, const TTypeNameLookup& typeName) {
    entry.Firmware = "N/A";
    entry.DeviceType = "N/A";
    if (reply.size() != XPortInfoReplySize)
        return;
    auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(reply[i]); };
    entry.Firmware = FirmwareText(byte(82), byte(83), byte(84), byte(85));
    if (typeName)
        entry.DeviceType = typeName(byte(82), byte(86));
}

void DecodeDescription(TXportPar& entry, const std::string& reply, std::size_t offset) {
    entry.Description = DecodeDescriptionText(reply, offset, entry.Firmware);
}

void DecodeStatusChar(TXportPar& entry, const std::string& reply) {
    entry.StatusChar = DecodeStatusCharText(reply, entry.Firmware);
}

std::string FirmwareText(std::uint8_t kind, std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    char text[32];
    std::snprintf(text, sizeof text, "%u-%u-%u.%02u", unsigned{kind}, unsigned{a}, unsigned{b},
                  unsigned{c});
    return text;
}

bool HasDescriptionInInfoReply(const std::string& firmware) {
    auto fw = ParseFirmware(firmware);
    if (!fw)
        return true;
    switch (fw->Kind) {
    case 1:
        return fw->Version >= Version(4, 5, 0);
    case 2:
        return fw->Version >= Version(5, 2, 0);
    case 4:
        return fw->Version >= Version(4, 2, 0);
    case 3:
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
        return true;
    default:
        return false;
    }
}

std::string DecodeDescriptionText(const std::string& reply, std::size_t offset,
                                  const std::string& firmware) {
    if (reply.size() != XPortInfoReplySize || offset >= reply.size())
        return {};
    std::size_t end = offset;
    while (end < reply.size() && end - offset < MaxDescription && reply[end] != '\0')
        ++end;
    std::string description = reply.substr(offset, end - offset);
    if (auto fw = ParseFirmware(firmware)) {
        if (fw->Kind == 3 || (fw->Kind == 5 && fw->Version <= Version(5, 1, 22)))
            description.clear();
    }
    return description;
}

std::string DecodeStatusCharText(const std::string& reply, const std::string& firmware) {
    if (reply.size() != XPortInfoReplySize)
        return {};
    auto fw = ParseFirmware(firmware);
    if (!fw || !fw->KindDigitsOnly || fw->Kind != 6)
        return {};
    return std::string(1, reply[StatusCharOffset]);
}

std::string DecodeMacText(const std::string& reply) {
    if (reply.size() != XPortDiscoveryReplySize)
        return "N/A";
    std::string mac;
    for (std::size_t i = 24; i < 30; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(reply[i]));
        if (i > 24)
            mac += '-';
        mac += hex;
    }
    return mac;
}
