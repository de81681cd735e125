#pragma once
// Rendering of a device list for the command line: an aligned table for
// people, JSON and CSV for scripts (search/uDeviceListExport.h).

#include "search/uDeviceListExport.h" // the JSON and CSV forms
#include "search/uXPortSearch.h"

#include <string>
#include <vector>

// Device texts come from the network: they are read by the same rule and
// their control characters shown as symbols (VisibleText), so that a reply
// can neither drive the terminal nor break the table's lines.
std::string DeviceTable(const std::vector<TXportPar>& devices);

// One line of `search --trace` (without line end): time since the search
// started, what the engine made of the datagram, the adapter, the peer, the
// length and the first bytes in hex, e.g.
// "trace     12 ms  reply    adapter 10.77.1.1  from 10.77.1.10:30718  len 30  000000f7..."
std::string TraceLine(const TXportSearch::TTraceEvent& event);
