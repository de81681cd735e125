// The search dialog's "Refresh every N s" choice, driven through a scripted
// search, offscreen. A "second" of the choice lasts 20 ms here.

#include "FakeSearch.h"
#include "guicommon/uGuiCommon.h"
#include "searchdialog/uSearchRefresh.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

namespace {

constexpr int kSecondMs = 20;

struct TRefreshFixture {
    std::shared_ptr<TFakeNetwork> Net = std::make_shared<TFakeNetwork>();
    std::unique_ptr<TfXPortSearchGUI> Dlg;
    std::vector<std::string> Errors;

    explicit TRefreshFixture(std::vector<TFakeResult> script, std::uint8_t buttons = 0x32) {
        Net->Script = std::move(script);
        Dlg = std::make_unique<TfXPortSearchGUI>(nullptr, FakeFactory(Net));
        Dlg->ButtonSet = buttons;
        Dlg->HintProvider = {};
        Refresh()->MillisecondsPerSecond = kSecondMs;
        SetErrorBoxHook([this](const std::string& m) { Errors.push_back(m); });
    }
    ~TRefreshFixture() { SetErrorBoxHook({}); }
    TRefreshFixture(const TRefreshFixture&) = delete;
    TRefreshFixture& operator=(const TRefreshFixture&) = delete;

    TSearchRefresh* Refresh() const { return Dlg->findChild<TSearchRefresh*>("SearchRefresh"); }
    QComboBox* Choice() const { return Dlg->findChild<QComboBox*>("CbRefresh"); }
    QTableWidget* List() const { return Dlg->findChild<QTableWidget*>("LvDeviceList"); }
    int Searches() const {
        std::lock_guard<std::mutex> g(Net->Lock);
        return Net->Searches;
    }
    void Show() {
        QSignalSpy done(Dlg.get(), &TfXPortSearchGUI::SearchFinished);
        Dlg->show();
        QVERIFY(done.wait(5000));
    }
    // Waits for `count` more searches to end.
    void WaitSearches(int count) {
        QSignalSpy done(Dlg.get(), &TfXPortSearchGUI::SearchFinished);
        for (int i = 0; i < count; ++i) {
            if (done.size() <= i) {
                QVERIFY(done.wait(5000));
            }
        }
    }
    QStringList Column(int column) const {
        QStringList texts;
        for (int r = 0; r < List()->rowCount(); ++r) {
            texts << List()->item(r, column)->text();
        }
        return texts;
    }
    void SelectMAC(const QString& mac) {
        for (int r = 0; r < List()->rowCount(); ++r) {
            if (List()->item(r, 1)->text() == mac) {
                const QRect rect = List()->visualRect(List()->model()->index(r, 0));
                QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, rect.center());
            }
        }
    }
    void Shot(const char* name) const {
        const QString dir = qEnvironmentVariable("QV_SCREENSHOT_DIR");
        if (!dir.isEmpty()) {
            Dlg->grab().save(dir + "/" + name + ".png");
        }
    }
};

const std::string MacA = "00-20-4A-00-00-0A";
const std::string MacB = "00-20-4A-00-00-0B";
const std::string MacC = "00-20-4A-00-00-0C";

} // namespace

class TestSearchRefresh : public QObject {
    Q_OBJECT
private slots:
    void offByDefaultAndPlacedInTheFreeSpace();
    void repeatsWithTheNewListAndKeepsTheSelection();
    void neverStacksSearches();
    void stopsWhenTurnedOffOnErrorAndOnClose();
};

void TestSearchRefresh::offByDefaultAndPlacedInTheFreeSpace() {
    {
        // The main window's dialog: one row, the choice where Help would be.
        TRefreshFixture f({{{Dev("10.0.0.1", MacA)}, {}}});
        f.Show();
        QCOMPARE(f.Choice()->currentIndex(), 0);
        QCOMPARE(f.Choice()->currentText(), QStringLiteral("Refresh: off"));
        QCOMPARE(f.Choice()->count(), 5);
        QCOMPARE(f.Choice()->itemText(1), QStringLiteral("Refresh every 5 s"));
        QCOMPARE(f.Choice()->itemText(4), QStringLiteral("Refresh every 60 s"));
        QVERIFY(f.Choice()->isVisible());
        QCOMPARE(f.Choice()->geometry(), QRect(132, 8, 209, 25));
        QCOMPARE(f.Dlg->size(), QSize(515, 224 + 41)); // the panel keeps its size
        f.Shot("searchrefresh-0x32");
        // Off: no search of its own.
        QTest::qWait(10 * kSecondMs);
        QCOMPARE(f.Searches(), 1);
    }
    {
        // Every button: the second row, beside Change IP.
        TRefreshFixture f({{{Dev("10.0.0.1", MacA)}, {}}}, 0x3E);
        f.Show();
        QVERIFY(f.Choice()->isVisible());
        QCOMPARE(f.Choice()->geometry(), QRect(132, 40, 209, 25));
        f.Shot("searchrefresh-0x3E");
    }
    {
        // Select and Help in the only row: no room, not offered.
        TRefreshFixture f({{{Dev("10.0.0.1", MacA)}, {}}}, 0x14);
        f.Show();
        QVERIFY(!f.Choice()->isVisible());
    }
}

void TestSearchRefresh::repeatsWithTheNewListAndKeepsTheSelection() {
    TRefreshFixture f({
        {{Dev("10.0.0.1", MacA), Dev("10.0.0.2", MacB)}, {}},
        // B moved, C came: the list follows, B stays selected.
        {{Dev("10.0.0.1", MacA), Dev("10.0.0.3", MacC), Dev("10.0.0.9", MacB)}, {}},
        // A gone.
        {{Dev("10.0.0.3", MacC), Dev("10.0.0.9", MacB)}, {}},
    });
    f.Show();
    f.SelectMAC(QString::fromStdString(MacB));
    QCOMPARE(f.Dlg->SelectedMAC(), MacB);
    f.Choice()->setCurrentIndex(1); // every 5 "s"
    QCOMPARE(f.Refresh()->IntervalSeconds(), 5);
    f.WaitSearches(1);
    QCOMPARE(f.Column(0), QStringList({"10.0.0.1", "10.0.0.3", "10.0.0.9"}));
    QCOMPARE(f.Dlg->SelectedMAC(), MacB);
    QCOMPARE(f.Dlg->SelectedIP(), "10.0.0.9");
    f.WaitSearches(1);
    QCOMPARE(f.Column(0), QStringList({"10.0.0.3", "10.0.0.9"}));
    QCOMPARE(f.Dlg->SelectedMAC(), MacB);
    QVERIFY(f.Refresh()->Waiting());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(f.Dlg->findChild<QPushButton*>("BBSelect")->isEnabled());
    // A selected device that goes leaves the first row selected.
    f.SelectMAC(QString::fromStdString(MacC));
    {
        std::lock_guard<std::mutex> g(f.Net->Lock);
        f.Net->Script.push_back({{Dev("10.0.0.9", MacB)}, {}});
    }
    f.WaitSearches(2);
    QCOMPARE(f.Dlg->SelectedMAC(), MacB);
}

void TestSearchRefresh::neverStacksSearches() {
    TRefreshFixture f({{{Dev("10.0.0.1", MacA)}, {}}});
    f.Show();
    f.Net->Block = true; // every further search waits to be let go
    f.Choice()->setCurrentIndex(1);
    QTRY_COMPARE_WITH_TIMEOUT(f.Searches(), 2, 5000);
    QVERIFY(f.Dlg->Searching());
    QTest::qWait(20 * kSecondMs); // four intervals
    QCOMPARE(f.Searches(), 2);
    QCOMPARE(f.Net->JobsAlive.load(), 1);
    {
        std::lock_guard<std::mutex> g(f.Net->Lock);
        f.Net->Block = false;
        f.Net->Wake.notify_all();
    }
    f.WaitSearches(2); // the blocked one, then the next refresh
    QCOMPARE(f.Searches(), 3);
}

void TestSearchRefresh::stopsWhenTurnedOffOnErrorAndOnClose() {
    {
        TRefreshFixture f({{{Dev("10.0.0.1", MacA)}, {}}});
        f.Show();
        f.Choice()->setCurrentIndex(2);
        f.WaitSearches(1);
        f.Choice()->setCurrentIndex(0);
        QVERIFY(!f.Refresh()->Waiting());
        const int searches = f.Searches();
        QTest::qWait(30 * kSecondMs);
        QCOMPARE(f.Searches(), searches);
    }
    {
        // One error box, then no more refreshing.
        TRefreshFixture f({{{Dev("10.0.0.1", MacA)}, {}}, {{}, "Socket Error # 10050"}});
        f.Show();
        f.Choice()->setCurrentIndex(1);
        f.WaitSearches(1);
        QCOMPARE(f.Errors.size(), 1u);
        QCOMPARE(f.Choice()->currentIndex(), 0);
        QTest::qWait(15 * kSecondMs);
        QCOMPARE(f.Searches(), 2);
        QCOMPARE(f.Column(0), QStringList({"10.0.0.1"})); // the rows stay
    }
    {
        // Closed while a refresh runs: cancelled, and nothing more.
        TRefreshFixture f({{{Dev("10.0.0.1", MacA)}, {}}});
        f.Show();
        f.Net->Block = true;
        f.Choice()->setCurrentIndex(1);
        QTRY_VERIFY_WITH_TIMEOUT(f.Dlg->Searching(), 5000);
        f.Dlg->reject();
        QVERIFY(f.Net->Cancelled);
        QCOMPARE(f.Choice()->currentIndex(), 0);
        QVERIFY(!f.Refresh()->Waiting());
        QTest::qWait(15 * kSecondMs);
        QCOMPARE(f.Searches(), 2);
    }
}

QTEST_MAIN(TestSearchRefresh)
#include "test_searchrefresh.moc"
