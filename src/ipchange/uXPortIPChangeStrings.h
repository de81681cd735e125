#pragma once
// The IP change engine's localisable message texts, in the order of its
// message record. A translation replaces this table; nothing else in the
// engine spells these texts.

namespace IPChangeStrings {

// 1: the ARP-table way ran both of its steps (result code 0).
inline constexpr const char* SIPChangeTemporary =
    "IP address was temporarily assigned to MAC\r\n"
    "To make IP change permanent you must change IP adress in device setup!";
// 2: the IP-SETUP datagram was sent (result code 2).
inline constexpr const char* SIPChangeRequestSent =
    "Request of IP address change was successfully sent.";
// 3: any failure (result code 1).
inline constexpr const char* SIPChangeError = "IP address change error.";
// 4: the new address is not dotted IPv4 text.
inline constexpr const char* SIPChangeIPSyntax =
    "IP address syntax error.\r\nWrite correct IP address, please.";
// 5: the new address answered a ping.
inline constexpr const char* SIPChangeIPExists = "Selected IP address already exists.";
// 6: the MAC text is not six hyphen-separated pairs of hex digits.
inline constexpr const char* SIPChangeMACSyntax = "MAC address syntax error.";

} // namespace IPChangeStrings
