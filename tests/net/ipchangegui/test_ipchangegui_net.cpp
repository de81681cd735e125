// End to end, inside the private test network of ipchangegui.net and on an X
// display of its own: the search dialog with all its buttons, the real search
// and IP change engines, and quorvet-devsim. Each change is made through the
// IP change dialog as a user would, and the automatic new search must list
// the device at its new address.

#include "ModalDriver.h"
#include "common/TestNet.h"
#include "guicommon/uGuiCommon.h"
#include "ipchange/gui/uXPortIPChangeGUI.h"
#include "searchdialog/ipedit/IPEdit.h"
#include "searchdialog/uXPortSearchGUI.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <fstream>
#include <sstream>

namespace {

template <class T> T* Child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(name);
    if (!c) {
        qFatal("no child %s", name);
    }
    return c;
}

QString Cell(QTableWidget* list, int row, int column) {
    return list->item(row, column)->text();
}

int RowOf(QTableWidget* list, const QString& ip) {
    for (int r = 0; r < list->rowCount(); ++r) {
        if (Cell(list, r, 0) == ip) {
            return r;
        }
    }
    return -1;
}

// Where screenshots go: QV_SCREENSHOT_DIR, else the test's build folder.
QString ShotPath(const QString& name) {
    QString dir = qEnvironmentVariable("QV_SCREENSHOT_DIR");
    if (dir.isEmpty()) {
        dir = QStringLiteral(QV_BUILD_DIR);
    }
    return QDir(dir).filePath(name);
}

// Types into a widget as a user would: click it, select what is there, then
// type, each key going where the focus is (the IP entry moves on at a dot).
// On an X display the window becomes active, and only then takes the focus,
// by events of the display: each step waits for the focus it needs, never
// for a time, so that a busy machine cannot send keys to the wrong field.
// False when the focus did not come.
bool Retype(QWidget* w, const QString& text) {
    constexpr int Patience = 10000;
    if (!QTest::qWaitForWindowActive(w->window(), Patience)) {
        qWarning("Retype: window \"%s\" not active", qPrintable(w->window()->windowTitle()));
        return false;
    }
    QTest::mouseClick(w, Qt::LeftButton);
    if (!QTest::qWaitFor([w] { return QApplication::focusWidget() == w; }, Patience)) {
        qWarning("Retype: no focus in %s", qPrintable(w->objectName()));
        return false;
    }
    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    for (const QChar c : text) {
        QWidget* focus = QApplication::focusWidget();
        if (!focus) {
            qWarning("Retype: the focus went before '%c'", c.toLatin1());
            return false;
        }
        QTest::keyClick(focus, c.toLatin1());
        // A dot hands the focus to the next field of the IP entry.
        if (c == QLatin1Char('.') && !QTest::qWaitFor(
                                         [focus] {
                                             QWidget* now = QApplication::focusWidget();
                                             return now && now != focus;
                                         },
                                         Patience)) {
            qWarning("Retype: the focus stayed in %s after '.'", qPrintable(focus->objectName()));
            return false;
        }
    }
    return true;
}

// The kernel's neighbour entry for an address: "mac dev flags", or empty.
QString Neighbour(const QString& ip) {
    std::ifstream in("/proc/net/arp");
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::istringstream f(line);
        std::string addr, type, flags, mac, mask, dev;
        f >> addr >> type >> flags >> mac >> mask >> dev;
        if (QString::fromStdString(addr) == ip) {
            return QString::fromStdString(mac + " " + dev + " " + flags);
        }
    }
    return {};
}

// IP-SETUP datagrams the simulated devices received from now on.
QList<TDevsimLine> IpSetupsSince(std::size_t mark) {
    QList<TDevsimLine> out;
    for (const TDevsimLine& l : TDevsimLog().Select(
             [](const TDevsimLine& l) { return l.kind == "RX" && l.Get("len") == "20"; }, mark)) {
        out << l;
    }
    return out;
}

QString Sender(const TDevsimLine& l) {
    const QString from = QString::fromStdString(l.Get("from"));
    return from.left(from.indexOf(':'));
}

} // namespace

class TestIPChangeGUINet : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void changeIPBySetupDatagram();
    void changeIPByArpTable();
    void helpDeviceNotFound();
    void broadcastAddressIsRefusedWithItsReason();

private:
    // Opens the IP change dialog with the button, lets `fill` fill it in,
    // presses Change and answers the outcome box; returns the box's caption
    // and text. The search dialog's automatic new search has ended when it
    // returns.
    QStringList Change(const char* button, const std::function<void(TfXPortIPChangeGUI*)>& fill);
    void SelectRow(const QString& ip);

    QTemporaryDir dir_;
    std::unique_ptr<TfXPortSearchGUI> dlg_;
    QTableWidget* list_ = nullptr;
};

void TestIPChangeGUINet::initTestCase() {
    QVERIFY(dir_.isValid());
    const QString ini = dir_.filePath("Quorvet.ini");
    QFile f(ini);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[Connection]\nReadTimeout=300\n");
    f.close();

    dlg_ = std::make_unique<TfXPortSearchGUI>(); // the real engines
    dlg_->ButtonSet = 0x01;                      // every button
    dlg_->SettingsFileName = ini.toStdString();
    SetErrorBoxHook([](const std::string& m) { QFAIL(m.c_str()); });
    QSignalSpy done(dlg_.get(), &TfXPortSearchGUI::SearchFinished);
    dlg_->show();
    QVERIFY(done.wait(20000));
    list_ = Child<QTableWidget>(dlg_.get(), "LvDeviceList");
    for (const char* name :
         {"BBSearch", "BBSelect", "BBCancel", "BBChangeIP", "BBHelpDeviceNotFound"}) {
        QVERIFY2(Child<QPushButton>(dlg_.get(), name)->isVisible(), name);
    }
    QCOMPARE(list_->rowCount(), 3);
}

void TestIPChangeGUINet::SelectRow(const QString& ip) {
    const int row = RowOf(list_, ip);
    QVERIFY2(row >= 0, qPrintable(ip));
    const QRect rect = list_->visualRect(list_->model()->index(row, 0));
    QTest::mouseClick(list_->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(QString::fromStdString(dlg_->SelectedIP()), ip);
}

QStringList TestIPChangeGUINet::Change(const char* button,
                                       const std::function<void(TfXPortIPChangeGUI*)>& fill) {
    TModalDriver driver;
    driver.Ignore(dlg_.get());
    QStringList box;
    driver.Expect<TfXPortIPChangeGUI>([&](TfXPortIPChangeGUI* d) {
        fill(d);
        // A failed step closes the dialog, so that the test ends instead of
        // waiting on it.
        if (QTest::currentTestFailed()) {
            d->reject();
            return;
        }
        QTest::mouseClick(Child<QPushButton>(d, "BBChange"), Qt::LeftButton);
    });
    driver.Expect<QMessageBox>([&](QMessageBox* b) {
        box << b->windowTitle() << b->text();
        b->button(QMessageBox::Ok)->click();
    });
    QSignalSpy searched(dlg_.get(), &TfXPortSearchGUI::SearchFinished);
    QTest::mouseClick(Child<QPushButton>(dlg_.get(), button), Qt::LeftButton);
    if (!driver.Unexpected.isEmpty() || !driver.AllHandled()) {
        qWarning("modal windows: unexpected %s, all handled %d",
                 qPrintable(driver.Unexpected.join(",")), driver.AllHandled());
        return {};
    }
    // A successful change is followed at once by a new search.
    if (searched.count() == 0 && !searched.wait(20000)) {
        qWarning("no new search after the change");
    }
    return box;
}

void TestIPChangeGUINet::changeIPBySetupDatagram() {
    const std::size_t mark = TDevsimLog().Mark();
    SelectRow("10.77.1.10");
    const QStringList box = Change("BBChangeIP", [](TfXPortIPChangeGUI* d) {
        QCOMPARE(Child<QLineEdit>(d, "EdtMac")->text(), "00-20-4A-01-02-03");
        QCOMPARE(QString::fromStdString(d->AdapterIP), "10.77.1.1");
        QVERIFY(Retype(Child<TIPEdit>(d, "IPEdtAddress")->Field(3), "50"));
        QCOMPARE(Child<TIPEdit>(d, "IPEdtAddress")->Text(), "10.77.1.50");
        const QString shot = ShotPath("ipchange-dialog.png");
        QVERIFY(d->grab().save(shot));
        qInfo("IP change dialog screenshot: %s", qPrintable(shot));
    });
    QCOMPARE(box,
             (QStringList{"Information", "Request of IP address change was successfully sent."}));

    // The new search lists the device at its new address, found through the
    // same adapter.
    QCOMPARE(list_->rowCount(), 3);
    const int row = RowOf(list_, "10.77.1.50");
    QVERIFY(row >= 0);
    QCOMPARE(Cell(list_, row, 1), "00-20-4A-01-02-03");
    QCOMPARE(Cell(list_, row, 5), "10.77.1.1");
    QCOMPARE(RowOf(list_, "10.77.1.10"), -1);

    // One datagram, through the device's adapter only: the two devices of
    // that segment saw it, the one behind the other adapter did not.
    const auto rx = IpSetupsSince(mark);
    QCOMPARE(rx.size(), 2);
    for (const TDevsimLine& l : rx) {
        QCOMPARE(Sender(l), "10.77.1.1");
        QCOMPARE(QString::fromStdString(l.Get("data")), "000000FC49502D5345545550000002030A4D0132");
    }
    const QString shot = ShotPath("ipchange-searchdialog-after.png");
    QVERIFY(dlg_->grab().save(shot));
    qInfo("search dialog after the change: %s", qPrintable(shot));
}

void TestIPChangeGUINet::changeIPByArpTable() {
    const std::size_t mark = TDevsimLog().Mark();
    SelectRow("10.77.1.11");
    const QStringList box = Change("BBChangeIP", [](TfXPortIPChangeGUI* d) {
        QVERIFY(Retype(Child<TIPEdit>(d, "IPEdtAddress")->Field(3), "60"));
        auto* arp = Child<QCheckBox>(d, "ChBARPOnly");
        QTest::mouseClick(arp, Qt::LeftButton, {}, QPoint(6, arp->height() / 2));
        QVERIFY(arp->isChecked());
    });
    QCOMPARE(box, (QStringList{"Warning",
                               "IP address was temporarily assigned to MAC\nTo make IP change "
                               "permanent you must change IP adress in device setup!"}));
    QVERIFY(IpSetupsSince(mark).isEmpty());
    // A permanent (flag 0x4) entry on the device's adapter.
    const QStringList entry = Neighbour("10.77.1.60").split(' ');
    QCOMPARE(entry.value(0), "00:20:4a:01:02:05");
    QCOMPARE(entry.value(1), "qv0");
    QVERIFY((entry.value(2).toInt(nullptr, 16) & 0x4) != 0);
    QVERIFY(TDevsimLog()
                .Select(
                    [](const TDevsimLine& l) {
                        return l.kind == "IPCHANGE" && l.Get("via") == "arp" &&
                               l.Get("new") == "10.77.1.60";
                    },
                    mark)
                .size() == 1);

    const int row = RowOf(list_, "10.77.1.60");
    QVERIFY(row >= 0);
    QCOMPARE(Cell(list_, row, 1), "00-20-4A-01-02-05");
    QCOMPARE(RowOf(list_, "10.77.1.11"), -1);
}

void TestIPChangeGUINet::helpDeviceNotFound() {
    const std::size_t mark = TDevsimLog().Mark();
    const QStringList box = Change("BBHelpDeviceNotFound", [](TfXPortIPChangeGUI* d) {
        QVERIFY(d->DeviceNotFound);
        QVERIFY(Child<QCheckBox>(d, "ChBARPOnly")->isHidden());
        QVERIFY(Retype(Child<QLineEdit>(d, "EdtMac"), "00-20-4A-01-02-04"));
        QCOMPARE(Child<QLineEdit>(d, "EdtMac")->text(), "00-20-4A-01-02-04");
        QVERIFY(Retype(Child<TIPEdit>(d, "IPEdtAddress")->Field(0), "10.77.2.50"));
        QCOMPARE(Child<TIPEdit>(d, "IPEdtAddress")->Text(), "10.77.2.50");
    });
    QCOMPARE(box,
             (QStringList{"Information", "Request of IP address change was successfully sent."}));

    // Through every adapter: each segment's devices saw the datagram from
    // their own adapter.
    QStringList senders;
    for (const TDevsimLine& l : IpSetupsSince(mark)) {
        senders << QString::fromStdString(l.Get("mac")) + " " + Sender(l);
        QCOMPARE(QString::fromStdString(l.Get("data")), "000000FC49502D5345545550000002040A4D0232");
    }
    senders.sort();
    QCOMPARE(senders, (QStringList{"00-20-4A-01-02-03 10.77.1.1", "00-20-4A-01-02-04 10.77.2.1",
                                   "00-20-4A-01-02-05 10.77.1.1"}));
    const int row = RowOf(list_, "10.77.2.50");
    QVERIFY(row >= 0);
    QCOMPARE(Cell(list_, row, 1), "00-20-4A-01-02-04");
    QCOMPARE(Cell(list_, row, 5), "10.77.2.1");
    QCOMPARE(list_->rowCount(), 3);
}

void TestIPChangeGUINet::broadcastAddressIsRefusedWithItsReason() {
    const std::size_t mark = TDevsimLog().Mark();
    SelectRow("10.77.2.50");
    TModalDriver driver;
    driver.Ignore(dlg_.get());
    QStringList box;
    driver.Expect<TfXPortIPChangeGUI>([&](TfXPortIPChangeGUI* d) {
        Retype(Child<TIPEdit>(d, "IPEdtAddress")->Field(3), "255");
        QCOMPARE(Child<TIPEdit>(d, "IPEdtAddress")->Text(), "10.77.2.255");
        QTest::mouseClick(Child<QPushButton>(d, "BBChange"), Qt::LeftButton);
    });
    driver.Expect<QMessageBox>([&](QMessageBox* b) {
        box << b->windowTitle() << b->text();
        const QString shot = ShotPath("ipchange-refused-broadcast.png");
        QVERIFY(b->grab().save(shot));
        qInfo("refusal box screenshot: %s", qPrintable(shot));
        b->button(QMessageBox::Ok)->click();
    });
    QSignalSpy searched(dlg_.get(), &TfXPortSearchGUI::SearchFinished);
    QTest::mouseClick(Child<QPushButton>(dlg_.get(), "BBChangeIP"), Qt::LeftButton);
    QVERIFY2(driver.Unexpected.isEmpty(), qPrintable(driver.Unexpected.join(",")));
    QVERIFY(driver.AllHandled());
    QCOMPARE(box, (QStringList{"Error", "IP address syntax error.\nWrite correct IP address, "
                                        "please.\n10.77.2.255 is the broadcast address of the "
                                        "subnet of adapter 10.77.2.1/24."}));
    // Nothing sent, nothing moved, and a refusal starts no new search.
    QTest::qWait(300);
    QVERIFY(IpSetupsSince(mark).isEmpty());
    QCOMPARE(searched.count(), 0);
    QVERIFY(RowOf(list_, "10.77.2.50") >= 0);
}

int main(int argc, char** argv) {
    RequireTestNetwork();
    QApplication app(argc, argv);
    TestIPChangeGUINet test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_ipchangegui_net.moc"
