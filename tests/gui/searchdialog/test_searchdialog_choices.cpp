// The search dialog remembers the user's size, column widths, sort column and
// filter in the per-user settings store (a temporary one here), and widens
// its columns to the devices' texts.

#include "FakeSearch.h"
#include "guicommon/uGuiCommon.h"
#include "platform/UserSettingsStore.h"
#include "searchdialog/uDeviceListColumns.h"
#include "searchdialog/uUserChoices.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtTest>

#include <stdexcept>

namespace {

const char* const kKey = "\\Software\\KavenLoggers\\Quorvet";

// A store that fails every read and write, as one on a broken disk would.
class TBrokenStore final : public platform::TUserSettingsStore {
public:
    int Calls = 0;
    std::optional<std::string> ReadString(const std::string&, const std::string&) override {
        ++Calls;
        throw std::runtime_error("Failed to get data");
    }
    void WriteString(const std::string&, const std::string&, const std::string&) override {
        ++Calls;
        throw std::runtime_error("Failed to set data");
    }
    std::string Location() const override { return "broken"; }
};

// One dialog lifetime with a store.
struct TDialog {
    std::shared_ptr<TFakeNetwork> Net = std::make_shared<TFakeNetwork>();
    std::unique_ptr<TfXPortSearchGUI> Dlg;

    TDialog(platform::TUserSettingsStore* store, std::vector<TXportPar> devices,
            std::uint8_t buttons = 0x3E) {
        Net->Script.push_back({std::move(devices), {}});
        Dlg = std::make_unique<TfXPortSearchGUI>(nullptr, FakeFactory(Net));
        Dlg->ButtonSet = buttons;
        Dlg->HintProvider = {};
        Dlg->ChoicesStore = store;
    }
    QTableWidget* List() const { return Dlg->findChild<QTableWidget*>("LvDeviceList"); }
    QHeaderView* Header() const { return List()->horizontalHeader(); }
    QWidget* Panel() const { return Dlg->findChild<QWidget*>("PnlButtons"); }
    void Show() {
        QSignalSpy done(Dlg.get(), &TfXPortSearchGUI::SearchFinished);
        Dlg->show();
        QVERIFY(done.wait(5000));
    }
    void Trigger(const char* action) {
        QSignalSpy done(Dlg.get(), &TfXPortSearchGUI::SearchFinished);
        Dlg->findChild<QAction*>(action)->trigger();
        QVERIFY(done.wait(5000));
    }
    void ClickHeader(int column) {
        const int x = Header()->sectionViewportPosition(column) + Header()->sectionSize(column) / 2;
        QTest::mouseClick(Header()->viewport(), Qt::LeftButton, {},
                          QPoint(x, Header()->height() / 2));
    }
    QTableWidgetItem* Cell(const QString& ip, int column) const {
        for (int r = 0; r < List()->rowCount(); ++r) {
            if (List()->item(r, 0)->text() == ip) {
                return List()->item(r, column);
            }
        }
        return nullptr;
    }
    void Shot(const char* name) const {
        const QString dir = qEnvironmentVariable("QV_SCREENSHOT_DIR");
        if (!dir.isEmpty()) {
            Dlg->grab().save(dir + "/" + name + ".png");
        }
    }
};

std::vector<TXportPar> SiteDevices() {
    return {Dev("10.1.2.60", "00-20-4A-00-00-01", "1-4-5.02", "", "QV-Logger", "Boiler room"),
            Dev("10.1.2.7", "00-20-4A-00-00-02", "6-1-0.03", "0", "QV-Probe", "Hall"),
            Dev("10.1.2.120", "00-20-4A-00-00-03", "5-2-3.04", "", "QV-Logger", "Roof")};
}

} // namespace

class TestSearchDialogChoices : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void rememberedAcrossDialogs();
    void keptBesideOtherValues();
    void garbageIgnoredValueByValue_data();
    void garbageIgnoredValueByValue();
    void brokenStoreFallsBackQuietly();
    void resizedListKeepsButtonsAtBottom();
    void columnsGrowToContent();
    void cutTextShowsTooltip();

private:
    std::unique_ptr<platform::TUserSettingsStore> Store() {
        return platform::TUserSettingsStore::OpenOrCreate(kKey);
    }
    QString StorePath() const { return dir_->path() + "/config/KavenLoggers/Quorvet.conf"; }

    std::unique_ptr<QTemporaryDir> dir_;
    QByteArray savedConfig_;
    std::vector<std::string> errors_;
};

void TestSearchDialogChoices::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    savedConfig_ = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", (dir_->path() + "/config").toUtf8());
    errors_.clear();
    SetErrorBoxHook([this](const std::string& m) { errors_.push_back(m); });
}

void TestSearchDialogChoices::cleanup() {
    SetErrorBoxHook({});
    if (savedConfig_.isNull()) {
        qunsetenv("XDG_CONFIG_HOME");
    } else {
        qputenv("XDG_CONFIG_HOME", savedConfig_);
    }
    dir_.reset();
}

void TestSearchDialogChoices::rememberedAcrossDialogs() {
    {
        auto store = Store();
        TDialog d(store.get(), SiteDevices());
        d.Show();
        QCOMPARE(d.Dlg->size(), QSize(515, 297)); // nothing remembered yet: the design
        d.Dlg->resize(700, 420);
        d.Header()->resizeSection(TfXPortSearchGUI::colMAC, 170); // dragged by the user
        d.ClickHeader(TfXPortSearchGUI::colDescription);
        d.Trigger("pmProductionMaskSensors");
        QTest::mouseClick(d.Dlg->findChild<QPushButton*>("BBCancel"), Qt::LeftButton);
        QVERIFY(!d.Dlg->isVisible());
    }
    // The next dialog, with the store opened afresh as by the next run.
    auto store = Store();
    TDialog d(store.get(), SiteDevices());
    d.Show();
    QCOMPARE(d.Dlg->size(), QSize(700, 420));
    QCOMPARE(d.List()->geometry(), QRect(0, 0, 700, 420 - 73));
    QCOMPARE(d.Header()->sectionSize(TfXPortSearchGUI::colMAC), 170);
    QCOMPARE(d.Header()->sectionSize(TfXPortSearchGUI::colIP), 90);
    QCOMPARE(d.Dlg->SortColumn(), int(TfXPortSearchGUI::colDescription));
    QCOMPARE(d.Dlg->LastSortColumn(), int(TfXPortSearchGUI::colDescription));
    QVERIFY(d.Dlg->ProductionOnly());
    // Filtered (10.1.2.7 is no production address) and sorted by description.
    QCOMPARE(d.List()->rowCount(), 2);
    QCOMPARE(d.List()->item(0, TfXPortSearchGUI::colDescription)->text(), "Boiler room");
    QCOMPARE(d.List()->item(1, TfXPortSearchGUI::colDescription)->text(), "Roof");
    d.Shot("search-dialog-remembered");
    QVERIFY(errors_.empty());
}

void TestSearchDialogChoices::keptBesideOtherValues() {
    {
        QDir().mkpath(dir_->path() + "/config/KavenLoggers");
        QFile f(StorePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Files]\nFolder=/srv/site files/\n");
    }
    auto store = Store();
    TDialog d(store.get(), SiteDevices());
    d.Show();
    d.Dlg->accept();
    QCOMPARE(store->ReadString("Files", "Folder"), std::optional<std::string>("/srv/site files/"));
    QCOMPARE(store->ReadString("UserChoices", "SearchDialogWidth"),
             std::optional<std::string>("515"));
    QCOMPARE(store->ReadString("UserChoices", "SearchSortColumn"),
             std::optional<std::string>("IP"));
    QCOMPARE(store->ReadString("UserChoices", "SearchFilter"), std::optional<std::string>("All"));
    QCOMPARE(store->ReadString("UserChoices", "SearchColumnWidthDescription"),
             std::optional<std::string>("156"));
}

void TestSearchDialogChoices::garbageIgnoredValueByValue_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    for (const char* width : {"-700", "0", "99999999999", "700px", "7 00", "0x2bc", "", "+700"}) {
        QTest::addRow("width %s", width) << "SearchDialogWidth" << width;
    }
    for (const char* width : {"-1", "3", "5000", "wide", "1e3"}) {
        QTest::addRow("column %s", width) << "SearchColumnWidthMAC" << width;
    }
    for (const char* column : {"Colour", "7", "-1", "IP Address"}) {
        QTest::addRow("sort %s", column) << "SearchSortColumn" << column;
    }
    for (const char* filter : {"yes", "1", "Sensors"}) {
        QTest::addRow("filter %s", filter) << "SearchFilter" << filter;
    }
}

void TestSearchDialogChoices::garbageIgnoredValueByValue() {
    QFETCH(QString, name);
    QFETCH(QString, value);
    {
        // Sound values around the garbage one; that one alone is passed over.
        auto store = Store();
        const std::vector<std::pair<const char*, const char*>> sound = {
            {"SearchDialogWidth", "640"},     {"SearchDialogHeight", "400"},
            {"SearchColumnWidthMAC", "150"},  {"SearchColumnWidthFirmware", "140"},
            {"SearchSortColumn", "firmware"}, {"SearchFilter", "production"}};
        for (const auto& [n, v] : sound) {
            store->WriteString("UserChoices", n, n == name ? value.toStdString() : v);
        }
    }
    auto store = Store();
    TDialog d(store.get(), SiteDevices());
    d.Show();
    QCOMPARE(d.Dlg->width(), name == "SearchDialogWidth" ? 515 : 640);
    QCOMPARE(d.Dlg->height(), 400);
    QCOMPARE(d.Header()->sectionSize(TfXPortSearchGUI::colMAC),
             name == "SearchColumnWidthMAC" ? 125 : 150);
    QCOMPARE(d.Header()->sectionSize(TfXPortSearchGUI::colFirmware), 140);
    QCOMPARE(d.Dlg->SortColumn(),
             name == "SearchSortColumn" ? 0 : int(TfXPortSearchGUI::colFirmware));
    QCOMPARE(d.Dlg->ProductionOnly(), name != "SearchFilter");
    QVERIFY(errors_.empty());
}

void TestSearchDialogChoices::brokenStoreFallsBackQuietly() {
    TBrokenStore broken;
    TDialog d(&broken, SiteDevices());
    d.Show();
    QCOMPARE(d.Dlg->size(), QSize(515, 297));
    QCOMPARE(d.Header()->sectionSize(TfXPortSearchGUI::colMAC), 125);
    d.Dlg->resize(600, 350);
    d.Dlg->accept();
    QVERIFY(broken.Calls > 0);
    QVERIFY(errors_.empty());
    QCOMPARE(d.Dlg->result(), int(TfXPortSearchGUI::mrOk));

    // A store whose file cannot be replaced: still no message, nothing lost.
    QDir().mkpath(dir_->path() + "/config/KavenLoggers");
    QVERIFY(QDir().mkpath(StorePath() + ".new")); // in the way of the new file
    auto store = Store();
    TDialog e(store.get(), SiteDevices());
    e.Show();
    e.Dlg->reject();
    QVERIFY(errors_.empty());
    QCOMPARE(store->ReadString("UserChoices", "SearchDialogWidth"), std::nullopt);
}

void TestSearchDialogChoices::resizedListKeepsButtonsAtBottom() {
    TDialog d(nullptr, SiteDevices(), 0x32);
    d.Show();
    QCOMPARE(d.Dlg->minimumSize(), QSize(515, 265));
    d.Dlg->resize(820, 500);
    QCOMPARE(d.List()->geometry(), QRect(0, 0, 820, 500 - 41));
    QCOMPARE(d.Panel()->geometry(), QRect(0, 500 - 41, 820, 41));
    for (const char* b : {"BBSearch", "BBSelect", "BBCancel"}) {
        QVERIFY2(d.Panel()->rect().contains(d.Dlg->findChild<QPushButton*>(b)->geometry()), b);
    }
    // The note strip follows the foot of the list.
    auto* note = d.Dlg->findChild<QLabel*>("LabSearchNote");
    QCOMPARE(note->geometry().bottom(), 500 - 41 - 3);
    QCOMPARE(note->width(), 820 - 4);
    d.Dlg->resize(100, 100); // never below the design
    QCOMPARE(d.Dlg->size(), QSize(515, 265));
}

void TestSearchDialogChoices::columnsGrowToContent() {
    const std::string longFirmware = "1-4-5.02 build 2026-11-30 rc7";
    const std::string hugeDescription(600, 'W');
    {
        auto store = Store();
        store->WriteString("UserChoices", "SearchColumnWidthDeviceType", "300");
    }
    auto store = Store();
    TDialog d(store.get(),
              {Dev("10.1.2.60", "00-20-4A-00-00-01", longFirmware, "", "T", hugeDescription),
               Dev("10.1.2.61", "00-20-4A-00-00-02", "1-4-5.02", "", "T", "D")});
    d.Show();
    const QFontMetrics fm = d.List()->fontMetrics();
    // Widened to the widest text, margins included.
    QVERIFY(d.Header()->sectionSize(TfXPortSearchGUI::colFirmware) >
            fm.horizontalAdvance(QString::fromStdString(longFirmware)));
    QCOMPARE(d.Header()->sectionSize(TfXPortSearchGUI::colFirmware),
             static_cast<QAbstractItemView*>(d.List())->sizeHintForColumn(
                 TfXPortSearchGUI::colFirmware));
    // Never narrower than the design or the user's width.
    QCOMPARE(d.Header()->sectionSize(TfXPortSearchGUI::colIP), 90);
    QCOMPARE(d.Header()->sectionSize(TfXPortSearchGUI::colDeviceType), 300);
    // A text beyond all reason does not push the rest off the window.
    QCOMPARE(d.Header()->sectionSize(TfXPortSearchGUI::colDescription),
             devicelist::kMaxFittedWidth);
    QCOMPARE(d.Header()->sectionSize(TfXPortSearchGUI::colAdapter), 0);

    // Grown widths are the texts', not the user's: not remembered.
    d.Dlg->reject();
    QCOMPARE(store->ReadString("UserChoices", "SearchColumnWidthFirmware"),
             std::optional<std::string>("60"));
    QCOMPARE(store->ReadString("UserChoices", "SearchColumnWidthDescription"),
             std::optional<std::string>("156"));

    // Shown again, the long texts gone: the columns are back at the user's
    // widths.
    {
        std::lock_guard<std::mutex> g(d.Net->Lock);
        d.Net->Script = {{{Dev("10.1.2.61")}, {}}};
        d.Net->Searches = 0;
    }
    d.Show();
    QCOMPARE(d.List()->rowCount(), 1);
    QCOMPARE(d.Header()->sectionSize(TfXPortSearchGUI::colFirmware), 60);
    QCOMPARE(d.Header()->sectionSize(TfXPortSearchGUI::colDescription), 156);
    QCOMPARE(d.Header()->sectionSize(TfXPortSearchGUI::colDeviceType), 300);
}

void TestSearchDialogChoices::cutTextShowsTooltip() {
    const QString description = "Packing line 2, cold store, north wall beside door 4";
    TDialog d(nullptr, {Dev("10.1.2.60", "00-20-4A-00-00-01", "1-4-5.02", "", "T",
                            description.toStdString())});
    d.Show();
    QTableWidgetItem* cell = d.Cell("10.1.2.60", TfXPortSearchGUI::colDescription);
    QVERIFY(cell);
    // Fitted: nothing is cut, no tooltip.
    QVERIFY(!cell->data(Qt::ToolTipRole).isValid());
    QVERIFY(!d.Cell("10.1.2.60", TfXPortSearchGUI::colIP)->data(Qt::ToolTipRole).isValid());
    // Dragged narrower by the user: the whole text as the tooltip.
    d.Header()->resizeSection(TfXPortSearchGUI::colDescription, 60);
    QCOMPARE(cell->data(Qt::ToolTipRole).toString(), description);
    // Shown as a tooltip over the cell.
    const QRect rect = d.List()->visualItemRect(cell);
    QHelpEvent help(QEvent::ToolTip, rect.center(),
                    d.List()->viewport()->mapToGlobal(rect.center()));
    QCoreApplication::sendEvent(d.List()->viewport(), &help);
    QTRY_COMPARE(QToolTip::text(), description);
}

QTEST_MAIN(TestSearchDialogChoices)
#include "test_searchdialog_choices.moc"
