// The overlapped query phase of an adapter pass: the info (and where needed
// setup) requests of the pass's devices go out without waiting for each
// reply, and every datagram is matched to its request by sender.
//
// The rules per device are those of the one-after-another search: one
// request, and the exchange fails when no reply of that device arrives
// within three receive waits of the send. What is different, on purpose: a
// datagram of another sender no longer breaks an exchange (it used to take
// the place of the awaited reply and turn the device's details into "N/A"),
// and a discovery reply that arrives now adds its device to the pass.
#include "search/uXPortSearch.h"

#include <algorithm>
#include <deque>
#include <map>
#include <optional>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// One request awaiting its reply. Entries that share an IP address (two
// devices with one address, forged MACs) share the exchange and its result,
// since replies are told apart by sender alone.
struct TExchange {
    std::vector<std::size_t> Entries;
    bool Setup = false;  // the setup request is the one awaited or due
    bool Sent = false;   // false: its request waits for its turn to be sent
    bool Looked = false; // a receive has been tried since the send
    Clock::time_point Deadline;
    TXportPar Result; // what the replies gave so far
    std::string Info; // the info reply, to know a repeat of it
};

constexpr auto MaxPaceBurst = std::chrono::milliseconds(2);

int CeilMs(Clock::duration d) {
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(d).count();
    return static_cast<int>(std::clamp<long long>(ms, 0, 24 * 3600 * 1000));
}

} // namespace

void TXportSearch::QueryOverlapped(TDatagramLink& link, const std::string& adapter,
                                   std::vector<TXportPar>& entries, TLogSink* log, int pass) {
    const int timeout = EffectiveReadTimeout(ReadTimeout);
    const int wait = std::max(timeout == -1 ? link.ReceiveTimeout : timeout, 0);
    // The three waits of one exchange, measured per device from its send.
    const auto exchangeTime = std::chrono::milliseconds(3LL * wait);
    // Requests through a router are paced like the targets' queries.
    const auto pace = std::chrono::microseconds(std::max(
        adapter == UnicastAdapter ? std::max(PaceMicros, TargetPaceMicros) : PaceMicros, 0));
    const auto typeName = [this](int kind, int model) { return LookupTypeName(kind, model); };
    std::size_t window = static_cast<std::size_t>(std::max(MaxInFlight, 1));
    const int granted = granted_;
    if (granted > 0)
        window =
            std::min(window, static_cast<std::size_t>(std::max(granted / QueuedReplyBytes, 1)));

    std::deque<std::size_t> queue; // entries whose info request is still to be sent
    for (std::size_t i = 0; i < entries.size(); ++i)
        queue.push_back(i);
    std::map<std::string, TExchange> open; // by the device's IP address
    std::deque<std::string> setupDue;      // exchanges whose setup request is to be sent
    // A late discovery reply is taken while a real device's answer can still
    // be on its way: for the three waits after the collection ended.
    // The search's idea of now: the clock, or the end of the last wait the
    // link reported as over if that is later (a link may answer a wait at
    // once; then the wait counts as passed all the same).
    Clock::time_point seen = Clock::now();
    const auto now = [&] { return seen = std::max(seen, Clock::now()); };
    const auto lateUntil = now() + exchangeTime;
    auto nextSend = Clock::now(); // pacing is in real time
    int skipped = 0;
    // End of the current receive wait; a skipped datagram does not start a
    // new one, so junk can neither end a wait nor stretch it.
    std::optional<Clock::time_point> waitEnd;

    auto finish = [&](std::map<std::string, TExchange>::iterator it, bool ok) {
        TExchange& x = it->second;
        for (std::size_t i : x.Entries) {
            TXportPar& e = entries[i];
            if (ok || x.Setup) {
                e.Firmware = x.Result.Firmware;
                e.DeviceType = x.Result.DeviceType;
            }
            if (ok) {
                e.Description = x.Result.Description;
                e.StatusChar = x.Result.StatusChar;
            } else {
                LogLine(log, LevelError,
                        "Operation interrupt. Reading from " + e.IP + " failed" +
                            (x.Setup ? " (setup E6)." : "."));
                // Another sender no longer breaks an exchange, so there is
                // never a different source to name.
                LogLine(log, LevelError, "Different responce source IP ().");
            }
            Read(e);
        }
        open.erase(it);
    };
    auto send = [&](TExchange& x, const std::string& ip) {
        link.Host = ip;
        link.Port = XPortPort;
        const std::string& request = x.Setup ? XPortSetupRequest : XPortInfoRequest;
        x.Sent = true;
        x.Looked = false;
        x.Deadline = now() + exchangeTime;
        try {
            link.SendToHost(request);
        } catch (const Exception&) {
            // An address this computer cannot send to is that device's
            // failure alone, like a device that does not answer.
            return false;
        }
        Trace(TTraceEvent::TKind::Sent, adapter, ip, XPortPort, request);
        return true;
    };
    auto sendNext = [&] {
        if (!setupDue.empty()) {
            const std::string ip = setupDue.front();
            setupDue.pop_front();
            auto it = open.find(ip);
            if (!send(it->second, ip))
                finish(it, false);
            return;
        }
        const std::size_t i = queue.front();
        queue.pop_front();
        const std::string ip = entries[i].IP;
        LogMasked(log, LevelInfo, "Reading from " + ip);
        auto it = open.find(ip);
        if (it != open.end()) {
            it->second.Entries.push_back(i); // served by the exchange under way
            return;
        }
        it = open.emplace(ip, TExchange{}).first;
        it->second.Entries.push_back(i);
        it->second.Result = entries[i];
        // Entries at the same address are served by this exchange: its
        // replies cannot be told apart from theirs.
        for (auto q = queue.begin(); q != queue.end();) {
            if (entries[*q].IP != ip) {
                ++q;
                continue;
            }
            LogMasked(log, LevelInfo, "Reading from " + ip);
            it->second.Entries.push_back(*q);
            q = queue.erase(q);
        }
        if (!send(it->second, ip))
            finish(it, false);
    };
    auto accept = [&](std::map<std::string, TExchange>::iterator it, const std::string& data) {
        TExchange& x = it->second;
        skipped = 0; // strays in between do not reopen the log to junk
        if (!x.Setup) {
            x.Info = data;
            DecodeInfoReply(x.Result, data, typeName);
            if (!HasDescriptionInInfoReply(x.Result.Firmware)) {
                x.Setup = true;
                x.Sent = false;
                setupDue.push_back(it->first);
                return;
            }
        }
        DecodeDescription(x.Result, data,
                          x.Setup ? XPortSetupDescriptionOffset : XPortInfoDescriptionOffset);
        DecodeStatusChar(x.Result, data);
        finish(it, true);
    };
    const auto full = [&] {
        return entries.size() >= static_cast<std::size_t>(std::max(MaxEntriesPerAdapter, 0));
    };
    auto lateDiscovery = [&](const std::string& data, const std::string& sender) {
        if (now() >= lateUntil || full())
            return false;
        TXportPar entry = NewDeviceEntry();
        entry.IP = sender;
        DecodeMac(entry, data);
        entry.AdapterIP = EntryAdapter(adapter, sender);
        if (!List(entry.MAC))
            return false;
        ProgressHeard(adapter, &entry.MAC);
        entries.push_back(std::move(entry));
        queue.push_back(entries.size() - 1);
        if (full())
            NoteLimit(adapter, log);
        return true;
    };
    auto handle = [&](const std::string& data, const std::string& sender, int port) {
        auto it = port == XPortPort ? open.find(sender) : open.end();
        if (it != open.end() && it->second.Sent) {
            if (data.size() == XPortDiscoveryReplySize ||
                (it->second.Setup && data == it->second.Info)) {
                // The device repeating its discovery answer or its info
                // reply: the awaited reply may still come.
                Trace(TTraceEvent::TKind::Repeat, adapter, sender, port, data);
                return;
            }
            Trace(TTraceEvent::TKind::Reply, adapter, sender, port, data);
            accept(it, data);
            return;
        }
        if (port == XPortPort && data.size() == XPortDiscoveryReplySize &&
            lateDiscovery(data, sender)) {
            Trace(TTraceEvent::TKind::Late, adapter, sender, port, data);
            return;
        }
        Trace(TTraceEvent::TKind::Stray, adapter, sender, port, data);
    };
    auto expire = [&](Clock::time_point now) {
        for (auto it = open.begin(); it != open.end();) {
            auto next = std::next(it);
            if (it->second.Sent && it->second.Looked && it->second.Deadline <= now)
                finish(it, false);
            it = next;
        }
    };

    auto loop = [&] {
        while (!Stopped(pass)) {
            expire(now());
            const bool work = !setupDue.empty() || (!queue.empty() && open.size() < window);
            if (work && Clock::now() >= nextSend) {
                sendNext();
                // Paced on average: a send that came late (a busy machine
                // sleeps longer than asked) is made up for by the next ones,
                // but never by more than a short burst.
                nextSend = std::max(nextSend + pace, Clock::now() - MaxPaceBurst);
                continue;
            }
            if (!work && open.empty())
                break;
            // Look only while a send is due soon; else wait for the earliest
            // deadline (every open exchange has been sent when nothing is
            // due), one receive time-out at most, so that a cancel is seen
            // as soon as in the one-after-another search.
            auto until = now();
            if (!work) {
                if (!waitEnd)
                    waitEnd = now() + std::chrono::milliseconds(wait);
                until = *waitEnd;
                for (const auto& [ip, x] : open)
                    if (x.Sent)
                        until = std::min(until, x.Deadline);
            }
            std::string sender;
            int port = 0;
            std::string data;
            try {
                data = link.ReceiveDatagram(CeilMs(until - now()), sender, port);
            } catch (const EDatagramError& e) {
                if (skipped++ < MaxLoggedSkips)
                    LogLine(log, LevelError, e.Message());
                Trace(TTraceEvent::TKind::Skipped, adapter, "", 0, {});
                for (auto& [ip, x] : open)
                    x.Looked = x.Looked || x.Sent;
                continue;
            }
            for (auto& [ip, x] : open)
                x.Looked = x.Looked || x.Sent;
            if (!data.empty()) {
                waitEnd.reset();
                handle(data, sender, port);
            } else if (work) {
                std::this_thread::sleep_until(nextSend);
            } else {
                // The link waited until `until`: what was due by then is over.
                seen = std::max(seen, until);
                waitEnd.reset();
                expire(now());
            }
        }
    };
    // Cancelled, stopped or failed: an entry whose info reply came keeps what
    // it gave, as in the one-after-another search.
    auto keepInfo = [&] {
        for (auto& [ip, x] : open)
            if (x.Setup)
                for (std::size_t i : x.Entries) {
                    entries[i].Firmware = x.Result.Firmware;
                    entries[i].DeviceType = x.Result.DeviceType;
                }
    };
    try {
        loop();
    } catch (...) {
        keepInfo();
        throw;
    }
    keepInfo();
}
