// The adapter passes of a search side by side, each on a thread of its own.
#include "search/uXPortSearch.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <limits>
#include <system_error>
#include <thread>

// What the passes share is the de-duplication, and that is done in adapter
// order: pass i merges its replies once passes 0..i-1 have merged theirs,
// exactly as the adapter-after-adapter search would append them, so a device
// heard on two adapters is listed once, with the first. Each pass then reads
// its new entries on its own link with overlapped requests
// (uXPortSearchQuery.cpp); a device whose discovery reply arrives during that
// phase is appended to the pass (once, by MAC, across passes) and read too.
// Devices is built at the end: the entries of each pass in adapter order.
//
// The log is written as things happen, through one lock: lines of passes
// running side by side interleave in time order (each names its adapter or
// device), and an interrupted search leaves what happened.
//
// Errors: the sequential search raises the first error in adapter order and
// never reaches the adapters after it. So the first failing pass (by index,
// not by time) decides: passes after it stop as soon as they notice and their
// entries are removed; the failing pass keeps what it had merged (a receive
// error during the collection keeps the replies received before it, unread)
// and what it had read, and its error is raised after "--- SEARCH FINISHED
// ---". What cannot be undone is that later passes may already have sent
// their queries and written their lines.

struct TXportSearch::TParallelRun {
    struct TPass {
        std::string Adapter;
        std::exception_ptr Error;
        std::vector<TXportPar> Entries; // merged, then late ones
    };
    std::vector<TPass> Passes;
    std::atomic<std::size_t> Next{0};
    std::mutex Lock;
    std::condition_variable Turn;
    std::size_t Merged = 0; // passes that have merged, guarded by Lock
};

bool TXportSearch::List(const std::string& mac) {
    std::lock_guard<std::mutex> guard(listLock_);
    return listed_.insert(mac).second;
}

void TXportSearch::SearchParallel(const std::vector<std::string>& addresses) {
    TParallelRun run;
    run.Passes.resize(addresses.size());
    for (std::size_t i = 0; i < addresses.size(); ++i)
        run.Passes[i].Adapter = addresses[i];
    {
        std::lock_guard<std::mutex> guard(listLock_);
        listed_.clear();
        for (const TXportPar& d : devices_)
            listed_.insert(d.MAC);
    }
    lockedLog_.Target = Log;

    auto work = [this, &run] {
        for (;;) {
            const std::size_t i = run.Next++;
            if (i >= run.Passes.size())
                return;
            RunPass(run, i);
            AdapterDone();
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
        error = run.Passes[static_cast<std::size_t>(failed)].Error;
        counted = static_cast<std::size_t>(failed) + 1;
    }
    for (std::size_t i = 0; i < counted; ++i)
        for (TXportPar& entry : run.Passes[i].Entries)
            devices_.push_back(std::move(entry));
    if (error)
        std::rethrow_exception(error);
}

void TXportSearch::RunPass(TParallelRun& run, std::size_t index) {
    auto& pass = run.Passes[index];
    const int p = static_cast<int>(std::min<std::size_t>(index, std::numeric_limits<int>::max()));
    TLogSink* log = Log ? &lockedLog_ : nullptr;
    std::unique_ptr<TDatagramLink> link;
    std::vector<TReply> replies;
    bool collected = false;
    // As in the sequential search, a cancelled search starts no more passes.
    if (!Stopped(p)) {
        try {
            LogLine(log, LevelInfo, PassLine(pass.Adapter));
            ProgressHeard(pass.Adapter, nullptr);
            link = OpenLink(pass.Adapter, log);
            collected = Collect(
                *link, pass.Adapter, log,
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
                    TXportPar entry = NewDeviceEntry();
                    entry.IP = reply.Sender;
                    DecodeMac(entry, reply.Data);
                    entry.AdapterIP = EntryAdapter(pass.Adapter, entry.IP);
                    if (List(entry.MAC))
                        pass.Entries.push_back(std::move(entry));
                }
            } catch (...) {
                pass.Error = std::current_exception();
                collected = false;
                NoteFailure(p);
            }
        }
        // The next pass may merge now, whatever happened to this one.
        ++run.Merged;
    }
    run.Turn.notify_all();

    if (!collected)
        return;
    try {
        QueryOverlapped(*link, pass.Adapter, pass.Entries, log, p);
    } catch (...) {
        pass.Error = std::current_exception();
        NoteFailure(p);
    }
}
