#pragma once
// The replies of the XPort module as far as the program reads them, and
// their decoding into a device entry. Replies are recognised by length
// alone (uDeviceComm.h); no command byte or checksum is examined.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// One found device. A value the device did not give is "N/A"; Description and
// StatusChar stay empty instead.
struct TXportPar {
    std::string IP;
    std::string MAC = "N/A";
    std::string Firmware = "N/A";
    std::string Description;
    std::string DeviceType = "N/A";
    std::string StatusChar;
    std::string AdapterIP = "N/A";
};

// Where the description starts: info reply, setup reply.
inline constexpr std::size_t XPortInfoDescriptionOffset = 4;
inline constexpr std::size_t XPortSetupDescriptionOffset = 36;

// A device entry with every field at its default.
TXportPar NewDeviceEntry();

// Type name of a device kind and model code (info reply bytes 82 and 86).
using TTypeNameLookup = std::function<std::string(int kind, int model)>;

// MAC := the text of bytes 24-29 of a 30-byte discovery reply, else "N/A".
void DecodeMac(TXportPar& entry, const std::string& reply);
// Firmware and DeviceType := those of a 130-byte info reply, else "N/A".
void DecodeInfoReply(TXportPar& entry, const std::string& reply, const TTypeNameLookup& typeName);
// Description := that of a 130-byte reply at the offset (info or setup).
void DecodeDescription(TXportPar& entry, const std::string& reply, std::size_t offset);
// StatusChar := byte 81 of a 130-byte reply of a kind 6 device, else empty.
void DecodeStatusChar(TXportPar& entry, const std::string& reply);

// Firmware text "K-A-B.CC" of the info reply bytes 82-85.
std::string FirmwareText(std::uint8_t kind, std::uint8_t a, std::uint8_t b, std::uint8_t c);
// Whether the info reply of a device with this firmware text carries the
// description; a text that is not four numbers counts as yes.
bool HasDescriptionInInfoReply(const std::string& firmware);

// The texts the decoders write; kind and version are read back from the
// entry's firmware text.
//
// Description of a 130-byte reply at the given offset, emptied for the kinds
// and versions that have none; empty for any other length.
std::string DecodeDescriptionText(const std::string& reply, std::size_t offset,
                                  const std::string& firmware);
// Status character (byte 81) of a 130-byte reply for kind 6 devices, else empty.
std::string DecodeStatusCharText(const std::string& reply, const std::string& firmware);
// "00-20-4A-01-02-03" from a 30-byte discovery reply, else "N/A".
std::string DecodeMacText(const std::string& reply);
