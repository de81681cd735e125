#pragma once
// A window's job on a worker thread: the work runs in a thread pool while the
// window keeps painting; what the work reports on the way and its outcome
// come back on the window's (UI) thread, in the order given.
//
// The window owns the task (a member). Cancel and the task's destruction
// return at once: they raise the cancel flag, call the job's own cancel and
// drop whatever the work still delivers; the work finishes on its worker and
// frees what it holds there. When the application object goes, it waits for
// every work still running, so that no thread outlives the program.

#include <QFutureWatcher>
#include <QObject>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <variant>

class QThreadPool;

namespace worker_detail {
// The pool the works run in, apart from Qt's global one: a work left to end
// after its window let go of it (a search within its receive time-out) must
// not hold up a new one, nor anything else of the application.
QThreadPool& Pool();
// The text of the exception being handled: what() or "Unknown error".
std::string CurrentErrorText();
} // namespace worker_detail

// What the work gets on its worker.
template <typename P> class TWorkerControl {
public:
    // Raised by Cancel (or the task's end); a work that can stop early polls it.
    virtual bool Cancelled() const = 0;
    // Hands an intermediate result to the UI thread; from any thread. After a
    // Cancel it goes nowhere.
    virtual void Report(P value) = 0;

protected:
    ~TWorkerControl() = default;
};

// R: what the work returns; P: what it reports on the way (std::monostate for
// nothing).
template <typename R, typename P = std::monostate> class TWorkerTask {
public:
    using TControl = TWorkerControl<P>;
    using TWork = std::function<R(TControl&)>;
    // Value when the work returned, else the text of what it threw.
    struct TOutcome {
        std::optional<R> Value;
        std::string Error;
    };
    // Called on the UI thread; none of them after Cancel. Any may be left out.
    struct THandlers {
        std::function<void(P)> OnReport = {};
        std::function<void(TOutcome)> OnDone = {};
        // Called by Cancel, for a job with a stop of its own (it must be safe
        // against the running work).
        std::function<void()> OnCancel = {};
    };

    TWorkerTask() {
        QObject::connect(&watcher_, &QFutureWatcherBase::finished, &watcher_, [this] { Ended(); });
    }
    ~TWorkerTask() { Cancel(); }
    TWorkerTask(const TWorkerTask&) = delete;
    TWorkerTask& operator=(const TWorkerTask&) = delete;

    // Starts the work unless one is running (false then). The work and what
    // it captures are released on the worker when it returns, before OnDone.
    bool Start(TWork work, THandlers handlers) {
        if (run_) {
            return false;
        }
        auto run = std::make_shared<TRun>();
        run->Receiver = &watcher_;
        run->Handlers = std::move(handlers);
        run_ = run;
        watcher_.setFuture(
            QtConcurrent::run(&worker_detail::Pool(), [run, work = std::move(work)]() mutable {
                TWork local = std::move(work);
                run->Execute(local);
            }));
        return true;
    }

    // From Start until OnDone is called or the task is cancelled.
    bool Running() const { return run_ != nullptr; }

    void Cancel() {
        const std::shared_ptr<TRun> run = std::move(run_);
        if (!run) {
            return;
        }
        run->Drop();
        const std::function<void()> onCancel = std::move(run->Handlers.OnCancel);
        run->Handlers = {};
        if (onCancel) {
            onCancel();
        }
    }

private:
    struct TRun final : TControl, std::enable_shared_from_this<TRun> {
        // UI thread only.
        THandlers Handlers;
        // Written by the worker before the work ends, read after.
        TOutcome Outcome;
        std::atomic<bool> CancelFlag{false};
        std::mutex Lock;
        bool Dropped = false; // guarded by Lock, as are the two below
        bool DeliveryPosted = false;
        std::deque<P> Reports;
        QObject* Receiver = nullptr; // lives on the UI thread while !Dropped

        bool Cancelled() const override { return CancelFlag.load(); }

        void Report(P value) override {
            std::lock_guard<std::mutex> guard(Lock);
            if (Dropped) {
                return;
            }
            Reports.push_back(std::move(value));
            // One delivery takes every report queued by then.
            if (!DeliveryPosted) {
                DeliveryPosted = true;
                QMetaObject::invokeMethod(
                    Receiver, [self = this->shared_from_this()] { self->Deliver(); },
                    Qt::QueuedConnection);
            }
        }

        void Execute(TWork& work) {
            try {
                Outcome.Value.emplace(work(*this));
            } catch (...) {
                Outcome.Error = worker_detail::CurrentErrorText();
            }
            work = nullptr; // what it holds goes here, on the worker
        }

        void Drop() {
            CancelFlag = true;
            std::lock_guard<std::mutex> guard(Lock);
            Dropped = true;
            Reports.clear();
        }

        // UI thread: hands over the queued reports, one by one; a handler may
        // cancel the task on the way.
        void Deliver() {
            for (;;) {
                std::optional<P> value;
                {
                    std::lock_guard<std::mutex> guard(Lock);
                    if (Dropped || Reports.empty()) {
                        DeliveryPosted = false;
                        return;
                    }
                    value.emplace(std::move(Reports.front()));
                    Reports.pop_front();
                }
                // A copy: the handler may cancel, which clears the handlers.
                const std::function<void(P)> onReport = Handlers.OnReport;
                if (onReport) {
                    onReport(std::move(*value));
                }
            }
        }
    };

    void Ended() {
        const std::shared_ptr<TRun> run = run_;
        if (!run) {
            return; // cancelled
        }
        // What was reported before the end comes first.
        run->Deliver();
        if (run_ != run) {
            return; // cancelled by a report's handler
        }
        run_.reset();
        run->Drop();
        const std::function<void(TOutcome)> onDone = std::move(run->Handlers.OnDone);
        run->Handlers = {};
        if (onDone) {
            onDone(std::move(run->Outcome));
        }
    }

    QFutureWatcher<void> watcher_;
    std::shared_ptr<TRun> run_;
};
