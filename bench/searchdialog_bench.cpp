// Search dialog benchmark (not a test): the dialog with the real engine in a
// private test network. Per search it prints the time from the first device
// read by the engine (its info reply taken) to the first row in the table,
// and the longest UI-thread stall, measured as the lateness of a 5 ms timer.
// Run through bench/searchdialog_bench.sh.
#include "common/TestNet.h"
#include "guicommon/uGuiCommon.h"
#include "searchdialog/uXPortSearchGUI.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTableWidget>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

// The engine's job, stamping the first device it reads.
class TTimedJob final : public TXPortSearchJob {
public:
    TTimedJob(std::atomic<qint64>& firstDevice, const QElapsedTimer& clock)
        : inner_(NewEngineSearchJob()), firstDevice_(firstDevice), clock_(clock) {}
    void LoadSettings(const std::string& fileName) override { inner_->LoadSettings(fileName); }
    void Search(const TEvents& events) override {
        TEvents timed = events;
        timed.Device = [this, device = events.Device](const TXportPar& entry) {
            qint64 none = -1;
            firstDevice_.compare_exchange_strong(none, clock_.nsecsElapsed());
            if (device) {
                device(entry);
            }
        };
        inner_->Search(timed);
    }
    std::vector<TXportPar> Devices() const override { return inner_->Devices(); }
    void Cancel() override { inner_->Cancel(); }

private:
    std::unique_ptr<TXPortSearchJob> inner_;
    std::atomic<qint64>& firstDevice_;
    const QElapsedTimer& clock_;
};

} // namespace

int main(int argc, char** argv) {
    RequireTestNetwork();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 3;

    QElapsedTimer clock;
    clock.start();
    std::atomic<qint64> firstDevice{-1};
    qint64 firstRow = -1;
    TfXPortSearchGUI dlg(nullptr, [&] { return std::make_unique<TTimedJob>(firstDevice, clock); });
    dlg.HintProvider = {};
    SetErrorBoxHook([](const std::string& m) { std::fprintf(stderr, "error: %s\n", m.c_str()); });
    auto* list = dlg.findChild<QTableWidget*>("LvDeviceList");
    QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, [&] {
        if (firstRow < 0 && dlg.Searching()) {
            firstRow = clock.nsecsElapsed();
        }
    });

    // A 5 ms timer on the UI thread: how late its ticks come is how long
    // the thread was busy elsewhere.
    qint64 lastTick = 0, maxLate = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        maxLate = std::max(maxLate, now - lastTick - 5'000'000);
        lastTick = now;
    });

    int run = 0;
    qint64 started = 0;
    const auto start = [&] {
        firstDevice = -1;
        firstRow = -1;
        maxLate = 0;
        started = lastTick = clock.nsecsElapsed();
        ticker.start();
        if (run == 0) {
            dlg.show();
        } else {
            dlg.RunSearch();
        }
    };
    QObject::connect(&dlg, &TfXPortSearchGUI::SearchFinished, [&] {
        ticker.stop();
        const double ms = 1e-6;
        std::printf("search %d: %d rows in %.0f ms; first row %.1f ms after the first device "
                    "read; longest UI stall %.1f ms\n",
                    run + 1, list->rowCount(), (clock.nsecsElapsed() - started) * ms,
                    firstDevice >= 0 && firstRow >= 0 ? (firstRow - firstDevice) * ms : -1.0,
                    maxLate * ms);
        std::fflush(stdout);
        if (++run < runs) {
            QTimer::singleShot(200, start);
        } else {
            QTimer::singleShot(0, &app, &QApplication::quit);
        }
    });
    QTimer::singleShot(0, start);
    const int rc = app.exec();
    SetErrorBoxHook({});
    return rc;
}
