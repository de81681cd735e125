#include "ipchange/uXPortIPChangeRecord.h"

#include "platform/ShellFolders.h"
#include "utils/KavenLog.h"

#include <filesystem>
#include <system_error>

namespace {

std::string OrDash(const std::string& text) {
    return text.empty() ? std::string("-") : text;
}

// Message and cause are engine texts; a line break in one would split the
// record, so every control character becomes a blank.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == '\x7f')
            c = ' ';
    }
    return text;
}

} // namespace

std::string ChangeRecordText(const TIPChangeRecord& r) {
    std::string newIP = OrDash(r.NewIP);
    if (r.NewIP == "0.0.0.0" && !r.ArpOnly)
        newIP += " (DHCP)";
    const std::string way = r.ArpOnly ? "ARP table" : "IP-SETUP";
    const std::string adapter = r.ArpOnly       ? std::string("-")
                                : r.AllAdapters ? std::string("all adapters")
                                                : OrDash(r.Adapter);
    std::string outcome = OneLine(r.Message);
    if (!r.Cause.empty())
        outcome += " (" + OneLine(r.Cause) + ")";
    return "IP change: MAC " + OrDash(r.MAC) + ", " + OrDash(r.OldIP) + " -> " + newIP + ", way " +
           way + ", adapter " + adapter + ", " + (r.Done ? "done" : "failed") + ": " + outcome;
}

std::string DefaultChangeRecordFile() {
    const std::string state = platform::UserStateFolder();
    if (state.empty())
        return {};
    const char d = platform::PathDelimiter();
    return state + d + "KavenLoggers" + d + "Quorvet" + d + "changes.log";
}

bool AppendChangeRecord(const std::string& file, const TIPChangeRecord& record) {
    if (file.empty())
        return false;
    const std::filesystem::path path(file);
    std::error_code ec;
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path(), ec);
    TEventLog log(file);
    log.WriteLine(record.Done ? 1 : 2, ChangeRecordText(record));
    return log.LostLines() == 0;
}
