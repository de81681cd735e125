#include "search/uXPortSearch.h"

#include "search/IPInfo.h"
#include "utils/uErrors.h"
#include "utils/uIniFile.h"

#include <chrono>
#include <cstdio>
#include <limits>

namespace {

constexpr std::uint8_t LevelInfo = 1;
constexpr std::uint8_t LevelError = 2;
constexpr std::uint8_t CategorySearch = 16;

const char* const SectionConnection = "Connection";
const char* const SectionGlobalTypes = "GlobalTypes";

// Slots 5-61 are the "Sensor1xx" names; n is the slot minus 5.
constexpr int Sensor(int n) {
    return 5 + n;
}

struct TFirmware {
    int Kind;
    int Version; // byte83 * 65536 + byte84 * 256 + byte85
    bool KindDigitsOnly;
};

// Firmware text read back as kind and version; nullopt unless four numbers.
std::optional<TFirmware> ParseFirmware(const std::string& firmware) {
    std::string text = firmware;
    for (char& c : text)
        if (c == '.')
            c = '-';
    std::vector<std::string> parts;
    std::size_t pos = 0;
    for (;;) {
        std::size_t dash = text.find('-', pos);
        parts.push_back(text.substr(pos, dash == std::string::npos ? dash : dash - pos));
        if (dash == std::string::npos)
            break;
        pos = dash + 1;
    }
    if (parts.size() != 4)
        return std::nullopt;
    int v[4];
    for (int i = 0; i < 4; ++i) {
        auto n = StrToIntOpt(parts[static_cast<std::size_t>(i)]);
        if (!n)
            return std::nullopt;
        v[i] = ((*n % 256) + 256) % 256;
    }
    bool digits = !parts[0].empty();
    for (char c : parts[0])
        digits = digits && c >= '0' && c <= '9';
    return TFirmware{v[0], (v[1] << 16) | (v[2] << 8) | v[3], digits};
}

constexpr int Version(int a, int b, int c) {
    return (a << 16) | (b << 8) | c;
}

} // namespace

// ---- type names -------------------------------------------------------------

std::string TypeNameKey(int slot) {
    static const char* const QsKeys[] = {"QS100", "QS101", "QS102", "QS103"};
    if (slot == 0)
        return "Lan";
    if (slot >= 1 && slot <= 4)
        return QsKeys[slot - 1];
    if (slot >= 5 && slot < XPortTypeNameCount) {
        char key[16];
        std::snprintf(key, sizeof key, "Sensor1%02X", slot - 5);
        return key;
    }
    return {};
}

std::string DefaultTypeName(int slot) {
    // Our own short model designations: the QS line keeps its names, the
    // sensor line is numbered QT100 onwards in slot order.
    if (slot == 0)
        return "LAN Adapter";
    if (slot >= 1 && slot <= 4)
        return "QS10" + std::to_string(slot - 1);
    if (slot >= 5 && slot < XPortTypeNameCount)
        return "QT" + std::to_string(100 + slot - 5);
    return {};
}

int TypeNameSlot(int kind, int model) {
    switch (kind) {
    case 1:
        switch (model) {
        case 0:
            return Sensor(0x00);
        case 1:
            return Sensor(0x04);
        case 2:
            return Sensor(0x05);
        case 3:
            return Sensor(0x07);
        case 4:
            return Sensor(0x02);
        case 8:
            return Sensor(0x01);
        case 9:
            return Sensor(0x03);
        case 10:
            return Sensor(0x06);
        default:
            break;
        }
        if (model >= 11 && model <= 19)
            return Sensor(model); // 10B..113
        if (model >= 22 && model <= 29)
            return Sensor(model - 2); // 114..11B
        if (model >= 31 && model <= 33)
            return Sensor(model - 2); // 11D..11F
        if (model >= 34 && model <= 38)
            return Sensor(model); // 122..126
        if (model >= 43 && model <= 47)
            return Sensor(model + 9); // 134..138
        return -1;
    case 2:
        return 0;
    case 3:
        return 1;
    case 4:
        switch (model) {
        case 5:
            return Sensor(0x09);
        case 6:
            return Sensor(0x0A);
        case 7:
            return Sensor(0x08);
        case 20:
            return Sensor(0x20);
        case 21:
            return Sensor(0x21);
        default:
            break;
        }
        if (model >= 39 && model <= 42)
            return Sensor(model); // 127..12A
        return -1;
    case 5:
        return 2;
    case 6:
        return model == 6 ? 3 : 4;
    case 7:
        return model == 30 ? Sensor(0x1C) : -1;
    case 8:
        if (model >= 1 && model <= 9)
            return Sensor(model + 42); // 12B..133
        return -1;
    case 9:
        if (model >= 11 && model <= 19)
            return Sensor(model);
        switch (model) {
        case 22:
            return Sensor(0x14);
        case 23:
            return Sensor(0x15);
        case 28:
            return Sensor(0x1A);
        case 29:
            return Sensor(0x1B);
        default:
            return -1;
        }
    default:
        return -1;
    }
}

// ---- decoding ---------------------------------------------------------------

std::optional<int> StrToIntOpt(const std::string& text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return std::nullopt;
        value = value * base + d;
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
        return std::nullopt;
    return static_cast<int>(value);
}

int StrToIntDef(const std::string& text, int def) {
    return StrToIntOpt(text).value_or(def);
}

std::string FirmwareText(std::uint8_t kind, std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    char text[32];
    std::snprintf(text, sizeof text, "%u-%u-%u.%02u", unsigned{kind}, unsigned{a}, unsigned{b},
                  unsigned{c});
    return text;
}

bool HasDescriptionInInfoReply(const std::string& firmware) {
    auto fw = ParseFirmware(firmware);
    if (!fw)
        return true;
    switch (fw->Kind) {
    case 1:
        return fw->Version >= Version(4, 5, 0);
    case 2:
        return fw->Version >= Version(5, 2, 0);
    case 4:
        return fw->Version >= Version(4, 2, 0);
    case 3:
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
        return true;
    default:
        return false;
    }
}

std::string DecodeDescriptionText(const std::string& reply, std::size_t offset,
                                  const std::string& firmware) {
    constexpr std::size_t MaxDescription = 65;
    if (reply.size() != XPortInfoReplySize || offset >= reply.size())
        return {};
    std::size_t end = offset;
    while (end < reply.size() && end - offset < MaxDescription && reply[end] != '\0')
        ++end;
    std::string description = reply.substr(offset, end - offset);
    if (auto fw = ParseFirmware(firmware)) {
        if (fw->Kind == 3 || (fw->Kind == 5 && fw->Version <= Version(5, 1, 22)))
            description.clear();
    }
    return description;
}

std::string DecodeStatusCharText(const std::string& reply, const std::string& firmware) {
    if (reply.size() != XPortInfoReplySize)
        return {};
    auto fw = ParseFirmware(firmware);
    if (!fw || !fw->KindDigitsOnly || fw->Kind != 6)
        return {};
    return std::string(1, reply[81]);
}

std::string DecodeMacText(const std::string& reply) {
    if (reply.size() != XPortDiscoveryReplySize)
        return "N/A";
    std::string mac;
    for (std::size_t i = 24; i < 30; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(reply[i]));
        if (i > 24)
            mac += '-';
        mac += hex;
    }
    return mac;
}

std::string DeviceListLine(int index, const TXportPar& e) {
    char number[16];
    std::snprintf(number, sizeof number, "#%2d ", index);
    return number + e.IP + " " + e.MAC + " " + e.Firmware + " " + e.DeviceType + " \"" +
           e.Description + "\"";
}

// ---- engine -----------------------------------------------------------------

TXportSearch::TXportSearch() {
    SetDefaultTypeNames();
}

void TXportSearch::SetDefaultTypeNames() {
    for (int slot = 0; slot < XPortTypeNameCount; ++slot)
        TypeNames[static_cast<std::size_t>(slot)] = DefaultTypeName(slot);
}

void TXportSearch::LoadSettings(const std::string& fileName) {
    SettingsFileName = fileName;
    LoadTypeNames();
    LoadConnectionSettings();
}

void TXportSearch::LoadTypeNames() {
    auto ini = TIniFile::Load(SettingsFileName);
    if (!ini || !ini->HasSection(SectionGlobalTypes))
        return;
    for (int slot = 0; slot < XPortTypeNameCount; ++slot)
        TypeNames[static_cast<std::size_t>(slot)] =
            ini->ReadString(SectionGlobalTypes, TypeNameKey(slot), DefaultTypeName(slot));
}

void TXportSearch::LoadConnectionSettings() {
    auto ini = TIniFile::Load(SettingsFileName);
    if (!ini || !ini->HasSection(SectionConnection))
        return;
    int value =
        StrToIntDef(ini->ReadString(SectionConnection, "ReadTimeout", ""), DefaultReadTimeout);
    ReadTimeout = EffectiveReadTimeout(value);
}

int TXportSearch::EffectiveReadTimeout(int readTimeout) {
    if (readTimeout == -1 || readTimeout == 0)
        return readTimeout; // the link's own 3000 ms, or look without waiting
    if (readTimeout < 0)
        return DefaultReadTimeout;
    return readTimeout > MaxReadTimeout ? MaxReadTimeout : readTimeout;
}

std::string TXportSearch::LookupTypeName(int kind, int model) const {
    int slot = TypeNameSlot(kind, model);
    return slot < 0 ? "N/A" : TypeNames[static_cast<std::size_t>(slot)];
}

const TXportPar& TXportSearch::Device(int i) const {
    if (i < 0 || i >= DeviceCount())
        throw Exception("List index out of bounds (" + std::to_string(i) + ")");
    return devices_[static_cast<std::size_t>(i)];
}

void TXportSearch::LogLine(TLogSink* log, std::uint8_t level, const std::string& text) const {
    if (log)
        log->WriteLine(level, text);
}

void TXportSearch::LogMasked(TLogSink* log, std::uint8_t level, const std::string& text) const {
    if (log)
        log->WriteLineMasked(CategorySearch, level, text);
}

void TXportSearch::Progress(const std::string& adapter) {
    if (OnProgress)
        OnProgress(adapter, DeviceCount());
}

void TXportSearch::Search() {
    LogLine(Log, LevelInfo, "--- SEARCHING... ---");
    std::vector<std::string> addresses;
    try {
        if (AdapterAddressProvider)
            addresses = AdapterAddressProvider();
        else
            GetAdapterAddresses(addresses);
        if (addresses.empty()) {
            LogLine(Log, LevelInfo, "--- SEARCH FINISHED ---");
            return;
        }
        for (const std::string& address : addresses) {
            if (cancelled_)
                break;
            LogLine(Log, LevelInfo, "Sarching on adapter " + address);
            Progress(address);
            SearchOnAdapter(address);
        }
    } catch (...) {
        LogLine(Log, LevelInfo, "--- SEARCH FINISHED ---");
        throw;
    }
    LogLine(Log, LevelInfo, "--- SEARCH FINISHED ---");
    if (Log) {
        LogMasked(Log, LevelInfo, "--- DEVICE LIST ---");
        for (int i = 0; i < DeviceCount(); ++i)
            LogMasked(Log, LevelInfo, DeviceListLine(i, devices_[static_cast<std::size_t>(i)]));
        LogMasked(Log, LevelInfo, "--- ----------- ---");
    }
}

void TXportSearch::SearchOnAdapter(const std::string& adapterAddress) {
    std::unique_ptr<TDatagramLink> link = LinkFactory ? LinkFactory() : DefaultLinkFactory()();
    if (!adapterAddress.empty())
        link->BindToAddress(adapterAddress);
    std::vector<int> appended;
    bool sent = CollectReplies(*link, Log, [&](const TReply& reply) {
        int index = MergeReply(adapterAddress, reply);
        if (index >= 0) {
            appended.push_back(index);
            Progress(adapterAddress);
        }
    });
    if (!sent)
        return;
    for (int index : appended) {
        if (cancelled_)
            break;
        QueryDevice(*link, devices_[static_cast<std::size_t>(index)], Log);
    }
}

bool TXportSearch::CollectReplies(TDatagramLink& link, TLogSink* log,
                                  const std::function<void(const TReply&)>& onReply) {
    try {
        link.SendBroadcast(XPortDiscoveryQuery, XPortPort);
    } catch (...) {
        // A pass whose query cannot leave the adapter simply finds nothing.
        return false;
    }
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const int timeout = EffectiveReadTimeout(ReadTimeout);
    int count = 0;
    while (!cancelled_) {
        TReply reply;
        int port = 0;
        reply.Data = link.ReceiveDatagram(timeout, reply.Sender, port);
        if (reply.Data.empty())
            break;
        onReply(reply);
        ++count;
        auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        if (count >= MaxCollectDatagrams || elapsed.count() >= MaxCollectMs) {
            LogLine(log, LevelError, "Collection stopped: the network did not go quiet.");
            break;
        }
    }
    return true;
}

int TXportSearch::MergeReply(const std::string& adapterAddress, const TReply& reply) {
    TXportPar entry;
    entry.IP = reply.Sender;
    entry.MAC = DecodeMacText(reply.Data);
    entry.AdapterIP = adapterAddress;
    for (const TXportPar& known : devices_)
        if (known.MAC == entry.MAC)
            return -1;
    devices_.push_back(std::move(entry));
    return DeviceCount() - 1;
}

std::optional<std::string> TXportSearch::Exchange(TDatagramLink& link, const std::string& host,
                                                  const std::string& request, std::string& sender) {
    link.Host = host;
    link.Port = XPortPort;
    link.SendToHost(request);
    const int timeout = EffectiveReadTimeout(ReadTimeout);
    std::string data;
    sender.clear();
    for (int attempt = 0; attempt < 3 && data.empty(); ++attempt) {
        if (attempt > 0 && cancelled_)
            break;
        int port = 0;
        data = link.ReceiveDatagram(timeout, sender, port);
    }
    if (data.empty() || sender != host)
        return std::nullopt;
    return data;
}

void TXportSearch::QueryDevice(TDatagramLink& link, TXportPar& entry, TLogSink* log) {
    LogMasked(log, LevelInfo, "Reading from " + entry.IP);
    std::string sender;
    auto info = Exchange(link, entry.IP, XPortInfoRequest, sender);
    if (!info) {
        LogLine(log, LevelError, "Operation interrupt. Reading from " + entry.IP + " failed.");
        LogLine(log, LevelError, "Different responce source IP (" + sender + ").");
        return;
    }
    entry.Firmware = "N/A";
    entry.DeviceType = "N/A";
    if (info->size() == XPortInfoReplySize) {
        auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>((*info)[i]); };
        entry.Firmware = FirmwareText(byte(82), byte(83), byte(84), byte(85));
        entry.DeviceType = LookupTypeName(byte(82), byte(86));
    }
    std::string last = std::move(*info);
    std::size_t offset = 4;
    if (!HasDescriptionInInfoReply(entry.Firmware)) {
        if (cancelled_)
            return;
        auto setup = Exchange(link, entry.IP, XPortSetupRequest, sender);
        if (!setup) {
            LogLine(log, LevelError,
                    "Operation interrupt. Reading from " + entry.IP + " failed (setup E6).");
            LogLine(log, LevelError, "Different responce source IP (" + sender + ").");
            return;
        }
        last = std::move(*setup);
        offset = 36;
    }
    entry.Description = DecodeDescriptionText(last, offset, entry.Firmware);
    entry.StatusChar = DecodeStatusCharText(last, entry.Firmware);
}
