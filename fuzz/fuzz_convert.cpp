// The validators and converters of address and number texts, and the device
// list's comparisons. Input: up to three text lines a, b, c.
#include "FuzzSupport.h"
#include "base/uErrors.h"
#include "device/uXPortReplies.h"
#include "ipchange/uXPortIPChange.h"
#include "searchdialog/rules/uDeviceListRules.h"
#include "utils/uUtilsConvert.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <functional>

namespace {

void CheckAddress(const std::string& text) {
    std::array<std::uint8_t, 4> bytes{1, 2, 3, 4};
    const bool valid = IsValidIP(text);
    FUZZ_CHECK(IPToBytes(text, bytes) == valid);
    if (!valid) {
        FUZZ_CHECK((bytes == std::array<std::uint8_t, 4>{1, 2, 3, 4}));
        return;
    }
    // Every group is the number of its byte (leading zeros allowed).
    const std::vector<std::string> groups = FuzzLines(
        [&] {
            std::string lines = text;
            std::replace(lines.begin(), lines.end(), '.', '\n');
            return lines;
        }(),
        4);
    for (std::size_t i = 0; i < 4; ++i)
        FUZZ_CHECK(ParseDecimal(groups[i]) == bytes[i]);
    std::string raw;
    FUZZ_CHECK(BytesToStr(bytes.data(), 4, raw) == 4 && raw.size() == 4);
}

void CheckMac(const std::string& text) {
    const std::string hyphen = HyphenMac(text);
    FUZZ_CHECK(hyphen.empty() || IsValidMAC(hyphen));
    if (IsValidMAC(text)) {
        FUZZ_CHECK(hyphen.size() == 17);
        FUZZ_CHECK(TXPortIPChange::MacSuffix(text) == hyphen.substr(12, 2) + hyphen.substr(15, 2));
    }
}

void CheckHex(const std::string& text) {
    std::string out;
    try {
        HexStr2BinStr(text, out);
        FUZZ_CHECK(text.size() % 2 == 0 && out.size() == text.size() / 2);
        FUZZ_CHECK(ParseHex(text.substr(0, 2)) ==
                   (text.empty() ? std::nullopt
                                 : std::optional<long long>(static_cast<std::uint8_t>(out[0]))));
    } catch (const EConvertError&) {
        FUZZ_CHECK(out.size() < text.size() / 2);
    } catch (const Exception&) {
        FUZZ_CHECK(text.size() % 2 == 1); // the length error
    }
}

void CheckNumbers(const std::string& text) {
    const auto decimal = ParseDecimal(text);
    const auto setting = StrToIntOpt(text);
    FUZZ_CHECK(StrToIntDef(text, 12345) == setting.value_or(12345));
    if (decimal && *decimal >= INT_MIN && *decimal <= INT_MAX)
        FUZZ_CHECK(setting == static_cast<int>(*decimal));
    if (decimal)
        FUZZ_CHECK(ParseDecimal(std::to_string(*decimal)) == decimal);
    if (const auto hex = ParseHex(text); hex && *hex <= INT_MAX)
        FUZZ_CHECK(StrToIntOpt("0x" + text) == static_cast<int>(*hex) &&
                   StrToIntOpt("$" + text) == static_cast<int>(*hex));
}

// On any texts a comparison is reflexive and antisymmetric.
void CheckSymmetry(const std::function<int(const std::string&, const std::string&)>& compare,
                   const std::vector<std::string>& texts) {
    for (const std::string& a : texts) {
        FUZZ_CHECK(compare(a, a) == 0);
        for (const std::string& b : texts)
            FUZZ_CHECK(FuzzSign(compare(a, b)) == -FuzzSign(compare(b, a)));
    }
}

// On the texts of a column (what the decoders and the engine write, and
// "N/A") it is also transitive, so that a sort of the list stays within it
// and ends sorted.
void CheckSort(const std::function<int(const std::string&, const std::string&)>& compare,
               std::vector<std::string> column) {
    CheckSymmetry(compare, column);
    for (const std::string& a : column)
        for (const std::string& b : column)
            for (const std::string& c : column)
                if (compare(a, b) <= 0 && compare(b, c) <= 0)
                    FUZZ_CHECK(compare(a, c) <= 0);
    const auto less = [&](const std::string& a, const std::string& b) { return compare(a, b) < 0; };
    column.insert(column.end(), column.begin(), column.end());
    std::sort(column.begin(), column.end(), less);
    FUZZ_CHECK(std::is_sorted(column.begin(), column.end(), less));
}

// Column texts made of the input's bytes: addresses, MACs, firmware texts.
void CheckColumns(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> ips{"N/A"}, macs{"N/A"}, firmware{"N/A"};
    for (std::size_t pos = 0; pos + 6 <= size && ips.size() < 5; pos += 6) {
        const std::uint8_t* b = data + pos;
        char text[32];
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
        ips.emplace_back(text);
        std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", b[0], b[1], b[2], b[3],
                      b[4], b[5]);
        macs.emplace_back(text);
        firmware.push_back(FirmwareText(b[0], b[1], b[2], b[3]));
    }
    CheckSort(CompareIPAddress, ips);
    CheckSort(CompareMACAddress, macs);
    CheckSort(CompareFirmware, firmware);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> texts = FuzzLines(FuzzText(data, size), 3);
    for (const std::string& text : texts) {
        CheckAddress(text);
        CheckMac(text);
        CheckHex(text);
        CheckNumbers(text);
        DeviceKindStrict(text);
        DeviceKindLenient(text);
        IsProductionAddress(text);
        IsRowActive(text, texts[1]);
    }
    CheckSymmetry(CompareIPAddress, texts);
    CheckSymmetry(CompareMACAddress, texts);
    CheckSymmetry(CompareFirmware, texts);
    CheckColumns(data, size);
    return 0;
}
