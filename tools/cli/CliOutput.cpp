#include "CliOutput.h"

#include "base/uDeviceText.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

// Display width of a visible text (UTF-8 continuation bytes take no column).
std::size_t Width(const std::string& s) {
    return static_cast<std::size_t>(
        std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

} // namespace

std::string DeviceTable(const std::vector<TXportPar>& devices) {
    constexpr std::size_t Columns = 7;
    const std::array<std::string, Columns> header = {"IP",     "MAC",     "Firmware",   "Type",
                                                     "Status", "Adapter", "Description"};
    std::vector<std::array<std::string, Columns>> rows;
    rows.push_back(header);
    for (const TXportPar& d : devices)
        rows.push_back({VisibleText(d.IP), VisibleText(d.MAC), VisibleText(d.Firmware),
                        VisibleText(d.DeviceType), VisibleText(d.StatusChar),
                        VisibleText(d.AdapterIP), VisibleText(d.Description)});
    std::array<std::size_t, Columns> width{};
    for (const auto& row : rows)
        for (std::size_t c = 0; c < Columns; ++c)
            width[c] = std::max(width[c], Width(row[c]));
    std::string out;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < Columns; ++c) {
            line += row[c];
            if (c + 1 < Columns)
                line += std::string(width[c] - Width(row[c]) + 2, ' ');
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        out += line + "\n";
    }
    char count[64];
    std::snprintf(count, sizeof count, "%zu device(s) found.\n", devices.size());
    return out + count;
}

std::string TraceLine(const TXportSearch::TTraceEvent& e) {
    using TKind = TXportSearch::TTraceEvent::TKind;
    const char* kind = "?";
    switch (e.Kind) {
    case TKind::Sent:
        kind = "sent";
        break;
    case TKind::Reply:
        kind = "reply";
        break;
    case TKind::Repeat:
        kind = "repeat";
        break;
    case TKind::Stray:
        kind = "stray";
        break;
    case TKind::Late:
        kind = "late";
        break;
    case TKind::Skipped:
        kind = "skipped";
        break;
    }
    char head[32];
    std::snprintf(head, sizeof head, "trace %6lld ms", e.Ms);
    std::string line = head;
    line += "  ";
    line += kind;
    line.append(line.size() < 30 ? 30 - line.size() : 1, ' ');
    line += "adapter " + e.Adapter + "  ";
    line += e.Kind == TKind::Sent ? "to " : "from ";
    if (!e.Peer.empty()) // the port when the link told it
        line += e.Peer + (e.Port > 0 ? ":" + std::to_string(e.Port) : std::string());
    else // a broadcast, or a datagram the link could not take
        line += e.Kind == TKind::Sent ? "broadcast:" + std::to_string(e.Port) : std::string("-");
    line += "  len " + std::to_string(e.Length) + "  ";
    static const char* const digits = "0123456789abcdef";
    for (const char c : e.Head) {
        const auto b = static_cast<unsigned char>(c);
        line += digits[b >> 4];
        line += digits[b & 15];
    }
    if (e.Length > e.Head.size())
        line += "...";
    return line;
}
