// The adapter passes of a search side by side, each on a thread of its own.
#include "search/uXPortSearch.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <limits>
#include <system_error>
#include <thread>

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
