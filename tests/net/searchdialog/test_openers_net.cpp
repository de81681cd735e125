// The list's openers inside the private test network of openers.net: the
// browser and the terminal are stand-ins (fake-opener.sh) that connect to
// the simulated device's TCP ports the way the real programs would.

#include "common/TestNet.h"
#include "guicommon/uGuiCommon.h"
#include "searchdialog/uXPortSearchGUI.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

class TestOpenersNet : public QObject {
    Q_OBJECT

private slots:
    void openersReachTheDevice();
};

void TestOpenersNet::openersReachTheDevice() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ini = dir.filePath("Quorvet.ini");
    {
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Connection]\nReadTimeout=200\n");
    }
    const QString script = QStringLiteral(FAKE_OPENER);
    const QString web = dir.filePath("web.out");
    const QString console = dir.filePath("console.out");
    qputenv("QUORVET_BROWSER", ("bash " + script + " web " + web).toUtf8());
    qputenv("QUORVET_TERMINAL", ("bash " + script + " console " + console).toUtf8());
    qputenv("QUORVET_TELNET", "telnet");

    TfXPortSearchGUI dlg; // the real engine
    dlg.HintProvider = {};
    std::vector<std::string> errors;
    SetErrorBoxHook([&](const std::string& m) { errors.push_back(m); });
    const auto unhook = qScopeGuard([] { SetErrorBoxHook({}); });
    dlg.SettingsFileName = ini.toStdString();
    QSignalSpy done(&dlg, &TfXPortSearchGUI::SearchFinished);
    dlg.show();
    QVERIFY(done.wait(20000));
    auto* list = dlg.findChild<QTableWidget*>("LvDeviceList");
    QCOMPARE(list->rowCount(), 3);
    QCOMPARE(list->item(0, 0)->text(), "10.77.1.10");

    auto* menu = dlg.findChild<QMenu*>("PmProductionMask");
    const auto trigger = [&](int row, const char* action) {
        emit list->customContextMenuRequested(
            list->visualRect(list->model()->index(row, 0)).center());
        QTRY_VERIFY(menu->isVisible());
        dlg.findChild<QAction*>(action)->trigger();
        menu->hide();
    };
    const TDevsimLog log;
    const std::size_t mark = log.Mark();
    trigger(0, "ActOpenWebPage");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(web), 10000);
    const QString page = ReadAll(web);
    QVERIFY2(page.startsWith("HTTP/1.0 200 OK\r\n"), qPrintable(page));
    QVERIFY2(page.contains("Simulated device 10.77.1.10 00-20-4A-0A-00-10"), qPrintable(page));

    trigger(0, "ActOpenTelnet");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(console), 10000);
    const QString banner = ReadAll(console);
    QVERIFY2(banner.startsWith("*** Simulated device 00-20-4A-0A-00-10 at 10.77.1.10 ***"),
             qPrintable(banner));
    QVERIFY2(banner.endsWith("client=telnet host=10.77.1.10 port=9999\n"), qPrintable(banner));

    // The settings file's port reaches a device that listens elsewhere.
    {
        QFile f(ini);
        QVERIFY(f.open(QIODevice::Append));
        f.write("[Device]\nTelnetPort=2323\n");
    }
    QFile::remove(console);
    trigger(1, "ActOpenTelnet");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(console), 10000);
    QVERIFY2(ReadAll(console).startsWith("*** Simulated device 00-20-4A-0A-00-11 at 10.77.1.11"),
             qPrintable(ReadAll(console)));
    QVERIFY2(errors.empty(), errors.empty() ? "" : errors.front().c_str());

    // Each connection the device saw, from the computer's adapter.
    QStringList seen;
    const auto lines = log.ReadAll();
    for (std::size_t i = mark; i < lines.size(); ++i) {
        if (lines[i].kind == "TCP") {
            QVERIFY2(lines[i].Get("from").rfind("10.77.1.1:", 0) == 0, lines[i].raw.c_str());
            seen << QString::fromStdString(lines[i].Get("dev") + ":" + lines[i].Get("port"));
        }
    }
    QCOMPARE(seen, QStringList({"10.77.1.10:80", "10.77.1.10:9999", "10.77.1.11:2323"}));
}

int main(int argc, char** argv) {
    RequireTestNetwork();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    TestOpenersNet test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_openers_net.moc"
