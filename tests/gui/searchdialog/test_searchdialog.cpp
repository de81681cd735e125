// The search dialog driven through a scripted search, offscreen.

#include "FakeSearch.h"
#include "guicommon/uGuiCommon.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

#include <thread>

namespace {

// The hint seam: what the dialog asked for, and the line it gets.
struct THintProbe {
    std::mutex Lock;
    int Calls = 0;
    std::optional<TSearchOutcome> Outcome;
    std::string SettingsFile;
    bool OnUiThread = false;
    std::string Line = "firewall: UDP port 30718 is dropped";
};

struct TFixture {
    std::shared_ptr<TFakeNetwork> Net = std::make_shared<TFakeNetwork>();
    std::shared_ptr<THintProbe> Hint = std::make_shared<THintProbe>();
    std::unique_ptr<TfXPortSearchGUI> Dlg;
    std::vector<std::string> Errors;

    explicit TFixture(std::vector<TXportPar> devices = {}, std::uint8_t buttons = 0x3E) {
        Net->Script.push_back({std::move(devices), {}});
        Dlg = std::make_unique<TfXPortSearchGUI>(nullptr, FakeFactory(Net));
        Dlg->ButtonSet = buttons;
        // Never the checks of the machine the tests run on.
        Dlg->HintProvider = [probe = Hint, ui = std::this_thread::get_id()](
                                const std::string& settings, TSearchOutcome outcome) {
            std::lock_guard<std::mutex> g(probe->Lock);
            ++probe->Calls;
            probe->Outcome = outcome;
            probe->SettingsFile = settings;
            probe->OnUiThread = std::this_thread::get_id() == ui;
            return probe->Line;
        };
        SetErrorBoxHook([this](const std::string& m) { Errors.push_back(m); });
    }
    ~TFixture() { SetErrorBoxHook({}); }
    TFixture(const TFixture&) = delete;
    TFixture& operator=(const TFixture&) = delete;
    QTableWidget* List() const { return Dlg->findChild<QTableWidget*>("LvDeviceList"); }
    QPushButton* Button(const char* name) const { return Dlg->findChild<QPushButton*>(name); }
    // Shows the dialog and waits for its first search.
    void Show() {
        QSignalSpy done(Dlg.get(), &TfXPortSearchGUI::SearchFinished);
        Dlg->show();
        QVERIFY(done.wait(5000));
    }
    void Search() {
        QSignalSpy done(Dlg.get(), &TfXPortSearchGUI::SearchFinished);
        QTest::mouseClick(Button("BBSearch"), Qt::LeftButton);
        QVERIFY(done.wait(5000));
    }
    void Popup(const char* action) {
        QSignalSpy done(Dlg.get(), &TfXPortSearchGUI::SearchFinished);
        Dlg->findChild<QAction*>(action)->trigger();
        QVERIFY(done.wait(5000));
    }
    void ClickHeader(int column) {
        QHeaderView* h = List()->horizontalHeader();
        const int x = h->sectionViewportPosition(column) + h->sectionSize(column) / 2;
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(x, h->height() / 2));
    }
    QStringList Column(int column) const {
        QStringList texts;
        for (int r = 0; r < List()->rowCount(); ++r) {
            texts << List()->item(r, column)->text();
        }
        return texts;
    }
    // Lets a blocking fake search end.
    void Release() {
        std::lock_guard<std::mutex> g(Net->Lock);
        Net->Block = false;
        Net->Wake.notify_all();
    }
    QLabel* Progress() const { return Dlg->findChild<QLabel*>("LabSearchProgress"); }
    QLabel* Note() const { return Dlg->findChild<QLabel*>("LabSearchNote"); }
    int HintCalls() const {
        std::lock_guard<std::mutex> g(Hint->Lock);
        return Hint->Calls;
    }
    // A picture of the dialog for a look, when QV_SCREENSHOT_DIR names a folder.
    void Shot(const char* name) const {
        const QString dir = qEnvironmentVariable("QV_SCREENSHOT_DIR");
        if (!dir.isEmpty()) {
            Dlg->grab().save(dir + "/" + name + ".png");
        }
    }
    void SelectRow(int row) {
        const QRect rect = List()->visualRect(List()->model()->index(row, 0));
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, rect.center());
    }
};

QString S(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

class TestSearchDialog : public QObject {
    Q_OBJECT

private slots:
    void creationDefaults();
    void buttonSets_data();
    void buttonSets();
    void sortByEachColumn();
    void firstDeviceSelected();
    void productionFilter();
    void dimmedRows();
    void changeIPEnabling();
    void closing();
    void errorKeepsRows();
    void firstSearchErrorEndsTheDialog();
    void engineInputAndOutput();
    void cancelRunningSearch();
    void destroyMidSearch();
    void rowsWhileSearching();
    void rowsWhileSearchingFiltered();
    void manyRowsInBatches();
    void cancelKeepsRowsRead();
    void failedSearchRestoresRows();
    void deviceLimitNote();
    void hintWhenNothingUseful();
};

// ---- the dialog ----------------------------------------------------------------

void TestSearchDialog::creationDefaults() {
    TFixture f;
    QCOMPARE(int(TfXPortSearchGUI(nullptr, FakeFactory(f.Net)).ButtonSet), 0x3E);
    const TXPortSearchLangSupport& t = f.Dlg->Texts;
    QCOMPARE(S(t[0]), "Find device");
    QCOMPARE(S(t[2]), "Help! My device wasn't found!");
    QCOMPARE(S(t[10]), "Device description");
    QCOMPARE(S(t[13]), "Set IP address to ARP table only");
    QVERIFY(t[14].empty() && t[19].empty());
    f.Dlg->Texts[1] = "Hledat";
    f.Show();
    QCOMPARE(f.Dlg->windowTitle(), "Find device");
    QCOMPARE(f.Button("BBSearch")->text(), "Hledat");
    QHeaderView* header = f.List()->horizontalHeader();
    const QList<int> widths = {90, 125, 60, 80, 156, 0};
    for (int c = 0; c < 6; ++c) {
        QCOMPARE(header->sectionSize(c), widths[c]);
    }
    QCOMPARE(f.List()->horizontalHeaderItem(4)->text(), "Device description");
    QCOMPARE(f.List()->horizontalHeaderItem(5)->text(), "Adapter");
    QCOMPARE(f.Dlg->findChild<QAction*>("pmProductionMaskAll")->text(), "Zobrazit vsechny");
    QCOMPARE(f.Dlg->findChild<QAction*>("pmProductionMaskSensors")->text(),
             "Zobrazit pouze vyrobni adresy");
    // The button panel comes first in the tab order, the list last.
    QStringList chain;
    QWidget* w = f.Button("BBCancel");
    do {
        if (w->focusPolicy() & Qt::TabFocus) {
            chain << w->objectName();
        }
        w = w->nextInFocusChain();
    } while (w != f.Button("BBCancel") && chain.size() < 6);
    QCOMPARE(chain, QStringList({"BBCancel", "BBSelect", "BBChangeIP", "BBHelpDeviceNotFound",
                                 "BBSearch", "LvDeviceList"}));
}

void TestSearchDialog::buttonSets_data() {
    QTest::addColumn<int>("set");
    QTest::addColumn<bool>("select");
    QTest::addColumn<bool>("changeIP");
    QTest::addColumn<bool>("help");
    QTest::addColumn<int>("panel");
    QTest::newRow("empty = 0x32") << 0x00 << true << false << false << 41;
    QTest::newRow("0x32") << 0x32 << true << false << false << 41;
    QTest::newRow("0x3E") << 0x3E << true << true << true << 73;
    QTest::newRow("0x04") << 0x04 << false << false << true << 41;
    QTest::newRow("0x01") << 0x01 << true << true << true << 73;
    QTest::newRow("0x08") << 0x08 << false << true << false << 73;
}

void TestSearchDialog::buttonSets() {
    QFETCH(int, set);
    QFETCH(bool, select);
    QFETCH(bool, changeIP);
    QFETCH(bool, help);
    QFETCH(int, panel);
    TFixture f({}, static_cast<std::uint8_t>(set));
    f.Show();
    QCOMPARE(f.Button("BBSearch")->isVisible(), true);
    QCOMPARE(f.Button("BBCancel")->isVisible(), true);
    QCOMPARE(f.Button("BBSelect")->isVisible(), select);
    QCOMPARE(f.Button("BBChangeIP")->isVisible(), changeIP);
    QCOMPARE(f.Button("BBHelpDeviceNotFound")->isVisible(), help);
    QCOMPARE(f.Dlg->findChild<QWidget*>("PnlButtons")->height(), panel);
    QCOMPARE(f.Dlg->size(), QSize(515, 224 + panel));
    QCOMPARE(f.List()->size(), QSize(515, 224));
    if (set == 0) {
        QCOMPARE(int(f.Dlg->ButtonSet), 0x32);
    }
}

void TestSearchDialog::sortByEachColumn() {
    TFixture f({Dev("192.168.0.1", "00-20-4A-00-00-0A", "6-1-0.10", "0", "Beta", "zz"),
                Dev("10.0.0.10", "00-20-4A-00-00-02", "N/A", "", "alpha", "Yy"),
                Dev("10.0.0.2", "00-20-4A-00-00-1F", "5-2-3.04", "", "Gamma", "xx"),
                Dev("10.0.0.3", "N/A", "6-1-0.01", "0", "delta", "")});
    f.Show();
    QCOMPARE(f.Column(0), QStringList({"10.0.0.2", "10.0.0.3", "10.0.0.10", "192.168.0.1"}));
    const QList<QStringList> expected = {
        {"10.0.0.2", "10.0.0.3", "10.0.0.10", "192.168.0.1"},
        {"10.0.0.10", "192.168.0.1", "10.0.0.2", "10.0.0.3"},
        {"10.0.0.2", "10.0.0.3", "192.168.0.1", "10.0.0.10"},
        {"10.0.0.10", "192.168.0.1", "10.0.0.3", "10.0.0.2"},
        {"10.0.0.3", "10.0.0.2", "10.0.0.10", "192.168.0.1"},
    };
    for (int c : {2, 1, 0, 4, 3}) {
        f.ClickHeader(c);
        QCOMPARE(f.Dlg->SortColumn(), c);
        QCOMPARE(f.Column(0), expected[c]);
        // No descending order: a second click keeps the order.
        f.ClickHeader(c);
        QCOMPARE(f.Column(0), expected[c]);
    }
    // The last clicked column orders the rows of the next search.
    f.Net->Script.push_back({{Dev("10.0.0.5", "00-20-4A-00-00-09", "1-4-5.02", "", "b"),
                              Dev("10.0.0.7", "00-20-4A-00-00-08", "1-4-5.02", "", "a")},
                             {}});
    f.Search();
    QCOMPARE(f.Dlg->LastSortColumn(), 3);
    QCOMPARE(f.Column(0), QStringList({"10.0.0.7", "10.0.0.5"}));
}

void TestSearchDialog::firstDeviceSelected() {
    TFixture f({Dev("192.168.0.1", "00-20-4A-00-00-01", "1-4-5.02", "", "Type1", "First"),
                Dev("10.0.0.2", "00-20-4A-00-00-02"), Dev("10.0.0.10", "00-20-4A-00-00-03")});
    f.Show();
    QCOMPARE(f.Column(0), QStringList({"10.0.0.2", "10.0.0.10", "192.168.0.1"}));
    QCOMPARE(f.List()->currentRow(), 2);
    QCOMPARE(f.List()->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(S(f.Dlg->SelectedIP()), "192.168.0.1");
    QCOMPARE(S(f.Dlg->SelectedMAC()), "00-20-4A-00-00-01");
    QCOMPARE(S(f.Dlg->SelectedFirmware()), "1-4-5.02");
    QCOMPARE(S(f.Dlg->SelectedDeviceType()), "Type1");
    QCOMPARE(S(f.Dlg->SelectedDescription()), "First");
    QVERIFY(f.List()->hasFocus() || f.Dlg->focusWidget() == f.List());
    QVERIFY(f.Button("BBSelect")->isEnabled());
}

void TestSearchDialog::productionFilter() {
    std::vector<TXportPar> devices;
    for (int last : {49, 50, 75, 76, 99, 100, 101, 206, 213, 243, 250}) {
        devices.push_back(Dev("10.1.2." + std::to_string(last),
                              "00-20-4A-00-00-" + std::to_string(10 + last % 90)));
    }
    TFixture f(devices);
    f.Show();
    QCOMPARE(f.List()->rowCount(), 11);
    f.Popup("pmProductionMaskSensors");
    QVERIFY(f.Dlg->ProductionOnly());
    QCOMPARE(f.Column(0), QStringList({"10.1.2.50", "10.1.2.75", "10.1.2.99", "10.1.2.101",
                                       "10.1.2.206", "10.1.2.243"}));
    // The first device that passed the filter is the selected one.
    QCOMPARE(S(f.Dlg->SelectedIP()), "10.1.2.50");
    f.Search();
    QCOMPARE(f.List()->rowCount(), 6); // the filter holds for later searches
    f.Popup("pmProductionMaskAll");
    QCOMPARE(f.List()->rowCount(), 11);
    QCOMPARE(f.Net->Searches, 4);
}

void TestSearchDialog::dimmedRows() {
    TFixture f({Dev("10.0.0.1", "00-20-4A-00-00-01", "1-4-5.02"),
                Dev("10.0.0.2", "00-20-4A-00-00-02", "N/A"),
                Dev("10.0.0.3", "00-20-4A-00-00-03", "8-1-0.01"),
                Dev("10.0.0.4", "00-20-4A-00-00-04", "6-1-2.05", "0"),
                Dev("10.0.0.5", "00-20-4A-00-00-05", "6-1-2.05", "A"),
                Dev("10.0.0.6", "00-20-4A-00-00-06", "12-1-0.01")});
    f.Show();
    const QList<bool> dimmed = {false, true, true, false, true, true};
    const QColor grey = QApplication::palette().color(QPalette::Disabled, QPalette::Text);
    for (int r = 0; r < 6; ++r) {
        for (int c = 0; c < 6; ++c) {
            const QVariant fg = f.List()->item(r, c)->data(Qt::ForegroundRole);
            QCOMPARE(fg.isValid(), dimmed[r]);
            if (dimmed[r]) {
                QCOMPARE(fg.value<QBrush>().color(), grey);
            }
        }
    }
}

void TestSearchDialog::changeIPEnabling() {
    TFixture f({Dev("10.0.0.1", "00-20-4A-00-00-01", "6-1-2.05", "0"),
                Dev("10.0.0.2", "00-20-4A-00-00-02", "N/A"),
                Dev("10.0.0.3", "00-20-4A-00-00-03", "1-4-5.02")});
    f.Show();
    QPushButton* changeIP = f.Button("BBChangeIP");
    QCOMPARE(S(f.Dlg->SelectedIP()), "10.0.0.1");
    QVERIFY(!changeIP->isEnabled()); // the kind-6 device the engine found first
    f.SelectRow(1);
    QCOMPARE(S(f.Dlg->SelectedIP()), "10.0.0.2");
    QVERIFY(changeIP->isEnabled()); // "N/A" firmware: kind unreadable
    f.SelectRow(0);
    QVERIFY(!changeIP->isEnabled());
    f.SelectRow(2);
    QVERIFY(changeIP->isEnabled());
    QVERIFY(f.Button("BBHelpDeviceNotFound")->isEnabled());
    QVERIFY(f.Button("BBSelect")->isEnabled());
}

void TestSearchDialog::closing() {
    {
        // A double click on an empty list still closes with OK, and nothing is read.
        TFixture f;
        f.Show();
        QVERIFY(!f.Button("BBSelect")->isEnabled());
        QTest::keyClick(f.List(), Qt::Key_Return); // Select disabled: Enter does nothing
        QVERIFY(f.Dlg->isVisible());
        QTest::mouseDClick(f.List()->viewport(), Qt::LeftButton, {}, QPoint(100, 100));
        QCOMPARE(f.Dlg->result(), TfXPortSearchGUI::mrOk);
        QVERIFY(!f.Dlg->isVisible());
        QVERIFY(f.Dlg->SelectedIP().empty() && f.Dlg->SelectedMAC().empty() &&
                f.Dlg->SelectedFirmware().empty() && f.Dlg->SelectedDeviceType().empty() &&
                f.Dlg->SelectedDescription().empty());
    }
    for (const auto& [key, result] : {std::pair{Qt::Key_Return, TfXPortSearchGUI::mrOk},
                                      std::pair{Qt::Key_Escape, TfXPortSearchGUI::mrCancel}}) {
        TFixture f({Dev("10.0.0.1")});
        f.Show();
        QTest::keyClick(f.List(), key);
        QCOMPARE(f.Dlg->result(), result);
        QCOMPARE(S(f.Dlg->SelectedIP()), "10.0.0.1");
    }
}

void TestSearchDialog::errorKeepsRows() {
    TFixture f({Dev("10.0.0.1"), Dev("10.0.0.2", "00-20-4A-00-00-02")});
    f.Net->Script.push_back({{}, "Socket Error # 10049\r\nCannot assign requested address"});
    f.Show();
    f.SelectRow(1);
    f.Search();
    QCOMPARE(f.Errors.size(), 1u);
    QCOMPARE(S(f.Errors[0]), "Socket Error # 10049\r\nCannot assign requested address");
    QCOMPARE(f.Column(0), QStringList({"10.0.0.1", "10.0.0.2"}));
    QCOMPARE(S(f.Dlg->SelectedIP()), "10.0.0.2");
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(f.Button("BBSearch")->isEnabled());
    QVERIFY(f.Button("BBSelect")->isEnabled());
    QVERIFY(!f.Dlg->findChild<QLabel*>("LabSearchProgress")->isVisible());
    QCOMPARE(f.Net->JobsAlive.load(), 0); // the engine is gone after every search
}

void TestSearchDialog::firstSearchErrorEndsTheDialog() {
    // The search started by showing fails: the modal run ends with Cancel and
    // the error is the opener's to report; a later search's error is not.
    TFixture f;
    f.Net->Script.front().Error = "Socket Error # 10049";
    f.Show();
    QCOMPARE(f.Dlg->result(), int(TfXPortSearchGUI::mrCancel));
    QVERIFY(!f.Dlg->isVisible());
    QVERIFY(f.Errors.empty());
    QVERIFY(f.Dlg->ShowSearchError.has_value());
    QCOMPARE(S(*f.Dlg->ShowSearchError), "Socket Error # 10049");
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void TestSearchDialog::engineInputAndOutput() {
    // A description that is not UTF-8 shows byte for byte, its control
    // characters as symbols, and reads back exactly.
    const std::string desc = "Kotelna \xE8\x01 x";
    TFixture f({Dev("10.0.0.1", "00-20-4A-00-00-01", "1-4-5.02", "", "T", desc)});
    f.Show();
    QVERIFY(f.Dlg->SelectedDescription() == desc);
    QCOMPARE(f.List()->item(0, 4)->text(), QString::fromUtf8(u8"Kotelna \u00E8\u2401 x"));
    // The settings file goes to the engine only when one is named.
    QVERIFY(f.Net->SettingsLoaded.empty());
    f.Dlg->SettingsFileName = "/opt/quorvet/Quorvet.ini";
    f.Search();
    QCOMPARE(f.Net->SettingsLoaded.size(), 1u);
    QCOMPARE(S(f.Net->SettingsLoaded[0]), "/opt/quorvet/Quorvet.ini");
}

void TestSearchDialog::cancelRunningSearch() {
    TFixture f({Dev("10.0.0.1")});
    f.Show();
    f.Net->Block = true;
    QTest::mouseClick(f.Button("BBSearch"), Qt::LeftButton);
    QVERIFY(f.Dlg->Searching());
    QVERIFY(QApplication::overrideCursor() != nullptr);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    for (const char* name : {"BBSearch", "BBSelect", "BBChangeIP", "BBHelpDeviceNotFound"}) {
        QVERIFY2(!f.Button(name)->isEnabled(), name);
    }
    QVERIFY(f.Button("BBCancel")->isEnabled());
    // The window keeps running its event loop and shows the progress.
    auto* progress = f.Dlg->findChild<QLabel*>("LabSearchProgress");
    QVERIFY(progress->isVisible());
    QTRY_VERIFY(progress->text().contains("10.77.1.1"));
    // Clicks on the list are not taken while searching.
    QTest::mouseDClick(f.List()->viewport(), Qt::LeftButton, {}, QPoint(100, 100));
    QVERIFY(f.Dlg->isVisible());

    QElapsedTimer timer;
    timer.start();
    QTest::mouseClick(f.Button("BBCancel"), Qt::LeftButton);
    QCOMPARE(f.Dlg->result(), TfXPortSearchGUI::mrCancel);
    QVERIFY(!f.Dlg->isVisible());
    QVERIFY(f.Net->Cancelled);
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QCOMPARE(f.Column(0), QStringList({"10.0.0.1"})); // the rows of the last search stay
    f.Dlg.reset();
    QVERIFY(timer.elapsed() < 2000);
    QTRY_COMPARE(f.Net->JobsAlive.load(), 0);
}

void TestSearchDialog::destroyMidSearch() {
    TFixture f({Dev("10.0.0.1")});
    f.Net->Block = true;
    f.Net->CancelDelayMs = 800; // the engine is inside a receive
    f.Dlg->show();
    QVERIFY(f.Dlg->Searching());
    QTest::qWait(50);
    QElapsedTimer timer;
    timer.start();
    f.Dlg.reset(); // must neither wait for the engine nor leave it posting to a dead dialog
    QVERIFY2(timer.elapsed() < 400, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(f.Net->Cancelled);
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(f.Net->JobsAlive.load(), 0, 3000); // the engine goes when it returns
    QTest::qWait(50);
}

// ---- results as they arrive ---------------------------------------------------

void TestSearchDialog::rowsWhileSearching() {
    // Sorted by MAC; the engine reads C, A, B and its final list is A, B, C.
    const TXportPar a = Dev("10.0.0.3", "00-20-4A-00-00-0A", "1-4-5.02");
    const TXportPar b = Dev("10.0.0.1", "00-20-4A-00-00-0B", "N/A"); // dimmed
    const TXportPar c = Dev("10.0.0.2", "00-20-4A-00-00-0C", "1-4-5.02");
    TFixture f({Dev("10.9.9.9", "00-20-4A-00-00-99")});
    f.Show();
    f.ClickHeader(1);
    QCOMPARE(f.Dlg->LastSortColumn(), 1);
    f.Net->Script.push_back({{a, b, c}, {}, {c, a, b}, 150});
    f.Net->Block = true;
    QTest::mouseClick(f.Button("BBSearch"), Qt::LeftButton);
    QVERIFY(f.Dlg->Searching());

    // The first row read replaces the previous search's rows and is selected.
    QTRY_COMPARE(f.Column(0), QStringList({"10.0.0.2"}));
    QVERIFY(f.Dlg->Searching());
    QCOMPARE(S(f.Dlg->SelectedIP()), "10.0.0.2");
    // Later rows go in by the sort column; the selection stays on its device.
    QTRY_COMPARE(f.Column(0), QStringList({"10.0.0.3", "10.0.0.1", "10.0.0.2"}));
    QVERIFY(f.Dlg->Searching());
    QCOMPARE(S(f.Dlg->SelectedIP()), "10.0.0.2");
    QCOMPARE(f.List()->selectionModel()->selectedRows().size(), 1);
    const QColor grey = QApplication::palette().color(QPalette::Disabled, QPalette::Text);
    QCOMPARE(f.List()->item(1, 0)->data(Qt::ForegroundRole).value<QBrush>().color(), grey);
    QVERIFY(!f.List()->item(0, 0)->data(Qt::ForegroundRole).isValid() ||
            f.List()->item(0, 0)->data(Qt::ForegroundRole).value<QBrush>().color() != grey);
    QTRY_VERIFY(f.Progress()->text().contains("adapters done 0 of 1, devices read: 3"));
    QVERIFY(f.Progress()->text().contains("10.77.1.1"));
    QVERIFY(!f.Button("BBSelect")->isEnabled()); // still searching
    f.Shot("searchdialog-rows-arriving");

    // At the end the list is the engine's, its first device selected.
    QSignalSpy done(f.Dlg.get(), &TfXPortSearchGUI::SearchFinished);
    f.Release();
    QVERIFY(done.wait(5000));
    QCOMPARE(f.Column(0), QStringList({"10.0.0.3", "10.0.0.1", "10.0.0.2"}));
    QCOMPARE(S(f.Dlg->SelectedIP()), "10.0.0.3");
    QVERIFY(f.Button("BBSelect")->isEnabled());
    QVERIFY(!f.Progress()->isVisible());
}

void TestSearchDialog::rowsWhileSearchingFiltered() {
    TFixture f;
    f.Show();
    f.Net->Script.push_back({{}, {}, {Dev("10.1.2.49"), Dev("10.1.2.50", "00-20-4A-00-00-02")}});
    f.Net->Block = true;
    f.Dlg->findChild<QAction*>("pmProductionMaskSensors")->trigger();
    QVERIFY(f.Dlg->Searching());
    QTRY_COMPARE(f.Column(0), QStringList({"10.1.2.50"}));
    QTRY_VERIFY(f.Progress()->text().contains("devices read: 2"));
    QCOMPARE(S(f.Dlg->SelectedIP()), "10.1.2.50");
    QSignalSpy done(f.Dlg.get(), &TfXPortSearchGUI::SearchFinished);
    f.Release();
    QVERIFY(done.wait(5000));
    QCOMPARE(f.List()->rowCount(), 0); // the engine's final list was empty
}

void TestSearchDialog::manyRowsInBatches() {
    // A thousand devices read at once must not cost a re-sort each.
    std::vector<TXportPar> devices;
    for (int i = 0; i < 1000; ++i) {
        devices.push_back(
            Dev("10.2." + std::to_string(i / 250) + "." + std::to_string(i % 250),
                "00-20-4A-00-" + std::to_string(10 + i / 90) + "-" + std::to_string(10 + i % 90)));
    }
    TFixture f;
    f.Show();
    f.Net->Script.push_back({devices, {}, devices});
    f.Net->Block = true;
    int sorts = 0;
    QObject::connect(f.List()->model(), &QAbstractItemModel::layoutChanged, [&] { ++sorts; });
    QTest::mouseClick(f.Button("BBSearch"), Qt::LeftButton);
    QTRY_COMPARE(f.List()->rowCount(), 1000);
    QVERIFY(f.Dlg->Searching());
    QVERIFY2(sorts < 100, qPrintable(QString::number(sorts)));
    QSignalSpy done(f.Dlg.get(), &TfXPortSearchGUI::SearchFinished);
    f.Release();
    QVERIFY(done.wait(5000));
    QCOMPARE(f.List()->rowCount(), 1000);
    QCOMPARE(S(f.Dlg->SelectedIP()), "10.2.0.0");
}

void TestSearchDialog::cancelKeepsRowsRead() {
    // Cancel while the search that showing started is reading devices: the
    // rows read so far stay for the opener.
    TFixture f;
    f.Net->Script.front().Stream = {Dev("10.0.0.5", "00-20-4A-00-00-05"),
                                    Dev("10.0.0.4", "00-20-4A-00-00-04")};
    f.Net->Script.front().StreamDelayMs = 20;
    f.Net->Block = true;
    f.Dlg->show();
    QVERIFY(f.Dlg->Searching());
    QTRY_COMPARE(f.List()->rowCount(), 2);
    QTest::mouseClick(f.Button("BBCancel"), Qt::LeftButton);
    f.Shot("searchdialog-after-cancel"); // closed: drawn as it was left
    QCOMPARE(f.Dlg->result(), TfXPortSearchGUI::mrCancel);
    QVERIFY(!f.Dlg->isVisible());
    QVERIFY(f.Net->Cancelled);
    QCOMPARE(f.Column(0), QStringList({"10.0.0.4", "10.0.0.5"}));
    QCOMPARE(S(f.Dlg->SelectedIP()), "10.0.0.5"); // the first one read
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(f.Errors.empty());
    f.Dlg.reset();
    QTRY_COMPARE(f.Net->JobsAlive.load(), 0);
}

void TestSearchDialog::failedSearchRestoresRows() {
    TFixture f({Dev("10.0.0.1"), Dev("10.0.0.2", "00-20-4A-00-00-02")});
    f.Show();
    f.SelectRow(1);
    f.Net->Script.push_back({{}, "Socket Error # 10054", {Dev("10.0.0.7", "00-20-4A-00-00-07")}});
    f.Search();
    QCOMPARE(f.Errors.size(), 1u);
    QCOMPARE(f.Column(0), QStringList({"10.0.0.1", "10.0.0.2"}));
    QCOMPARE(S(f.Dlg->SelectedIP()), "10.0.0.2");
    QCOMPARE(f.HintCalls(), 0); // an error is reported as it is, without a hint
    QVERIFY(!f.Note()->isVisible());
}

void TestSearchDialog::deviceLimitNote() {
    TFixture f({Dev("10.0.0.1")});
    f.Net->Script.front().Limits = {"10.77.1.1", "10.78.1.1"};
    f.Net->Script.push_back({{Dev("10.0.0.1")}, {}});
    f.Show();
    QVERIFY(f.Note()->isVisible());
    QCOMPARE(f.Note()->text(), "Device limit reached on adapter 10.77.1.1, 10.78.1.1: further "
                               "devices ignored.");
    QCOMPARE(f.Dlg->StatusNote(), f.Note()->text());
    f.Shot("searchdialog-limit-note");
    QCOMPARE(f.HintCalls(), 0); // every device was read
    // A click puts the note away; the next search without a limit leaves none.
    QTest::mouseClick(f.Note(), Qt::LeftButton);
    QVERIFY(!f.Note()->isVisible());
    f.Search();
    QVERIFY(f.Dlg->StatusNote().isEmpty());
    QVERIFY(!f.Note()->isVisible());
}

void TestSearchDialog::hintWhenNothingUseful() {
    {
        TFixture f;
        f.Dlg->SettingsFileName = "/opt/quorvet/Quorvet.ini";
        QSignalSpy hint(f.Dlg.get(), &TfXPortSearchGUI::HintReady);
        f.Show();
        QVERIFY(hint.count() == 1 || hint.wait(5000));
        QVERIFY(f.Note()->isVisible());
        QCOMPARE(f.Note()->text(),
                 "No device found. Likely cause: firewall: UDP port 30718 is dropped");
        f.Shot("searchdialog-hint");
        std::lock_guard<std::mutex> g(f.Hint->Lock);
        QCOMPARE(f.Hint->Calls, 1);
        QVERIFY(f.Hint->Outcome == TSearchOutcome::NoDevice);
        QCOMPARE(S(f.Hint->SettingsFile), "/opt/quorvet/Quorvet.ini");
        QVERIFY(!f.Hint->OnUiThread); // the checks may take seconds
    }
    {
        TFixture f({Dev("10.0.0.1"), Dev("10.0.0.2", "00-20-4A-00-00-02", "N/A")});
        QSignalSpy hint(f.Dlg.get(), &TfXPortSearchGUI::HintReady);
        f.Show();
        QVERIFY(hint.count() == 1 || hint.wait(5000));
        QCOMPARE(f.Note()->text(), "Some devices' details could not be read. Likely cause: "
                                   "firewall: UDP port 30718 is dropped");
        QVERIFY(f.Hint->Outcome == TSearchOutcome::DetailsUnreadable);
        // A search that finds every device's details takes the hint away.
        f.Net->Script.push_back({{Dev("10.0.0.1")}, {}});
        f.Search();
        QVERIFY(!f.Note()->isVisible());
        QCOMPARE(f.HintCalls(), 1);
    }
    {
        // No cause found: nothing is shown.
        TFixture f;
        f.Hint->Line.clear();
        QSignalSpy hint(f.Dlg.get(), &TfXPortSearchGUI::HintReady);
        f.Show();
        QVERIFY(hint.count() == 1 || hint.wait(5000));
        QVERIFY(!f.Note()->isVisible());
    }
}

QTEST_MAIN(TestSearchDialog)
#include "test_searchdialog.moc"
