#pragma once
// The bytes a device sends and the requests it recognises.

#include "NetFile.h"

#include <optional>
#include <string>

namespace devsim {

enum class Request { None, Discovery, Info, Setup, IpSetup };

constexpr int kDiscoveryLen = 30;
constexpr int kInfoLen = 130;
constexpr int kSetupLen = 130;

Request Classify(const std::string& datagram);

// For an IP-SETUP datagram meant for this MAC (bytes 14-15 = its last two
// octets), the address it carries; otherwise nothing.
std::optional<std::uint32_t> IpSetupTarget(const std::string& datagram, const Mac& mac);

std::string DiscoveryReply(const DeviceDescription& d);
std::string InfoReply(const DeviceDescription& d);
std::string SetupReply(const DeviceDescription& d);

std::string Hex(const std::string& bytes);

} // namespace devsim
