// The search dialog with the real engine, inside the private test network
// of searchdialog.net.

#include "common/TestNet.h"
#include "guicommon/uGuiCommon.h"
#include "searchdialog/uXPortSearchGUI.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <map>

namespace {

QString S(const std::string& s) {
    return QString::fromStdString(s);
}

QStringList Column(QTableWidget* list, int column) {
    QStringList texts;
    for (int r = 0; r < list->rowCount(); ++r) {
        texts << list->item(r, column)->text();
    }
    return texts;
}

int RowOf(QTableWidget* list, const QString& ip) {
    return static_cast<int>(Column(list, 0).indexOf(ip));
}

bool Dimmed(QTableWidget* list, const QString& ip) {
    return list->item(RowOf(list, ip), 0)->data(Qt::ForegroundRole).isValid();
}

} // namespace

class TestSearchDialogNet : public QObject {
    Q_OBJECT

private slots:
    void searchFillsList();
    void cancelStopsRealSearch();
    void rowsBeforeSearchEnds();
};

void TestSearchDialogNet::searchFillsList() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ini = dir.filePath("Quorvet.ini");
    {
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Connection]\nReadTimeout=200\n");
    }
    TfXPortSearchGUI dlg;  // the real engine
    dlg.HintProvider = {}; // the checks of the namespace are not under test here
    std::vector<std::string> errors;
    SetErrorBoxHook([&](const std::string& m) { errors.push_back(m); });
    const auto unhook = qScopeGuard([] { SetErrorBoxHook({}); });
    dlg.SettingsFileName = ini.toStdString();
    QSignalSpy done(&dlg, &TfXPortSearchGUI::SearchFinished);
    dlg.show();
    QVERIFY(done.wait(20000));
    QVERIFY2(errors.empty(), errors.empty() ? "" : errors.front().c_str());

    auto* list = dlg.findChild<QTableWidget*>("LvDeviceList");
    QCOMPARE(Column(list, 0),
             QStringList({"10.77.1.200", "10.77.2.20", "10.77.2.21", "10.77.2.22", "10.77.2.23"}));
    QCOMPARE(S(dlg.SelectedIP()), "10.77.1.200"); // heard first, on adapter 1
    QCOMPARE(S(dlg.SelectedMAC()), "00-20-4A-0F-00-01");
    QCOMPARE(S(dlg.SelectedFirmware()), "1-4-5.02");
    QCOMPARE(S(dlg.SelectedDescription()), "Boiler room");
    QCOMPARE(Column(list, 5),
             QStringList({"10.77.1.1", "10.77.2.1", "10.77.2.1", "10.77.2.1", "10.77.2.1"}));
    QCOMPARE(list->item(RowOf(list, "10.77.2.23"), 2)->text(), "N/A");
    QVERIFY(!Dimmed(list, "10.77.1.200"));
    QVERIFY(!Dimmed(list, "10.77.2.20")); // kind 6, status "0"
    QVERIFY(Dimmed(list, "10.77.2.21"));  // kind 6, status "A"
    QVERIFY(Dimmed(list, "10.77.2.22"));  // kind 8
    QVERIFY(Dimmed(list, "10.77.2.23"));  // no info reply
    QVERIFY(dlg.findChild<QPushButton*>("BBChangeIP")->isEnabled());

    // Ordered by MAC, the first device goes last and stays selected; a new
    // search keeps the order.
    QHeaderView* h = list->horizontalHeader();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                      QPoint(h->sectionViewportPosition(1) + h->sectionSize(1) / 2, 5));
    QCOMPARE(RowOf(list, "10.77.1.200"), 4);
    QTest::mouseClick(dlg.findChild<QPushButton*>("BBSearch"), Qt::LeftButton);
    QVERIFY(done.wait(20000));
    QCOMPARE(list->rowCount(), 5);
    QCOMPARE(RowOf(list, "10.77.1.200"), 4);
    QCOMPARE(S(dlg.SelectedIP()), "10.77.1.200");

    const QString shots = qEnvironmentVariable("QV_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        QVERIFY(dlg.grab().save(shots + "/searchdialog-net.png"));
    }
}

void TestSearchDialogNet::cancelStopsRealSearch() {
    // Default time-out of 1000 ms: the whole search would take seconds.
    const TDevsimLog log;
    const std::size_t mark = log.Mark();
    auto dlg = std::make_unique<TfXPortSearchGUI>();
    dlg->HintProvider = {};
    dlg->ButtonSet = 0;
    dlg->show();
    auto* progress = dlg->findChild<QLabel*>("LabSearchProgress");
    // Adapters are searched side by side: any adapter's progress will do.
    QTRY_VERIFY_WITH_TIMEOUT(progress->text().contains("10.77."), 5000);
    QVERIFY(dlg->Searching());
    QElapsedTimer timer;
    timer.start();
    QTest::mouseClick(dlg->findChild<QPushButton*>("BBCancel"), Qt::LeftButton);
    QCOMPARE(dlg->result(), TfXPortSearchGUI::mrCancel);
    dlg.reset(); // does not wait for the engine
    QVERIFY2(timer.elapsed() < 300, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(QApplication::overrideCursor() == nullptr);

    // Cancelled while collecting, the engine stops after that receive: no
    // info request follows and no adapter is queried twice, though an
    // uncancelled search would have sent info requests by now.
    QTest::qWait(2500);
    const auto info = log.Select(
        [](const TDevsimLine& l) {
            return l.kind == "RX" && QString::fromStdString(l.Get("data")).toUpper() == "000000E4";
        },
        mark);
    QVERIFY2(info.empty(), info.empty() ? "" : info.front().raw.c_str());
    const auto queries = log.Select(
        [](const TDevsimLine& l) {
            return l.kind == "RX" && QString::fromStdString(l.Get("data")).toUpper() == "000000F6";
        },
        mark);
    QVERIFY(!queries.empty());
    std::map<std::string, int> perDevice;
    for (const TDevsimLine& l : queries) {
        QVERIFY2(++perDevice[l.Get("dev")] == 1, l.raw.c_str());
    }
}

void TestSearchDialogNet::rowsBeforeSearchEnds() {
    // searchdialog_slow.net only: the device without an info reply holds the
    // search for seconds after the others have been read.
    if (qEnvironmentVariableIsEmpty("QV_SLOW_NET")) {
        QSKIP("runs in the network of searchdialog_slow.net");
    }
    TfXPortSearchGUI dlg;
    dlg.HintProvider = {};
    std::vector<std::string> errors;
    SetErrorBoxHook([&](const std::string& m) { errors.push_back(m); });
    const auto unhook = qScopeGuard([] { SetErrorBoxHook({}); });
    QSignalSpy done(&dlg, &TfXPortSearchGUI::SearchFinished);
    dlg.show();
    auto* list = dlg.findChild<QTableWidget*>("LvDeviceList");
    auto* progress = dlg.findChild<QLabel*>("LabSearchProgress");
    QTRY_COMPARE_WITH_TIMEOUT(list->rowCount(), 4, 10000);
    QVERIFY(dlg.Searching());
    QVERIFY(done.isEmpty());
    QCOMPARE(Column(list, 0),
             QStringList({"10.77.1.11", "10.77.1.12", "10.77.1.13", "10.77.1.14"}));
    QVERIFY(!dlg.SelectedIP().empty());
    QTRY_VERIFY_WITH_TIMEOUT(progress->text().contains("devices read: 4"), 2000);
    QVERIFY(progress->text().contains("adapters done 0 of 1"));
    const QString shots = qEnvironmentVariable("QV_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        QVERIFY(dlg.grab().save(shots + "/searchdialog-arriving.png"));
    }

    QVERIFY(done.wait(20000));
    QVERIFY2(errors.empty(), errors.empty() ? "" : errors.front().c_str());
    QCOMPARE(Column(list, 0),
             QStringList({"10.77.1.11", "10.77.1.12", "10.77.1.13", "10.77.1.14", "10.77.1.15"}));
    QCOMPARE(list->item(4, 2)->text(), "N/A");
    // Heard first (it answers without delay), so first in the engine's list.
    QCOMPARE(S(dlg.SelectedIP()), "10.77.1.15");
}

int main(int argc, char** argv) {
    RequireTestNetwork();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    TestSearchDialogNet test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_searchdialog_net.moc"
