#pragma once
// The IP change engine's localisable message texts, in the order of its
// message record. A translation replaces this table; nothing else in the
// engine spells these texts. The GUI translates them under the context
// "IPChangeStrings".

#include "base/uTranslatable.h"

namespace IPChangeStrings {

// 1: the ARP-table way ran both of its steps (result code 0).
inline constexpr const char* SIPChangeTemporary = QV_TRANSLATE_NOOP(
    "IPChangeStrings", "IP address was temporarily assigned to MAC\r\n"
                       "To make IP change permanent you must change IP adress in device setup!");
// 2: the IP-SETUP datagram was sent (result code 2).
inline constexpr const char* SIPChangeRequestSent =
    QV_TRANSLATE_NOOP("IPChangeStrings", "Request of IP address change was successfully sent.");
// 3: any failure (result code 1).
inline constexpr const char* SIPChangeError =
    QV_TRANSLATE_NOOP("IPChangeStrings", "IP address change error.");
// 4: the new address is not dotted IPv4 text.
inline constexpr const char* SIPChangeIPSyntax = QV_TRANSLATE_NOOP(
    "IPChangeStrings", "IP address syntax error.\r\nWrite correct IP address, please.");
// 5: the new address answered a ping.
inline constexpr const char* SIPChangeIPExists =
    QV_TRANSLATE_NOOP("IPChangeStrings", "Selected IP address already exists.");
// 6: the MAC text is not six hyphen-separated pairs of hex digits.
inline constexpr const char* SIPChangeMACSyntax =
    QV_TRANSLATE_NOOP("IPChangeStrings", "MAC address syntax error.");

// Causes shown after the message, one line each.
// The ping that checks whether the new address is in use could not be sent.
inline constexpr const char* SIPChangeCausePing = QV_TRANSLATE_NOOP(
    "IPChangeStrings",
    "The new address could not be checked with a ping: this user may not open an ICMP socket "
    "and the system's ping program could not be run. Run the program as administrator, or allow "
    "ping for the user's group (sysctl net.ipv4.ping_group_range).");
// The ARP-table way ran its command, but the entry is not there.
inline constexpr const char* SIPChangeCauseArpRights = QV_TRANSLATE_NOOP(
    "IPChangeStrings",
    "The ARP-table entry was not made: making it needs administrator rights. Run the program as "
    "administrator, or use the IP-SETUP way.");
// The device was found by unicast: it is behind a router.
inline constexpr const char* SIPChangeCauseUnicast = QV_TRANSLATE_NOOP(
    "IPChangeStrings",
    "The device was found by unicast through a router: both ways of the IP change need the "
    "device's own network segment (a broadcast and an ARP-table entry do not cross a router). "
    "Change its address from a computer on that segment.");

// Why the new address, valid as text, is refused: no device can live there.
// %1 is the address, %2 the adapter with its prefix length (10.99.1.1/24).
inline constexpr const char* SIPChangeCauseSubnetBroadcast =
    "%1 is the broadcast address of the subnet of adapter %2.";
inline constexpr const char* SIPChangeCauseSubnetNetwork =
    "%1 is the network address of the subnet of adapter %2.";
inline constexpr const char* SIPChangeCauseLimitedBroadcast =
    "%1 is the broadcast address of every network.";
inline constexpr const char* SIPChangeCauseThisNetwork =
    "%1 is in 0.0.0.0/8, which stands for this network and is no device's address.";
inline constexpr const char* SIPChangeCauseLoopback = "%1 is a loopback address (127.0.0.0/8).";
inline constexpr const char* SIPChangeCauseMulticast = "%1 is a multicast address.";
inline constexpr const char* SIPChangeCauseReserved =
    "%1 is a reserved address (class E, 240.0.0.0/4).";

} // namespace IPChangeStrings
