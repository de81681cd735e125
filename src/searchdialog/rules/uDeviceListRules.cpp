#include "searchdialog/rules/uDeviceListRules.h"

#include "utils/uUtilsConvert.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <vector>

namespace {

std::vector<std::string> Split(const std::string& text, char delimiter) {
    std::vector<std::string> parts;
    if (text.empty()) {
        return parts;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t pos = text.find(delimiter, start);
        if (pos == std::string::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, pos - start));
        start = pos + 1;
    }
}

using TNumberReading = std::optional<long long> (*)(std::string_view);

// <0, 0 or >0 for two numbers of one reading; nullopt when either text is
// not such a number.
std::optional<int> CompareNumbers(std::string_view x, std::string_view y, TNumberReading number) {
    const auto a = number(x);
    const auto b = number(y);
    if (!a || !b) {
        return std::nullopt;
    }
    return *a < *b ? -1 : (*a > *b ? 1 : 0);
}

// The text in front of the first "-": where the firmware text keeps the kind.
std::string KindPart(const std::string& firmware) {
    return firmware.substr(0, firmware.find('-'));
}

// The parts of a and b compared in order as numbers of the given reading;
// the first difference decides. Text comparison of the whole texts when the
// part counts differ from `count` or a part is not a number.
int ComparePartwise(const std::string& a, const std::string& b, char delimiter, std::size_t count,
                    TNumberReading number) {
    const auto pa = Split(a, delimiter);
    const auto pb = Split(b, delimiter);
    if (pa.size() != pb.size() || pa.size() != count) {
        return CompareText(a, b);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const auto order = CompareNumbers(pa[i], pb[i], number);
        // Not a number: compare as text rather than fail the whole sort.
        if (!order) {
            return CompareText(a, b);
        }
        if (*order != 0) {
            return *order;
        }
    }
    return 0;
}

} // namespace

int CompareIPAddress(const std::string& a, const std::string& b) {
    return ComparePartwise(a, b, '.', 4, ParseDecimal);
}

int CompareMACAddress(const std::string& a, const std::string& b) {
    return ComparePartwise(a, b, '-', 6, ParseHex);
}

int CompareFirmware(const std::string& a, const std::string& b) {
    const auto pa = Split(a, '-');
    const auto pb = Split(b, '-');
    // Numbers only when both texts have three parts: any other pair compares
    // as text, in either order alike.
    if (pa.size() != pb.size() || pa.size() != 3) {
        return CompareText(a, b);
    }
    for (std::size_t i = 0; i < pa.size(); ++i) {
        if (i + 1 < pa.size()) {
            const auto order = CompareNumbers(pa[i], pb[i], ParseDecimal);
            if (!order) {
                return CompareText(a, b);
            }
            if (*order != 0) {
                return *order;
            }
            continue;
        }
        // The last part is "number.number".
        const std::size_t da = pa[i].find('.');
        const std::size_t db = pb[i].find('.');
        if (da == std::string::npos || db == std::string::npos) {
            return CompareText(a, b);
        }
        const std::string_view x = pa[i];
        const std::string_view y = pb[i];
        const auto major = CompareNumbers(x.substr(0, da), y.substr(0, db), ParseDecimal);
        const auto minor = CompareNumbers(x.substr(da + 1), y.substr(db + 1), ParseDecimal);
        if (!major || !minor) {
            return CompareText(a, b);
        }
        return *major != 0 ? *major : *minor;
    }
    return 0;
}

std::optional<int> DeviceKindStrict(const std::string& firmware) {
    const auto kind = ParseDecimal(KindPart(firmware));
    if (!kind || *kind < INT_MIN || *kind > INT_MAX) {
        return std::nullopt;
    }
    return static_cast<int>(*kind);
}

int DeviceKindLenient(const std::string& firmware) {
    const std::string part = KindPart(firmware);
    if (part.empty() ||
        !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return 0;
    }
    // Digits only; a number too big for an int is simply a big kind.
    const auto kind = ParseDecimal(part);
    return (!kind || *kind > INT_MAX) ? INT_MAX : static_cast<int>(*kind);
}

bool IsRowActive(const std::string& firmware, const std::string& statusChar) {
    switch (DeviceKindLenient(firmware)) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 7:
    case 9:
        return true;
    case 6:
        // Kind 6 reports its state; only "0" is an active device.
        return statusChar == "0";
    default:
        return false;
    }
}

bool IsProductionAddress(const std::string& ip) {
    std::array<std::uint8_t, 4> bytes{};
    // Not a dotted quad: not an address we could have given in production.
    if (!IPToBytes(ip, bytes)) {
        return false;
    }
    const int last = bytes[3];
    return (last >= 50 && last <= 75) || (last >= 97 && last <= 99) ||
           (last >= 101 && last <= 206) || (last >= 220 && last <= 243);
}
