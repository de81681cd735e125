// The unicast pass of a search: the discovery query to every target address,
// for devices behind a router that no broadcast of ours reaches.
#include "search/uXPortSearch.h"

#include "base/uErrors.h"

#include <algorithm>
#include <thread>

bool TXportSearch::CollectUnicast(TDatagramLink& link, TLogSink* log,
                                  const std::function<void(const TReply&)>& onReply, int pass) {
    using Clock = std::chrono::steady_clock;
    const auto pace = std::chrono::microseconds(std::max(TargetPaceMicros, 0));
    std::set<std::string> macs;
    auto nextSend = Clock::now();
    // Replies arrive while the queries still go out; they are taken at once,
    // so that the receive queue never has to hold more than a pace's worth.
    for (const std::string& target : Targets) {
        if (Stopped(pass))
            return true;
        // At least one look per query, however busy the network: a flood
        // of repeats delays no query beyond its turn.
        std::string data;
        do {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(nextSend - Clock::now());
            std::string sender;
            data = ReceiveReply(link, static_cast<int>(std::max<long long>(left.count(), 0)),
                                sender, log, pass);
            if (!data.empty() && TakeReply({data, sender}, UnicastAdapter, log, onReply, macs))
                return true;
        } while (!data.empty() && Clock::now() < nextSend);
        std::this_thread::sleep_until(nextSend);
        link.Host = target;
        link.Port = XPortPort;
        try {
            link.SendToHost(XPortDiscoveryQuery);
            Trace(TTraceEvent::TKind::Sent, UnicastAdapter, target, XPortPort, XPortDiscoveryQuery);
        } catch (const Exception&) {
            // No route to it, or a refused address: this target has nothing
            // to say, the others may.
        }
        nextSend = std::max(nextSend + pace, Clock::now() - std::chrono::milliseconds(2));
    }
    CollectUntilQuiet(link, UnicastAdapter, log, onReply, pass, macs);
    return true;
}
