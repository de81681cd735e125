#pragma once
// The device search: broadcasts the discovery query on every adapter, collects
// and de-duplicates the replies, then asks each new device for firmware, type
// and description. Its entries, TXportPar, are decoded from the replies by
// device/uXPortReplies.h.

#include "device/uDeviceComm.h"
#include "device/uXPortReplies.h"
#include "search/uSearchTargets.h"
#include "search/uXPortTypeNames.h"
#include "utils/LogSink.h"

#include <array>
#include <atomic>
#include <chrono>
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
    // Distinct devices (MACs) one adapter pass lists at most: a /22 holds
    // 1022 hosts, far more than any real site puts on one segment. It also
    // ends the collection, so forged replies cannot stretch a search beyond
    // its bound (README, "How long a search can take").
    static constexpr int DefaultMaxEntriesPerAdapter = 1024;
    // Overlapped queries: at least this long between two requests of a pass,
    // so that the replies of many devices do not arrive as one burst.
    static constexpr int DefaultPaceMicros = 200;
    // Requests of a pass awaiting their reply at most; the window also never
    // exceeds what the granted receive queue holds at ~1 KiB per reply.
    static constexpr int DefaultMaxInFlight = 1024;
    static constexpr int QueuedReplyBytes = 1024;
    // Every queued reply costs the kernel a whole buffer (800 bytes or more
    // for a 30-byte datagram), so the usual queue of ~200 KiB holds only about
    // 250 replies that arrive before the search reads them. Below the minimum
    // the search logs that a burst may be lost.
    static constexpr int DefaultReceiveBufferSize = 4 * 1024 * 1024;
    static constexpr int MinReceiveBufferSize = 1024 * 1024;
    // Adapter passes running at the same time; more adapters wait for a slot.
    static constexpr int MaxParallelPasses = 64;
    // Discovery queries to the targets go out at most this often (1000 a
    // second, some 70 KB/s on the wire): a router and the segment behind it
    // are never flooded, and 4096 targets take about four seconds.
    static constexpr int DefaultTargetPaceMicros = 1000;
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
    // link with overlapped requests (uXPortSearchQuery.cpp). Devices and the
    // error raised are those of the adapter-after-adapter search on the same
    // network, except that a datagram of another sender no longer breaks an
    // exchange: a late discovery reply adds its device (see
    // uXPortSearchParallel.cpp). Log lines are written as their events happen.
    void Search();
    void SearchOnAdapter(const std::string& adapterAddress);

    int DeviceCount() const { return static_cast<int>(devices_.size()); }
    const TXportPar& Device(int i) const;
    const std::vector<TXportPar>& Devices() const { return devices_; }

    // Thread-safe: a running Search stops within one receive time-out and
    // returns normally with the devices found so far, with the details read
    // so far (an entry not read yet keeps "N/A"). It stays in force for the
    // rest of the engine's life.
    void Cancel() { cancelled_ = true; }
    bool Cancelled() const { return cancelled_; }

    // The wait a receive of this search really uses (ReadTimeout bounded).
    static int EffectiveReadTimeout(int readTimeout);

    // Whether a pass of the last Search reached MaxEntriesPerAdapter (and
    // ignored further devices).
    bool LimitReached() const { return limitReached_; }

    // Smallest receive queue granted to a link of the last Search (bytes as
    // the system reports them); 0 before any link was made.
    int GrantedReceiveBuffer() const { return granted_; }

    std::string SettingsFileName;
    int ReadTimeout = DefaultReadTimeout;
    // Addresses also asked by unicast (ExpandTargets), for devices behind a
    // router. With any, the search has one more pass, named UnicastAdapter,
    // after the adapters': it sends the discovery query to each target
    // (paced by TargetPaceMicros) from a link the system routes, collects
    // the replies as an adapter pass does and reads its new devices the same
    // way. Such a device is listed with the local adapter whose subnet holds
    // its address, else with UnicastAdapter. Empty: the search is the
    // broadcast search alone.
    std::vector<std::string> Targets;
    int TargetPaceMicros = DefaultTargetPaceMicros;
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

    // Results as they arrive. Every callback below (and OnProgress) is called
    // from the passes' threads, one call at a time (never two at once), and
    // must not call back into the engine except Cancel. Null: not called.
    //
    // OnDevice: an entry has been read, successfully or not (then its
    // details are "N/A" as in Devices). Called once per entry of this search,
    // in no fixed order across adapters. Devices() after Search is the final
    // list; a pass that is undone by an earlier adapter's error may have
    // reported entries that are not in it.
    std::function<void(const TXportPar&)> OnDevice;
    // OnStatus: the counts a progress display shows, after every change.
    struct TStatus {
        int AdaptersTotal = 0; // adapters of this search
        int AdaptersDone = 0;  // passes that have ended
        int DevicesHeard = 0;  // distinct devices heard so far (all adapters)
        int DevicesRead = 0;   // entries read so far (OnDevice calls)
    };
    std::function<void(const TStatus&)> OnStatus;
    // OnLimit: a pass reached MaxEntriesPerAdapter on this adapter.
    std::function<void(const std::string& adapter)> OnLimit;

    // Every datagram a pass sends or receives, for diagnostics. Null by
    // default (then nothing is recorded).
    struct TTraceEvent {
        enum class TKind { Sent, Reply, Repeat, Stray, Late, Skipped };
        long long Ms = 0; // since the search started
        TKind Kind = TKind::Sent;
        std::string Adapter; // the pass's adapter address
        std::string Peer;    // destination or sender ("" for a broadcast or junk)
        int Port = 0;
        std::size_t Length = 0;
        std::string Head; // up to the first 8 bytes
    };
    std::function<void(const TTraceEvent&)> OnTrace;
    // Seams: where adapter addresses and links come from. The link factory
    // is never called by two threads at once.
    std::function<std::vector<std::string>()> AdapterAddressProvider;
    // The local subnets that name a device found by unicast; read from the
    // adapter table when null (only when there are targets).
    std::function<std::vector<TLocalSubnet>()> LocalSubnetProvider;
    TDatagramLinkFactory LinkFactory;
    int MaxCollectMs = DefaultMaxCollectMs;
    int MaxEntriesPerAdapter = DefaultMaxEntriesPerAdapter;
    int PaceMicros = DefaultPaceMicros;
    int MaxInFlight = DefaultMaxInFlight;

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
    // (or a bound is hit: MaxCollectMs, or MaxEntriesPerAdapter distinct
    // MACs); false when the query could not be sent.
    bool CollectReplies(TDatagramLink& link, const std::string& adapter, TLogSink* log,
                        const std::function<void(const TReply&)>& onReply, int pass = 0);
    // Receives until one time-out passes in silence or a bound is hit.
    void CollectUntilQuiet(TDatagramLink& link, const std::string& adapter, TLogSink* log,
                           const std::function<void(const TReply&)>& onReply, int pass,
                           std::set<std::string>& macs);
    // Hands one received reply on; true when it reached MaxEntriesPerAdapter.
    bool TakeReply(const TReply& reply, const std::string& adapter, TLogSink* log,
                   const std::function<void(const TReply&)>& onReply, std::set<std::string>& macs);
    // The targets' counterpart of CollectReplies: the query to every target,
    // paced, receiving meanwhile, then until one time-out passes in silence.
    bool CollectUnicast(TDatagramLink& link, TLogSink* log,
                        const std::function<void(const TReply&)>& onReply, int pass);
    // CollectReplies or, for the unicast pass, CollectUnicast.
    bool Collect(TDatagramLink& link, const std::string& adapter, TLogSink* log,
                 const std::function<void(const TReply&)>& onReply, int pass = 0);
    // The log line that opens a pass.
    std::string PassLine(const std::string& adapter) const;
    // AdapterIP of a device a pass heard at ip.
    std::string EntryAdapter(const std::string& adapter, const std::string& ip) const;
    // Appends the reply's device unless its MAC is already listed; the index of
    // the new entry, or -1 for a repeat.
    int MergeReply(const std::string& adapterAddress, const TReply& reply);
    // Info (and where needed setup) exchange for one listed device.
    void QueryDevice(TDatagramLink& link, TXportPar& entry, TLogSink* log, int pass = 0);

    // The overlapped query phase of a pass: reads entries[first..] and any
    // device whose discovery reply arrives late (appended to entries).
    void QueryOverlapped(TDatagramLink& link, const std::string& adapter,
                         std::vector<TXportPar>& entries, TLogSink* log, int pass);
    // Marks a MAC listed by this search; false when it already was.
    bool List(const std::string& mac);
    void NoteLimit(const std::string& adapter, TLogSink* log);
    void Read(const TXportPar& entry);
    void AdapterDone();
    void Status(); // progressLock_ held
    void Trace(TTraceEvent::TKind kind, const std::string& adapter, const std::string& peer,
               int port, const std::string& data);

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
    std::vector<TLocalSubnet> localSubnets_; // read when a search has targets
    std::atomic<bool> cancelled_{false};
    // Index of the first pass (in adapter order) that raised; passes after it
    // stop, since the adapter-after-adapter search would never reach them.
    std::atomic<int> failedPass_{std::numeric_limits<int>::max()};
    std::atomic<int> granted_{0};
    std::mutex factoryLock_;
    std::mutex progressLock_;
    std::set<std::string> heard_;
    TStatus status_;
    std::atomic<bool> limitReached_{false};
    std::mutex listLock_;
    std::set<std::string> listed_; // MACs listed by the parallel search
    std::chrono::steady_clock::time_point start_;
    // The one sink every pass writes to, a line at a time: lines appear when
    // their events happen, and their time stamps never go backwards.
    class TLockedLog : public TLogSink {
    public:
        TLogSink* Target = nullptr;
        void WriteLine(std::uint8_t level, const std::string& text) override;
        void WriteLineMasked(std::uint8_t categories, std::uint8_t level,
                             const std::string& text) override;

    private:
        std::mutex lock_;
    };
    TLockedLog lockedLog_;
};

// "#%2.0d %s %s %s %s \"%s\"": the device list line of an entry.
std::string DeviceListLine(int index, const TXportPar& entry);
