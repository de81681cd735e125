#pragma once
// The device search: broadcasts the discovery query on every adapter, collects
// and de-duplicates the replies, then asks each new device for firmware, type
// and description. Its entries, TXportPar, are decoded from the replies by
// device/uXPortReplies.h.

#include "device/uDeviceComm.h"
#include "device/uXPortReplies.h"
#include "search/uXPortTypeNames.h"
#include "utils/LogSink.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

class TXportSearch {
public:
    // ReadTimeout bounds: the collection only ends when a receive times out,
    // so no value may wait without limit. -1 keeps the link's 3000 ms.
    static constexpr int DefaultReadTimeout = 1000;
    static constexpr int MaxReadTimeout = 60000;
    // A network that never goes quiet must not make the collection endless.
    // Normal use sees a few dozen replies within a few seconds.
    static constexpr int DefaultMaxCollectMs = 30000;
    static constexpr int DefaultMaxCollectDatagrams = 4096;
    // Every queued reply costs the kernel a whole buffer (800 bytes or more
    // for a 30-byte datagram), so the usual queue of ~200 KiB holds only about
    // 250 replies that arrive before the search reads them. Below the minimum
    // the search logs that a burst may be lost.
    static constexpr int DefaultReceiveBufferSize = 4 * 1024 * 1024;
    static constexpr int MinReceiveBufferSize = 1024 * 1024;
    // Adapter passes running at the same time; more adapters wait for a slot.
    static constexpr int MaxParallelPasses = 64;
    // Skipped datagrams logged per receive: a flood of junk must not flood
    // the log (the rest are skipped silently).
    static constexpr int MaxLoggedSkips = 10;

    TXportSearch();

    void LoadSettings(const std::string& fileName);
    void LoadTypeNames();
    void LoadConnectionSettings();
    void SetDefaultTypeNames();
    std::string LookupTypeName(int kind, int model) const;

    // Parallel unless Sequential is set: every adapter pass broadcasts and
    // collects at the same time on its own link, the replies are merged in
    // adapter order, and each adapter's new devices are queried on its own
    // link. Devices, log lines and the error raised are those of the
    // adapter-after-adapter search on the same network (see
    // uXPortSearchParallel.cpp).
    void Search();
    void SearchOnAdapter(const std::string& adapterAddress);

    int DeviceCount() const { return static_cast<int>(devices_.size()); }
    const TXportPar& Device(int i) const;
    const std::vector<TXportPar>& Devices() const { return devices_; }

    // Thread-safe: a running Search stops within one receive time-out and
    // returns normally with the devices found so far. It stays in force for
    // the rest of the engine's life.
    void Cancel() { cancelled_ = true; }
    bool Cancelled() const { return cancelled_; }

    // The wait a receive of this search really uses (ReadTimeout bounded).
    static int EffectiveReadTimeout(int readTimeout);

    // Smallest receive queue granted to a link of the last Search (bytes as
    // the system reports them); 0 before any link was made.
    int GrantedReceiveBuffer() const { return granted_; }

    std::string SettingsFileName;
    int ReadTimeout = DefaultReadTimeout;
    TLogSink* Log = nullptr;
    std::array<std::string, XPortTypeNameCount> TypeNames;
    // The adapter-after-adapter search, kept for comparison and diagnosis.
    bool Sequential = false;
    // Receive queue asked for on every link of the search; 0 leaves the
    // system's own.
    int ReceiveBufferSize = DefaultReceiveBufferSize;

    // Called before each adapter pass and whenever a device is heard for the
    // first time, with the number of devices heard so far. In the parallel
    // search it comes from the passes' threads, one call at a time.
    std::function<void(const std::string& adapter, int devicesFound)> OnProgress;
    // Seams: where adapter addresses and links come from. The link factory
    // is never called by two threads at once.
    std::function<std::vector<std::string>()> AdapterAddressProvider;
    TDatagramLinkFactory LinkFactory;
    int MaxCollectMs = DefaultMaxCollectMs;
    int MaxCollectDatagrams = DefaultMaxCollectDatagrams;

private:
    static constexpr std::uint8_t LevelInfo = 1;
    static constexpr std::uint8_t LevelError = 2;
    static constexpr std::uint8_t CategorySearch = 16;

    struct TParallelRun;

    // The steps of one adapter pass. `pass` is the adapter's index in the
    // search; it tells a pass whose results can no longer count to stop.
    struct TReply {
        std::string Data;
        std::string Sender;
    };
    // Broadcasts the query and receives until one time-out passes in silence
    // (or a bound is hit); false when the query could not be sent.
    bool CollectReplies(TDatagramLink& link, TLogSink* log,
                        const std::function<void(const TReply&)>& onReply, int pass = 0);
    // Appends the reply's device unless its MAC is already listed; the index of
    // the new entry, or -1 for a repeat.
    int MergeReply(const std::string& adapterAddress, const TReply& reply);
    // Info (and where needed setup) exchange for one listed device.
    void QueryDevice(TDatagramLink& link, TXportPar& entry, TLogSink* log, int pass = 0);

    void SearchSequential(const std::vector<std::string>& addresses);
    void SearchParallel(const std::vector<std::string>& addresses);
    void RunPass(TParallelRun& run, std::size_t index);
    void NoteFailure(int pass);
    void NoteGranted(int bytes);
    // A new link for an adapter, bound and with its receive queue sized.
    std::unique_ptr<TDatagramLink> OpenLink(const std::string& adapterAddress, TLogSink* log);
    // Request, up to three receives, sender check. The accepted datagram, or
    // nullopt with the sender of the last receive (empty when the request
    // could not be sent).
    std::optional<std::string> Exchange(TDatagramLink& link, const std::string& host,
                                        const std::string& request, std::string& sender,
                                        TLogSink* log, int pass);
    // One receive of the search: a datagram that can be a reply, or empty
    // once `timeout` has passed. Datagrams the link refuses are logged and
    // skipped within the same wait.
    std::string ReceiveReply(TDatagramLink& link, int timeout, std::string& sender, TLogSink* log,
                             int pass);
    bool Stopped(int pass) const { return cancelled_ || pass > failedPass_; }
    void LogLine(TLogSink* log, std::uint8_t level, const std::string& text) const;
    void LogMasked(TLogSink* log, std::uint8_t level, const std::string& text) const;
    void Progress(const std::string& adapter);
    // Parallel progress: counts a MAC the first time any pass hears it.
    void ProgressHeard(const std::string& adapter, const std::string* mac);

    std::vector<TXportPar> devices_;
    std::atomic<bool> cancelled_{false};
    // Index of the first pass (in adapter order) that raised; passes after it
    // stop, since the adapter-after-adapter search would never reach them.
    std::atomic<int> failedPass_{std::numeric_limits<int>::max()};
    std::atomic<int> granted_{0};
    std::mutex factoryLock_;
    std::mutex progressLock_;
    std::set<std::string> heard_;
};

// "#%2.0d %s %s %s %s \"%s\"": the device list line of an entry.
std::string DeviceListLine(int index, const TXportPar& entry);
