#pragma once
// The change record: one line per IP change attempted from the window or the
// command line, appended to a log file in the user's state folder, so that a
// technician can tell later which device got which address, when and how.

#include <string>

struct TIPChangeRecord {
    std::string MAC;
    std::string OldIP; // empty when unknown (a device that wasn't found)
    std::string NewIP; // 0.0.0.0 asks the device for DHCP
    bool ArpOnly = false;
    bool AllAdapters = false;
    std::string Adapter; // the adapter sent through (IP-SETUP way, one adapter)
    bool Done = false;   // the way was carried out
    std::string Message; // the engine's outcome
    std::string Cause;   // the engine's cause line, may be empty
};

// The record's text without time stamp and level marker, one line.
std::string ChangeRecordText(const TIPChangeRecord& record);

// $XDG_STATE_HOME/KavenLoggers/Quorvet/changes.log (Windows: the local
// application data folder); empty when the system names no state folder.
std::string DefaultChangeRecordFile();

// Appends the record as a time-stamped line ("[i]" when done, "[x]" when
// not), making the folder when missing. False when the line could not be
// written; the change itself is not affected.
bool AppendChangeRecord(const std::string& file, const TIPChangeRecord& record);
