// The search engine: the search of every adapter, one adapter pass (collect,
// de-duplicate, query) and the exchanges with one device. The passes side by
// side are in uXPortSearchParallel.cpp, the settings in
// uXPortSearchSettings.cpp, the type names in uXPortTypeNames.cpp.
#include "search/uXPortSearch.h"

#include "base/uDeviceText.h"
#include "base/uErrors.h"
#include "search/IPInfo.h"
#include "search/uSearchTargets.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>

std::string DeviceListLine(int index, const TXportPar& e) {
    char number[16];
    std::snprintf(number, sizeof number, "#%2d ", index);
    // The texts a device or a settings file chose: shown, never a line break.
    return number + e.IP + " " + e.MAC + " " + e.Firmware + " " + VisibleText(e.DeviceType) +
           " \"" + VisibleText(e.Description) + "\"";
}

TXportSearch::TXportSearch() {
    SetDefaultTypeNames();
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
    std::lock_guard<std::mutex> guard(progressLock_);
    if (mac && !heard_.insert(*mac).second)
        return;
    status_.DevicesHeard = static_cast<int>(heard_.size());
    if (OnProgress)
        OnProgress(adapter, static_cast<int>(heard_.size()));
    if (mac)
        Status();
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

void TXportSearch::TLockedLog::WriteLine(std::uint8_t level, const std::string& text) {
    std::lock_guard<std::mutex> guard(lock_);
    Target->WriteLine(level, text);
}

void TXportSearch::TLockedLog::WriteLineMasked(std::uint8_t categories, std::uint8_t level,
                                               const std::string& text) {
    std::lock_guard<std::mutex> guard(lock_);
    Target->WriteLineMasked(categories, level, text);
}

void TXportSearch::Status() {
    if (OnStatus)
        OnStatus(status_);
}

void TXportSearch::Read(const TXportPar& entry) {
    std::lock_guard<std::mutex> guard(progressLock_);
    ++status_.DevicesRead;
    if (OnDevice)
        OnDevice(entry);
    Status();
}

void TXportSearch::AdapterDone() {
    std::lock_guard<std::mutex> guard(progressLock_);
    ++status_.AdaptersDone;
    Status();
}

void TXportSearch::NoteLimit(const std::string& adapter, TLogSink* log) {
    limitReached_ = true;
    LogLine(log, LevelError,
            "Device limit of " + std::to_string(MaxEntriesPerAdapter) + " reached on adapter " +
                adapter + ": further replies ignored.");
    std::lock_guard<std::mutex> guard(progressLock_);
    if (OnLimit)
        OnLimit(adapter);
}

void TXportSearch::Trace(TTraceEvent::TKind kind, const std::string& adapter,
                         const std::string& peer, int port, const std::string& data) {
    if (!OnTrace)
        return;
    TTraceEvent e;
    e.Ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start_)
               .count();
    e.Kind = kind;
    e.Adapter = adapter;
    e.Peer = peer;
    e.Port = port;
    e.Length = data.size();
    e.Head = data.substr(0, 8);
    std::lock_guard<std::mutex> guard(progressLock_);
    OnTrace(e);
}

void TXportSearch::Search() {
    LogLine(Log, LevelInfo, "--- SEARCHING... ---");
    failedPass_ = std::numeric_limits<int>::max();
    granted_ = 0;
    limitReached_ = false;
    start_ = std::chrono::steady_clock::now();
    {
        std::lock_guard<std::mutex> guard(progressLock_);
        status_ = TStatus{};
        heard_.clear();
        for (const TXportPar& d : devices_)
            heard_.insert(d.MAC);
    }
    std::vector<std::string> addresses;
    try {
        if (AdapterAddressProvider)
            addresses = AdapterAddressProvider();
        else
            GetAdapterAddresses(addresses);
        if (!Targets.empty()) {
            localSubnets_ = LocalSubnetProvider ? LocalSubnetProvider() : LocalSubnets(TIPInfo());
            addresses.push_back(UnicastAdapter);
        }
        status_.AdaptersTotal = static_cast<int>(addresses.size());
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
        LogLine(Log, LevelInfo, PassLine(address));
        Progress(address);
        SearchOnAdapter(address);
        AdapterDone();
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
    // The unicast pass's link is left to the system's routes.
    if (!adapterAddress.empty() && adapterAddress != UnicastAdapter)
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
    bool sent = Collect(*link, adapterAddress, Log, [&](const TReply& reply) {
        int index = MergeReply(adapterAddress, reply);
        if (index >= 0) {
            appended.push_back(index);
            Progress(adapterAddress);
            std::lock_guard<std::mutex> guard(progressLock_);
            status_.DevicesHeard = DeviceCount();
            Status();
        }
    });
    if (!sent)
        return;
    for (int index : appended) {
        if (cancelled_)
            break;
        QueryDevice(*link, devices_[static_cast<std::size_t>(index)], Log);
        Read(devices_[static_cast<std::size_t>(index)]);
    }
}

bool TXportSearch::CollectReplies(TDatagramLink& link, const std::string& adapter, TLogSink* log,
                                  const std::function<void(const TReply&)>& onReply, int pass) {
    try {
        link.SendBroadcast(XPortDiscoveryQuery, XPortPort);
    } catch (...) {
        // A pass whose query cannot leave the adapter simply finds nothing.
        return false;
    }
    Trace(TTraceEvent::TKind::Sent, adapter, "", XPortPort, XPortDiscoveryQuery);
    std::set<std::string> macs;
    CollectUntilQuiet(link, adapter, log, onReply, pass, macs);
    return true;
}

void TXportSearch::CollectUntilQuiet(TDatagramLink& link, const std::string& adapter, TLogSink* log,
                                     const std::function<void(const TReply&)>& onReply, int pass,
                                     std::set<std::string>& macs) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const int timeout = EffectiveReadTimeout(ReadTimeout);
    while (!Stopped(pass)) {
        TReply reply;
        reply.Data = ReceiveReply(link, timeout, reply.Sender, log, pass);
        if (reply.Data.empty() || TakeReply(reply, adapter, log, onReply, macs))
            break;
        auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        if (elapsed.count() >= MaxCollectMs) {
            LogLine(log, LevelError, "Collection stopped: the network did not go quiet.");
            break;
        }
    }
}

bool TXportSearch::TakeReply(const TReply& reply, const std::string& adapter, TLogSink* log,
                             const std::function<void(const TReply&)>& onReply,
                             std::set<std::string>& macs) {
    // Only a device not heard before counts towards the bound: a burst of
    // repeats cannot end the collection before a slower device answers.
    const bool fresh = macs.insert(DecodeMacText(reply.Data)).second;
    Trace(fresh ? TTraceEvent::TKind::Reply : TTraceEvent::TKind::Repeat, adapter, reply.Sender, 0,
          reply.Data);
    onReply(reply);
    if (fresh && static_cast<int>(macs.size()) >= MaxEntriesPerAdapter) {
        NoteLimit(adapter, log);
        return true;
    }
    return false;
}

std::string TXportSearch::PassLine(const std::string& adapter) const {
    if (adapter == UnicastAdapter)
        return "Searching by unicast: " + std::to_string(Targets.size()) + " target address" +
               (Targets.size() == 1 ? "" : "es");
    return "Sarching on adapter " + adapter;
}

std::string TXportSearch::EntryAdapter(const std::string& adapter, const std::string& ip) const {
    return adapter == UnicastAdapter ? AdapterForAddress(localSubnets_, ip) : adapter;
}

bool TXportSearch::Collect(TDatagramLink& link, const std::string& adapter, TLogSink* log,
                           const std::function<void(const TReply&)>& onReply, int pass) {
    if (adapter == UnicastAdapter)
        return CollectUnicast(link, log, onReply, pass);
    return CollectReplies(link, adapter, log, onReply, pass);
}

int TXportSearch::MergeReply(const std::string& adapterAddress, const TReply& reply) {
    TXportPar entry = NewDeviceEntry();
    entry.IP = reply.Sender;
    DecodeMac(entry, reply.Data);
    entry.AdapterIP = EntryAdapter(adapterAddress, reply.Sender);
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
    DecodeInfoReply(entry, *info,
                    [this](int kind, int model) { return LookupTypeName(kind, model); });
    std::string last = std::move(*info);
    std::size_t offset = XPortInfoDescriptionOffset;
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
        offset = XPortSetupDescriptionOffset;
    }
    DecodeDescription(entry, last, offset);
    DecodeStatusChar(entry, last);
}
