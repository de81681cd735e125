#pragma once
// The device list as text for other programs: JSON for scripts, CSV for
// spreadsheets and site reports, tab-separated rows for the clipboard. The
// command-line tool and the search dialog write the same forms, with the
// same seven fields under the same names in the same order.

#include "device/uXPortReplies.h"

#include <string>
#include <vector>

// A JSON string literal of a device text read by the rule of
// base/uDeviceText.h (UTF-8 when valid, else Latin-1): exact, nothing
// replaced, and all ASCII: every character outside printable ASCII is
// escaped ("\n", "\u001b", "\u00fc", a surrogate pair beyond U+FFFF).
std::string JsonString(const std::string& text);

// An array of one object per device, texts kept exactly.
std::string DeviceJson(const std::vector<TXportPar>& devices);

// CSV after RFC 4180 for spreadsheets and site reports: a header row with the
// field names of the JSON, one row per device, CR LF line ends, every field
// quoted (inner quotes doubled), device texts in UTF-8 by the same rule and
// kept exactly (a line break stays inside its quoted field).
std::string DeviceCsv(const std::vector<TXportPar>& devices);

// Tab-separated rows for pasting into a spreadsheet or a mail: the header row
// of the CSV, one line per device, LF line ends. Nothing is quoted, so the
// texts are shown as in the list (control characters as symbols): a tab or a
// line break a device sends can neither split a field nor a row.
std::string DeviceTsv(const std::vector<TXportPar>& devices);
