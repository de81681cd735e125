#include "CliOutput.h"

#include "base/uDeviceText.h"

#include <algorithm>
#include <array>
#include <cstdio>

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    const auto escape = [&out](char32_t unit) {
        char esc[16];
        std::snprintf(esc, sizeof esc, "\\u%04x", static_cast<unsigned>(unit));
        out += esc;
    };
    for (char32_t c : DecodeDeviceText(text)) {
        switch (c) {
        case U'"':
            out += "\\\"";
            break;
        case U'\\':
            out += "\\\\";
            break;
        case U'\n':
            out += "\\n";
            break;
        case U'\r':
            out += "\\r";
            break;
        case U'\t':
            out += "\\t";
            break;
        default:
            if (c >= 0x20 && c < 0x7F) {
                out += static_cast<char>(c);
            } else if (c < 0x10000) {
                escape(c);
            } else {
                // Beyond the 16-bit range JSON takes a surrogate pair.
                escape(0xD800 + ((c - 0x10000) >> 10));
                escape(0xDC00 + ((c - 0x10000) & 0x3FF));
            }
        }
    }
    return out + "\"";
}

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

std::string DeviceJson(const std::vector<TXportPar>& devices) {
    std::string out = "[";
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const TXportPar& d = devices[i];
        out += i ? ",\n  {" : "\n  {";
        out += "\"IP\": " + JsonString(d.IP);
        out += ", \"MAC\": " + JsonString(d.MAC);
        out += ", \"Firmware\": " + JsonString(d.Firmware);
        out += ", \"Description\": " + JsonString(d.Description);
        out += ", \"DeviceType\": " + JsonString(d.DeviceType);
        out += ", \"StatusChar\": " + JsonString(d.StatusChar);
        out += ", \"AdapterIP\": " + JsonString(d.AdapterIP);
        out += "}";
    }
    out += devices.empty() ? "]\n" : "\n]\n";
    return out;
}

std::string DeviceCsv(const std::vector<TXportPar>& devices) {
    const auto field = [](const std::string& bytes) {
        std::string text = "\"";
        for (const char c : DeviceTextToUtf8(bytes)) {
            if (c == '"')
                text += '"';
            text += c;
        }
        return text + "\"";
    };
    std::string out = "IP,MAC,Firmware,Description,DeviceType,StatusChar,AdapterIP\r\n";
    for (const TXportPar& d : devices) {
        out += field(d.IP) + "," + field(d.MAC) + "," + field(d.Firmware) + "," +
               field(d.Description) + "," + field(d.DeviceType) + "," + field(d.StatusChar) + "," +
               field(d.AdapterIP) + "\r\n";
    }
    return out;
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
