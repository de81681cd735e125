#include "CliOutput.h"

#include <algorithm>
#include <array>
#include <cstdio>

std::string PrintableText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            out += '?';
        } else if (u >= 0x80) {
            // Latin-1 to UTF-8, as in the JSON form.
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            out += c;
        }
    }
    return out;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (u < 0x20 || u >= 0x7F) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04x", u);
                out += esc;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

namespace {

// Display width of a printable text (UTF-8 continuation bytes take no column).
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
        rows.push_back({PrintableText(d.IP), PrintableText(d.MAC), PrintableText(d.Firmware),
                        PrintableText(d.DeviceType), PrintableText(d.StatusChar),
                        PrintableText(d.AdapterIP), PrintableText(d.Description)});
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
