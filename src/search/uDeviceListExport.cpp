#include "search/uDeviceListExport.h"

#include "base/uDeviceText.h"

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

std::string DeviceTsv(const std::vector<TXportPar>& devices) {
    std::string out = "IP\tMAC\tFirmware\tDescription\tDeviceType\tStatusChar\tAdapterIP\n";
    for (const TXportPar& d : devices) {
        out += VisibleText(d.IP) + "\t" + VisibleText(d.MAC) + "\t" + VisibleText(d.Firmware) +
               "\t" + VisibleText(d.Description) + "\t" + VisibleText(d.DeviceType) + "\t" +
               VisibleText(d.StatusChar) + "\t" + VisibleText(d.AdapterIP) + "\n";
    }
    return out;
}
