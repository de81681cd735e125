// How long the search dialog's UI thread goes without running its event loop
// while a real search runs on a wide private network (wide.net: 4 adapters x
// 62 devices). A fast timer on the UI thread notes the largest gap between
// its ticks. The figure is printed, never asserted: it depends on the load
// of the machine.
#include "common/TestNet.h"
#include "guicommon/uGuiCommon.h"
#include "searchdialog/uXPortSearchGUI.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <cstdio>

class TestGuiStall : public QObject {
    Q_OBJECT

private slots:
    void uiThreadKeepsRunningDuringSearch();
};

void TestGuiStall::uiThreadKeepsRunningDuringSearch() {
    TfXPortSearchGUI dlg; // the real engine, parallel, ReadTimeout 1000 ms
    std::vector<std::string> errors;
    SetErrorBoxHook([&](const std::string& m) { errors.push_back(m); });
    const auto unhook = qScopeGuard([] { SetErrorBoxHook({}); });
    QSignalSpy done(&dlg, &TfXPortSearchGUI::SearchFinished);
    auto* list = dlg.findChild<QTableWidget*>("LvDeviceList");
    QVERIFY(list);

    for (int round = 1; round <= 3; ++round) {
        QElapsedTimer clock;
        qint64 last = 0, maxGap = 0, ticks = 0;
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(2);
        connect(&timer, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            maxGap = std::max(maxGap, now - last);
            last = now;
            ++ticks;
        });
        clock.start();
        timer.start();
        const int before = static_cast<int>(done.count());
        if (round == 1)
            dlg.show(); // showing starts the first search
        else
            dlg.RunSearch();
        QVERIFY(done.wait(30000) || done.count() > before);
        timer.stop();
        const double total = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        QVERIFY2(errors.empty(), errors.empty() ? "" : errors.front().c_str());
        QCOMPARE(list->rowCount(), 248);
        QVERIFY(ticks > 0);
        std::printf("search %d: %d rows in %.0f ms; UI thread: %lld timer ticks, longest "
                    "stall %.1f ms\n",
                    round, list->rowCount(), total, ticks, static_cast<double>(maxGap) / 1e6);
        std::fflush(stdout);
    }
}

int main(int argc, char** argv) {
    RequireTestNetwork();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestGuiStall test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_gui_stall.moc"
