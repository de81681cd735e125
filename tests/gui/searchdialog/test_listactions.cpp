// The search dialog's list actions offscreen: copy, save, the context menu's
// items and the openers' seams, against a scripted search.

#include "FakeSearch.h"
#include "guicommon/uGuiCommon.h"
#include "search/uDeviceListExport.h"
#include "searchdialog/uDeviceListActions.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString S(const std::string& s) {
    return QString::fromStdString(s);
}

std::string ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string("<missing>");
}

// In the order the list shows them (by IP), all seven fields set, texts that
// quoting and escaping must keep.
std::vector<TXportPar> Devices() {
    std::vector<TXportPar> d = {
        Dev("10.77.1.10", "00-20-4A-00-00-10", "1-4-5.02", "", "QT101", "Boiler \"room\", east"),
        Dev("10.77.1.11", "00-20-4A-00-00-11", "6-1-0.03", "A", "QS102",
            std::string("Line 1\r\nK\xFChlraum\tB")),
        Dev("192.168.1.213", "00-20-4A-00-0D-13", "N/A", "", "N/A", "")};
    d[2].AdapterIP = "10.77.2.1";
    return d;
}

struct TFixture {
    std::shared_ptr<TFakeNetwork> Net = std::make_shared<TFakeNetwork>();
    std::unique_ptr<TfXPortSearchGUI> Dlg;
    std::vector<std::string> Errors;
    QTemporaryDir Dir;
    QString Filters; // as the save dialog got them

    explicit TFixture(std::vector<TXportPar> devices = Devices()) {
        Net->Script.push_back({std::move(devices), {}});
        Dlg = std::make_unique<TfXPortSearchGUI>(nullptr, FakeFactory(Net));
        Dlg->HintProvider = {};
        SetErrorBoxHook([this](const std::string& m) { Errors.push_back(m); });
        QSignalSpy done(Dlg.get(), &TfXPortSearchGUI::SearchFinished);
        Dlg->show();
        done.wait(5000);
        QApplication::clipboard()->clear();
    }
    ~TFixture() {
        SetErrorBoxHook({});
        TDeviceListActions::SetSaveDialogHook({});
    }
    TFixture(const TFixture&) = delete;
    TFixture& operator=(const TFixture&) = delete;

    QTableWidget* List() const { return Dlg->findChild<QTableWidget*>("LvDeviceList"); }
    QAction* Action(const char* name) const { return Dlg->findChild<QAction*>(name); }
    QMenu* Menu() const { return Dlg->findChild<QMenu*>("PmProductionMask"); }
    QPoint RowPoint(int row) const {
        return List()->visualRect(List()->model()->index(row, 1)).center();
    }
    // Opens the context menu at a point of the list.
    void ContextMenuAt(const QPoint& pos) {
        emit List()->customContextMenuRequested(pos);
        QTRY_VERIFY(Menu()->isVisible());
    }
    // The context menu's item on row, triggered.
    void TriggerOnRow(int row, const char* action) {
        emit List()->customContextMenuRequested(RowPoint(row));
        QTRY_VERIFY(Menu()->isVisible());
        QVERIFY(Action(action)->isEnabled());
        Action(action)->trigger();
        Menu()->hide();
    }
    // Ctrl+S with the save dialog answering file and filter.
    void SaveAs(const QString& file, const QString& filter) {
        TDeviceListActions::SetSaveDialogHook(
            [this, file, filter](const QString&, const QString& filters, QString* selected) {
                Filters = filters;
                *selected = filter;
                return file;
            });
        QTest::keyClick(List(), Qt::Key_S, Qt::ControlModifier);
    }
    // A script standing in for a program: writes its arguments, one a line.
    QString ArgsRecorder(const QString& name) const {
        const QString script = Dir.filePath(name + ".sh");
        QFile f(script);
        f.open(QIODevice::WriteOnly);
        f.write("#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"$0.args.tmp\"\n"
                "mv \"$0.args.tmp\" \"$0.args\"\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return script;
    }
};

// Sets an environment variable for one test.
struct TEnv {
    QByteArray Name, Old;
    bool Had;
    TEnv(const char* name, const QByteArray& value)
        : Name(name), Old(qgetenv(name)), Had(qEnvironmentVariableIsSet(name)) {
        qputenv(name, value);
    }
    ~TEnv() { Had ? (void)qputenv(Name.constData(), Old) : (void)qunsetenv(Name.constData()); }
};

} // namespace

class TestListActions : public QObject {
    Q_OBJECT

private slots:
    void copyRowsAsTabSeparated();
    void saveListByFileType();
    void saveFailureIsShown();
    void menuItemsFollowTheRow();
    void copyAddresses();
    void openersRunTheNamedPrograms();
    void consoleWithoutClient();
};

void TestListActions::copyRowsAsTabSeparated() {
    TFixture f;
    f.List()->setFocus();
    f.List()->selectRow(1);
    QTest::keySequence(f.List(), QKeySequence::Copy);
    QCOMPARE(QApplication::clipboard()->text(), S(DeviceTsv({Devices()[1]})));
    // The tab and line break the device sent stay inside their cell.
    QCOMPARE(QApplication::clipboard()->text().count('\n'), 2);
    QCOMPARE(QApplication::clipboard()->text().count('\t'), 12);
}

void TestListActions::saveListByFileType() {
    TFixture f;
    const QString csv = f.Dir.filePath("site.csv");
    f.SaveAs(csv, TDeviceListActions::JsonFilter()); // the suffix wins over the filter
    QCOMPARE(S(ReadAll(csv)), S(DeviceCsv(Devices())));
    QCOMPARE(f.Filters, "CSV (*.csv);;JSON (*.json)");
    const QString json = f.Dir.filePath("site.JSON");
    f.SaveAs(json, TDeviceListActions::CsvFilter());
    QCOMPARE(S(ReadAll(json)), S(DeviceJson(Devices())));
    // Without a suffix the chosen filter decides and lends its suffix.
    f.SaveAs(f.Dir.filePath("report"), TDeviceListActions::JsonFilter());
    QCOMPARE(S(ReadAll(f.Dir.filePath("report.json"))), S(DeviceJson(Devices())));
    // The whole list, whichever row is selected and however it is sorted.
    f.List()->sortItems(1, Qt::DescendingOrder);
    f.SaveAs(csv, TDeviceListActions::CsvFilter());
    const std::vector<TXportPar> shown = Devices();
    const std::vector<TXportPar> reversed(shown.rbegin(), shown.rend());
    QCOMPARE(S(ReadAll(csv)), S(DeviceCsv(reversed)));
    // Cancelled: nothing written, nothing said.
    f.SaveAs(QString(), TDeviceListActions::CsvFilter());
    QVERIFY(f.Errors.empty());
}

void TestListActions::saveFailureIsShown() {
    TFixture f;
    const QString missing = f.Dir.filePath("no-such-folder/site.csv");
    f.SaveAs(missing, TDeviceListActions::CsvFilter());
    QCOMPARE(f.Errors.size(), std::size_t(1));
    QVERIFY2(S(f.Errors[0]).startsWith("The list could not be saved to "), f.Errors[0].c_str());
    QVERIFY(!QFile::exists(missing));
    // A file that exists is left whole when the new one cannot be written.
    const QString kept = f.Dir.filePath("kept.csv");
    {
        QFile old(kept);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    QFile::setPermissions(f.Dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    const bool writable = QFile(f.Dir.filePath("probe")).open(QIODevice::WriteOnly); // root
    if (!writable) {
        f.SaveAs(kept, TDeviceListActions::CsvFilter());
        QCOMPARE(f.Errors.size(), std::size_t(2));
        QCOMPARE(ReadAll(kept), std::string("old"));
    }
    QFile::setPermissions(f.Dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestListActions::menuItemsFollowTheRow() {
    TFixture f;
    const QStringList items = [&] {
        QStringList texts;
        for (QAction* a : f.Menu()->actions()) {
            texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
        }
        return texts;
    }();
    // After the filter entries, in groups.
    QCOMPARE(items.mid(2),
             QStringList({"-", "Copy", "Copy IP address", "Copy MAC address", "-", "Open web page",
                          "Open Telnet console", "-", "Save list...", "-", "Targets..."}));
    const char* const device[] = {"ActCopyIP", "ActCopyMAC", "ActOpenWebPage", "ActOpenTelnet"};
    // On a row: that row is selected and every item is on.
    f.List()->selectRow(0);
    f.ContextMenuAt(f.RowPoint(2));
    QCOMPARE(S(f.Dlg->SelectedIP()), "192.168.1.213");
    for (const char* name : device) {
        QVERIFY2(f.Action(name)->isEnabled(), name);
    }
    QVERIFY(f.Action("ActCopyRows")->isEnabled());
    QVERIFY(f.Action("ActSaveList")->isEnabled());
    const QString shots = qEnvironmentVariable("QV_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        QVERIFY(f.Menu()->grab().save(shots + "/list-actions-menu.png"));
    }
    f.Menu()->hide();
    // Below the rows: only the list's own item.
    f.ContextMenuAt(QPoint(5, f.List()->viewport()->height() - 3));
    for (const char* name : device) {
        QVERIFY2(!f.Action(name)->isEnabled(), name);
    }
    QVERIFY(f.Action("ActCopyRows")->isEnabled()); // the selected row
    QVERIFY(f.Action("ActSaveList")->isEnabled());
    f.Menu()->hide();
    // The shortcuts act again once the menu is gone.
    QVERIFY(f.Action("ActCopyRows")->isEnabled());

    TFixture empty(std::vector<TXportPar>{});
    empty.ContextMenuAt(QPoint(5, 5));
    QVERIFY(!empty.Action("ActSaveList")->isEnabled());
    QVERIFY(!empty.Action("ActOpenWebPage")->isEnabled());
    QVERIFY(!empty.Action("ActCopyRows")->isEnabled());
    empty.Menu()->hide();
    bool asked = false;
    TDeviceListActions::SetSaveDialogHook([&](const QString&, const QString&, QString*) {
        asked = true;
        return QString();
    });
    QTest::keyClick(empty.List(), Qt::Key_S, Qt::ControlModifier);
    QVERIFY(!asked); // nothing to save
}

void TestListActions::copyAddresses() {
    TFixture f;
    f.TriggerOnRow(1, "ActCopyIP");
    QCOMPARE(QApplication::clipboard()->text(), "10.77.1.11");
    f.TriggerOnRow(2, "ActCopyMAC");
    QCOMPARE(QApplication::clipboard()->text(), "00-20-4A-00-0D-13");
}

void TestListActions::openersRunTheNamedPrograms() {
    TFixture f;
    const QString browser = f.ArgsRecorder("browser");
    const QString terminal = f.ArgsRecorder("terminal");
    const TEnv b("QUORVET_BROWSER", ("sh " + browser + " --new-window").toUtf8());
    const TEnv t("QUORVET_TERMINAL", ("sh " + terminal + " -e").toUtf8());
    const TEnv c("QUORVET_TELNET", "my-telnet");
    f.TriggerOnRow(0, "ActOpenWebPage");
    QTRY_COMPARE(S(ReadAll(browser + ".args")), "--new-window\nhttp://10.77.1.10/\n");
    f.TriggerOnRow(1, "ActOpenTelnet");
    QTRY_COMPARE(S(ReadAll(terminal + ".args")), "-e\nmy-telnet\n10.77.1.11\n9999\n");
    // The port of the settings file.
    const QString ini = f.Dir.filePath("Quorvet.ini");
    {
        QFile file(ini);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Device]\nTelnetPort=2323\n");
    }
    f.Dlg->SettingsFileName = ini.toStdString();
    QFile::remove(terminal + ".args");
    f.TriggerOnRow(0, "ActOpenTelnet");
    QTRY_COMPARE(S(ReadAll(terminal + ".args")), "-e\nmy-telnet\n10.77.1.10\n2323\n");
    QVERIFY(f.Errors.empty());
    // A browser that cannot be started is said so.
    const TEnv gone("QUORVET_BROWSER", f.Dir.filePath("no-such-browser").toUtf8());
    f.TriggerOnRow(0, "ActOpenWebPage");
    QCOMPARE(f.Errors.size(), std::size_t(1));
    QVERIFY2(S(f.Errors[0]).startsWith("The web browser could not be started: "),
             f.Errors[0].c_str());
}

void TestListActions::consoleWithoutClient() {
    TFixture f;
    // Neither a client nor a terminal anywhere on the path.
    const TEnv path("PATH", f.Dir.path().toUtf8());
    const TEnv noTelnet("QUORVET_TELNET", "");
    const TEnv noTerminal("QUORVET_TERMINAL", "");
    const TEnv noUserTerminal("TERMINAL", "");
    f.TriggerOnRow(0, "ActOpenTelnet");
    QCOMPARE(f.Errors.size(), std::size_t(1));
    QVERIFY2(S(f.Errors[0]).startsWith("No Telnet client was found."), f.Errors[0].c_str());
    // A client, but no terminal to show it in.
    const TEnv telnet("QUORVET_TELNET", "telnet");
    f.TriggerOnRow(0, "ActOpenTelnet");
    QCOMPARE(f.Errors.size(), std::size_t(2));
    QVERIFY2(S(f.Errors[1]).startsWith("No terminal program was found."), f.Errors[1].c_str());
}

QTEST_MAIN(TestListActions)
#include "test_listactions.moc"
