#include "search/uXPortSearch.h"

#include "base/uErrors.h"
#include "base/uIniFile.h"
#include "search/IPInfo.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <limits>
#include <system_error>
#include <thread>

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

void TXportSearch::ProgressHeard(const std::string& adapter, const std::string* mac) {
    if (!OnProgress)
        return;
    std::lock_guard<std::mutex> guard(progressLock_);
    if (mac && !heard_.insert(*mac).second)
        return;
    OnProgress(adapter, static_cast<int>(heard_.size()));
}

void TXportSearch::NoteFailure(int pass) {
    int current = failedPass_.load();
    while (pass < current && !failedPass_.compare_exchange_weak(current, pass)) {
    }
}

void TXportSearch::NoteGranted(int bytes) {
    int current = granted_.load();
    while ((current == 0 || bytes < current) && !granted_.compare_exchange_weak(current, bytes)) {
    }
}

void TXportSearch::Search() {
    LogLine(Log, LevelInfo, "--- SEARCHING... ---");
    failedPass_ = std::numeric_limits<int>::max();
    granted_ = 0;
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
        if (Sequential)
            SearchSequential(addresses);
        else
            SearchParallel(addresses);
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

void TXportSearch::SearchSequential(const std::vector<std::string>& addresses) {
    for (const std::string& address : addresses) {
        if (cancelled_)
            break;
        LogLine(Log, LevelInfo, "Sarching on adapter " + address);
        Progress(address);
        SearchOnAdapter(address);
    }
}

std::unique_ptr<TDatagramLink> TXportSearch::OpenLink(const std::string& adapterAddress,
                                                      TLogSink* log) {
    std::unique_ptr<TDatagramLink> link;
    {
        std::lock_guard<std::mutex> guard(factoryLock_);
        link = LinkFactory ? LinkFactory() : DefaultLinkFactory()();
    }
    if (!link)
        throw Exception("Cannot allocate socket.");
    if (!adapterAddress.empty())
        link->BindToAddress(adapterAddress);
    if (ReceiveBufferSize <= 0)
        return link; // the system's own queue
    const int granted = link->SetReceiveBufferSize(ReceiveBufferSize);
    NoteGranted(granted);
    if (granted < std::min(ReceiveBufferSize, MinReceiveBufferSize))
        LogLine(log, LevelError,
                "Receive buffer of " + std::to_string(granted) +
                    " bytes only: replies of many devices at once may be lost.");
    return link;
}

void TXportSearch::SearchOnAdapter(const std::string& adapterAddress) {
    std::unique_ptr<TDatagramLink> link = OpenLink(adapterAddress, Log);
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

// ---- parallel passes --------------------------------------------------------
//
// Why the result equals the adapter-after-adapter search: a pass sees only
// its own link, so what it collects and what its exchanges get does not
// depend on the other passes (on a network where timing does not decide the
// outcome). The only thing passes share is the de-duplication, and that is
// done in adapter order: pass i merges its replies once passes 0..i-1 have
// merged theirs, exactly as the sequential search would append them. Each
// pass then queries copies of its new entries, in list order, and the copies
// go back into Devices at the end. Log lines are kept per pass and written in
// adapter order.
//
// Errors: the sequential search raises the first error in adapter order and
// never reaches the adapters after it. So the first failing pass (by index,
// not by time) decides: passes after it stop as soon as they notice, their
// entries are removed again and their lines are not written; the failing
// pass keeps what it had merged (a receive error during the collection keeps
// the replies received before it, unqueried) and what it had decoded, and its
// error is raised after "--- SEARCH FINISHED ---". What cannot be undone is
// that later passes may already have sent their queries.

namespace {

// The lines of one pass, written to the real log in adapter order.
class TBufferedLog : public TLogSink {
public:
    void WriteLine(std::uint8_t level, const std::string& text) override {
        lines_.push_back({false, 0, level, text});
    }
    void WriteLineMasked(std::uint8_t categories, std::uint8_t level,
                         const std::string& text) override {
        lines_.push_back({true, categories, level, text});
    }
    void WriteTo(TLogSink& log) const {
        for (const TLine& l : lines_) {
            if (l.Masked)
                log.WriteLineMasked(l.Categories, l.Level, l.Text);
            else
                log.WriteLine(l.Level, l.Text);
        }
    }

private:
    struct TLine {
        bool Masked;
        std::uint8_t Categories;
        std::uint8_t Level;
        std::string Text;
    };
    std::vector<TLine> lines_;
};

} // namespace

struct TXportSearch::TParallelRun {
    struct TPass {
        std::string Adapter;
        TBufferedLog Lines;
        std::exception_ptr Error;
        std::vector<std::size_t> Indexes; // entries this pass appended
        std::vector<TXportPar> Entries;   // their copies, queried by the pass
        std::size_t ListSize = 0;         // size of Devices after this pass merged
    };
    std::vector<TPass> Passes;
    std::atomic<std::size_t> Next{0};
    std::mutex Lock;
    std::condition_variable Turn;
    std::size_t Merged = 0; // passes that have merged, guarded by Lock
};

void TXportSearch::SearchParallel(const std::vector<std::string>& addresses) {
    TParallelRun run;
    run.Passes.resize(addresses.size());
    for (std::size_t i = 0; i < addresses.size(); ++i)
        run.Passes[i].Adapter = addresses[i];
    {
        std::lock_guard<std::mutex> guard(progressLock_);
        heard_.clear();
        for (const TXportPar& d : devices_)
            heard_.insert(d.MAC);
    }

    auto work = [this, &run] {
        for (;;) {
            const std::size_t i = run.Next++;
            if (i >= run.Passes.size())
                return;
            RunPass(run, i);
        }
    };
    const std::size_t threads =
        std::min(addresses.size(), static_cast<std::size_t>(MaxParallelPasses));
    std::vector<std::thread> workers;
    try {
        for (std::size_t k = 0; k < threads; ++k)
            workers.emplace_back(work);
    } catch (const std::system_error&) {
        // The system refused more threads: those running take the rest.
    }
    if (workers.empty())
        work();
    for (std::thread& t : workers)
        t.join();

    std::size_t counted = run.Passes.size();
    std::exception_ptr error;
    const int failed = failedPass_;
    if (failed >= 0 && static_cast<std::size_t>(failed) < run.Passes.size()) {
        const auto& pass = run.Passes[static_cast<std::size_t>(failed)];
        error = pass.Error;
        counted = static_cast<std::size_t>(failed) + 1;
        devices_.erase(devices_.begin() + static_cast<std::ptrdiff_t>(pass.ListSize),
                       devices_.end());
    }
    for (std::size_t i = 0; i < counted; ++i) {
        auto& pass = run.Passes[i];
        for (std::size_t k = 0; k < std::min(pass.Indexes.size(), pass.Entries.size()); ++k)
            devices_[pass.Indexes[k]] = std::move(pass.Entries[k]);
        if (Log)
            pass.Lines.WriteTo(*Log);
    }
    if (error)
        std::rethrow_exception(error);
}

void TXportSearch::RunPass(TParallelRun& run, std::size_t index) {
    auto& pass = run.Passes[index];
    const int p = static_cast<int>(std::min<std::size_t>(index, std::numeric_limits<int>::max()));
    TLogSink* log = Log ? &pass.Lines : nullptr;
    std::unique_ptr<TDatagramLink> link;
    std::vector<TReply> replies;
    bool collected = false;
    // As in the sequential search, a cancelled search starts no more passes.
    if (!Stopped(p)) {
        try {
            LogLine(log, LevelInfo, "Sarching on adapter " + pass.Adapter);
            ProgressHeard(pass.Adapter, nullptr);
            link = OpenLink(pass.Adapter, log);
            collected = CollectReplies(
                *link, log,
                [&](const TReply& reply) {
                    replies.push_back(reply);
                    const std::string mac = DecodeMacText(reply.Data);
                    ProgressHeard(pass.Adapter, &mac);
                },
                p);
        } catch (...) {
            pass.Error = std::current_exception();
            collected = false;
            NoteFailure(p);
        }
    }

    // De-duplication in adapter order.
    {
        std::unique_lock<std::mutex> lock(run.Lock);
        run.Turn.wait(lock, [&] { return run.Merged == index; });
        if (p <= failedPass_) {
            try {
                for (const TReply& reply : replies) {
                    const int i = MergeReply(pass.Adapter, reply);
                    if (i >= 0) {
                        pass.Indexes.push_back(static_cast<std::size_t>(i));
                        pass.Entries.push_back(devices_[static_cast<std::size_t>(i)]);
                    }
                }
            } catch (...) {
                pass.Error = std::current_exception();
                collected = false;
                NoteFailure(p);
            }
            pass.ListSize = devices_.size();
        }
        // The next pass may merge now, whatever happened to this one.
        ++run.Merged;
    }
    run.Turn.notify_all();

    if (!collected)
        return;
    try {
        for (TXportPar& entry : pass.Entries) {
            if (Stopped(p))
                break;
            QueryDevice(*link, entry, log, p);
        }
    } catch (...) {
        pass.Error = std::current_exception();
        NoteFailure(p);
    }
}

bool TXportSearch::CollectReplies(TDatagramLink& link, TLogSink* log,
                                  const std::function<void(const TReply&)>& onReply, int pass) {
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
    while (!Stopped(pass)) {
        TReply reply;
        reply.Data = ReceiveReply(link, timeout, reply.Sender, log, pass);
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

std::string TXportSearch::ReceiveReply(TDatagramLink& link, int timeout, std::string& sender,
                                       TLogSink* log, int pass) {
    using Clock = std::chrono::steady_clock;
    // The wait the link gives this time-out; a skipped datagram does not
    // start it again, so junk can neither end a search nor stretch it.
    const int wait = timeout == -1 ? link.ReceiveTimeout : timeout;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(wait, 0));
    int next = timeout;
    for (int skipped = 0;; ++skipped) {
        int port = 0;
        try {
            return link.ReceiveDatagram(next, sender, port);
        } catch (const EDatagramError& e) {
            if (skipped < MaxLoggedSkips)
                LogLine(log, LevelError, e.Message());
        }
        sender.clear();
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || Stopped(pass))
            return {};
        next = static_cast<int>(left.count());
    }
}

std::optional<std::string> TXportSearch::Exchange(TDatagramLink& link, const std::string& host,
                                                  const std::string& request, std::string& sender,
                                                  TLogSink* log, int pass) {
    link.Host = host;
    link.Port = XPortPort;
    sender.clear();
    try {
        link.SendToHost(request);
    } catch (const Exception&) {
        // An address this computer cannot send to (another subnet with no
        // route to it, the subnet's broadcast address) is that device's
        // failure alone, like a device that does not answer.
        return std::nullopt;
    }
    const int timeout = EffectiveReadTimeout(ReadTimeout);
    std::string data;
    for (int attempt = 0; attempt < 3 && data.empty(); ++attempt) {
        if (attempt > 0 && Stopped(pass))
            break;
        data = ReceiveReply(link, timeout, sender, log, pass);
    }
    if (data.empty() || sender != host)
        return std::nullopt;
    return data;
}

void TXportSearch::QueryDevice(TDatagramLink& link, TXportPar& entry, TLogSink* log, int pass) {
    LogMasked(log, LevelInfo, "Reading from " + entry.IP);
    std::string sender;
    auto info = Exchange(link, entry.IP, XPortInfoRequest, sender, log, pass);
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
        if (Stopped(pass))
            return;
        auto setup = Exchange(link, entry.IP, XPortSetupRequest, sender, log, pass);
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
