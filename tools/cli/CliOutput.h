#pragma once
// Rendering of a device list for the command line: an aligned table for
// people, JSON for scripts.

#include "search/uXPortSearch.h"

#include <string>
#include <vector>

// A JSON string literal of a device text read by the rule of
// base/uDeviceText.h (UTF-8 when valid, else Latin-1): exact, nothing
// replaced, and all ASCII: every character outside printable ASCII is
// escaped ("\n", "\u001b", "\u00fc", a surrogate pair beyond U+FFFF).
std::string JsonString(const std::string& text);

// Device texts come from the network: they are read by the same rule and
// their control characters shown as symbols (VisibleText), so that a reply
// can neither drive the terminal nor break the table's lines.
std::string DeviceTable(const std::vector<TXportPar>& devices);
std::string DeviceJson(const std::vector<TXportPar>& devices);
// CSV after RFC 4180 for spreadsheets and site reports: a header row with the
// field names of the JSON, one row per device, CR LF line ends, every field
// quoted (inner quotes doubled), device texts in UTF-8 by the same rule and
// kept exactly (a line break stays inside its quoted field).
std::string DeviceCsv(const std::vector<TXportPar>& devices);

// One line of `search --trace` (without line end): time since the search
// started, what the engine made of the datagram, the adapter, the peer, the
// length and the first bytes in hex, e.g.
// "trace     12 ms  reply    adapter 10.77.1.1  from 10.77.1.10:30718  len 30  000000f7..."
std::string TraceLine(const TXportSearch::TTraceEvent& event);
