// The IP change dialog, alone and opened from the search dialog, driven
// offscreen with an engine on a fake network.

#include "FakeIPChange.h"
#include "FakeSearch.h"
#include "ModalDriver.h"

#include "ipchange/gui/uXPortIPChangeGUI.h"
#include "ipchange/uXPortIPChangeStrings.h"
#include "searchdialog/ipedit/IPEdit.h"
#include "searchdialog/uXPortSearchGUI.h"

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

namespace {

using namespace IPChangeStrings;

QString S(const std::string& s) {
    return QString::fromStdString(s);
}

// The 20 bytes for a device ending in 02-03 and an address given in hex.
QString IpSetupHex(const QString& addressHex) {
    return "000000FC49502D534554555000000203" + addressHex;
}

template <class T> T* Child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(name);
    if (!c) {
        qFatal("no child %s", name);
    }
    return c;
}

// A click on the check box's box, where a user ticks it.
void Tick(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

struct TBoxSeen {
    bool Shown = false;
    QString Caption;
    QString Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    bool CursorRestored = false;
    qint64 MsAfterEngine = -1;
};

// Notes what the outcome box shows and presses its OK.
std::function<void(QMessageBox*)> AnswerBox(TBoxSeen& seen, const QElapsedTimer* sinceEngine) {
    return [&seen, sinceEngine](QMessageBox* box) {
        seen.Shown = true;
        seen.Caption = box->windowTitle();
        seen.Text = box->text();
        seen.Icon = box->icon();
        seen.CursorRestored = QApplication::overrideCursor() == nullptr;
        seen.MsAfterEngine =
            sinceEngine && sinceEngine->isValid() ? sinceEngine->elapsed() : qint64(-1);
        box->button(QMessageBox::Ok)->click();
    };
}

// The dialog's default factory for dialogs opened by the search dialog, for
// the length of one test.
struct TDefaultEngineGuard {
    TXPortIPChangeEngineFactory Previous;
    explicit TDefaultEngineGuard(TXPortIPChangeEngineFactory f)
        : Previous(SetDefaultIPChangeEngineFactory(std::move(f))) {}
    ~TDefaultEngineGuard() { SetDefaultIPChangeEngineFactory(std::move(Previous)); }
};

} // namespace

class TestIPChangeGUI : public QObject {
    Q_OBJECT

private slots:
    void init();

    void waitWithMessages_data();
    void waitWithMessages();

    void creationAndLayout();
    void setLanguage();
    void dhcpTicking();
    void outcomes_data();
    void outcomes();
    void engineCannotBeMade();
    void causeOnSecondLine_data();
    void causeOnSecondLine();
    void sharedMacSuffix_data();
    void sharedMacSuffix();
    void sharedMacSuffixNoSendsNothing();
    void changeIsRecordedWithTheListedAddress();
    void cancelCreatesNoEngine_data();
    void cancelCreatesNoEngine();
    void busyWhileChanging();
    void destroyWhileChanging();

    void searchDialogChangeIPNeedsSelectedRow_data();
    void searchDialogChangeIPNeedsSelectedRow();
    void searchDialogOpensChange();
    void searchDialogSearchesAgainAfterOk();
    void searchDialogHandsOverEveryDevice();
};

void TestIPChangeGUI::init() {
    SetMessagePump({});
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

// ---- the wait after a success -----------------------------------------------

void TestIPChangeGUI::waitWithMessages_data() {
    QTest::addColumn<int>("ms");
    QTest::addColumn<bool>("pump");
    QTest::addColumn<int>("pumpRuns");
    QTest::newRow("one second, pumped every 10 ms") << 1000 << true << 100;
    QTest::newRow("a started step is finished") << 25 << true << 3;
    QTest::newRow("10 ms or less: one sleep") << 10 << true << 0;
    QTest::newRow("no pump: one sleep") << 100 << false << 0;
    QTest::newRow("nothing to wait") << 0 << true << 0;
}

void TestIPChangeGUI::waitWithMessages() {
    QFETCH(int, ms);
    QFETCH(bool, pump);
    QFETCH(int, pumpRuns);
    int runs = 0;
    if (pump) {
        SetMessagePump([&runs] { ++runs; });
    }
    QElapsedTimer t;
    t.start();
    WaitWithMessages(ms);
    QCOMPARE(runs, pumpRuns);
    QVERIFY(t.elapsed() >= ms);
    SetMessagePump({});
}

// ---- the dialog alone ----------------------------------------------------------

void TestIPChangeGUI::creationAndLayout() {
    TfXPortIPChangeGUI dlg(nullptr, FakeIPChangeFactory(std::make_shared<TFakeIPNet>()));
    QCOMPARE(dlg.objectName(), "fXPortIPChangeGUI");
    QCOMPARE(S(dlg.DeviceIP), "0.0.0.0");
    QCOMPARE(S(dlg.DeviceMAC), "00-00-00-00-00-00");
    QCOMPARE(S(dlg.AdapterIP), "");
    QVERIFY(!dlg.DeviceNotFound);
    QCOMPARE(S(dlg.SavedIP()), "0.0.0.0");
    const TXPortIPChangeLangSupport expected = {"Change IP address",
                                                "Change",
                                                "Cancel",
                                                "IP address:",
                                                "MAC address",
                                                "Set IP address to ARP table only",
                                                SIPChangeTemporary,
                                                SIPChangeRequestSent,
                                                SIPChangeError,
                                                SIPChangeIPSyntax,
                                                SIPChangeIPExists,
                                                SIPChangeMACSyntax};
    QVERIFY(dlg.Texts() == expected);

    dlg.DeviceIP = "10.77.1.10";
    dlg.DeviceMAC = "00-20-4A-01-02-03";
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    QCOMPARE(dlg.size(), QSize(359, 140));
    QCOMPARE(Child<QWidget>(&dlg, "PnlBackground")->geometry(), QRect(0, 0, 359, 140));
    QCOMPARE(Child<QWidget>(&dlg, "PnlMain")->height(), 99);
    QCOMPARE(Child<QWidget>(&dlg, "PnlButtons")->geometry(), QRect(0, 99, 359, 41));
    QCOMPARE(Child<QWidget>(&dlg, "Bevel1")->y(), 0);
    QCOMPARE(dlg.windowTitle(), "Change IP address");
    QCOMPARE(Child<QLabel>(&dlg, "LabIPAddress")->text(), "IP address:");
    QCOMPARE(Child<QLabel>(&dlg, "LabMacAddress")->text(), "MAC address");
    QCOMPARE(Child<QCheckBox>(&dlg, "ChbDHCP")->text(), "DHCP");
    QCOMPARE(Child<QCheckBox>(&dlg, "ChBARPOnly")->text(), "Set IP address to ARP table only");
    QVERIFY(!Child<QCheckBox>(&dlg, "ChbDHCP")->isChecked());
    QVERIFY(!Child<QCheckBox>(&dlg, "ChBARPOnly")->isChecked());
    QVERIFY(Child<QCheckBox>(&dlg, "ChBARPOnly")->isVisible());
    auto* mac = Child<QLineEdit>(&dlg, "EdtMac");
    QCOMPARE(mac->maxLength(), 17);
    QCOMPARE(mac->text(), "00-20-4A-01-02-03");
    auto* ip = Child<TIPEdit>(&dlg, "IPEdtAddress");
    QCOMPARE(ip->Text(), "10.77.1.10");
    QVERIFY(Child<QPushButton>(&dlg, "BBChange")->isDefault());

    // Focus starts in the IP entry; Tab then walks MAC, ARP, DHCP, Change,
    // Cancel.
    QCOMPARE(QApplication::focusWidget(), ip->Field(0));
    const char* order[] = {"EdtMac", "ChBARPOnly", "ChbDHCP", "BBChange", "BBCancel"};
    for (const char* name : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QString::fromLatin1(name));
    }
    dlg.reject();
}

void TestIPChangeGUI::setLanguage() {
    TfXPortIPChangeGUI dlg(nullptr, FakeIPChangeFactory(std::make_shared<TFakeIPNet>()));
    TXPortIPChangeLangSupport texts;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        texts[i] = "T" + std::to_string(i + 1);
    }
    texts[4] = ""; // replaced too: an empty label
    dlg.SetLanguage(texts);
    QVERIFY(dlg.Texts() == texts);
    dlg.show();
    QCOMPARE(dlg.windowTitle(), "T1");
    QCOMPARE(Child<QPushButton>(&dlg, "BBChange")->text(), "T2");
    QCOMPARE(Child<QPushButton>(&dlg, "BBCancel")->text(), "T3");
    QCOMPARE(Child<QLabel>(&dlg, "LabIPAddress")->text(), "T4");
    QCOMPARE(Child<QLabel>(&dlg, "LabMacAddress")->text(), "");
    QCOMPARE(Child<QCheckBox>(&dlg, "ChBARPOnly")->text(), "T6");
    QCOMPARE(Child<QCheckBox>(&dlg, "ChbDHCP")->text(), "DHCP"); // not translated
    dlg.reject();
}

void TestIPChangeGUI::dhcpTicking() {
    TfXPortIPChangeGUI dlg(nullptr, FakeIPChangeFactory(std::make_shared<TFakeIPNet>()));
    dlg.DeviceIP = "192.168.1.50";
    dlg.show();
    auto* ip = Child<TIPEdit>(&dlg, "IPEdtAddress");
    auto* dhcp = Child<QCheckBox>(&dlg, "ChbDHCP");
    auto* arp = Child<QCheckBox>(&dlg, "ChBARPOnly");

    Tick(dhcp);
    QVERIFY(dhcp->isChecked());
    QCOMPARE(ip->Text(), "0.0.0.0");
    QCOMPARE(S(dlg.SavedIP()), "192.168.1.50");
    QVERIFY(!ip->isEnabled());
    QVERIFY(!arp->isEnabled());
    Tick(dhcp);
    QCOMPARE(ip->Text(), "192.168.1.50");
    QVERIFY(ip->isEnabled());
    QVERIFY(arp->isEnabled());

    // DHCP and the ARP-table way exclude each other.
    Tick(arp);
    QVERIFY(arp->isChecked());
    Tick(dhcp);
    QVERIFY(!arp->isChecked());
    Tick(dhcp);
    QVERIFY(!arp->isChecked());
    QVERIFY(arp->isEnabled());
    dlg.reject();
}

void TestIPChangeGUI::outcomes_data() {
    QTest::addColumn<QString>("mac");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<bool>("notFound");
    QTest::addColumn<bool>("arp");
    QTest::addColumn<bool>("dhcp");
    QTest::addColumn<bool>("pingAnswers");
    QTest::addColumn<int>("langEntry"); // 0: default texts
    QTest::addColumn<QString>("langText");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("events");

    const QString mac = "00-20-4A-01-02-03";
    const QString sent = SIPChangeRequestSent;
    const int info = QMessageBox::Information;
    const int error = QMessageBox::Critical;
    QTest::newRow("IP-SETUP through the found adapter")
        << mac << "10.77.1.50" << false << false << false << false << 0 << "" << 1 << "Information"
        << info << sent
        << QStringList{"ping 10.77.1.50", "bind 10.77.1.1", "send 30718 " + IpSetupHex("0A4D0132")};
    QTest::newRow("DHCP sends 0.0.0.0")
        << mac << "10.77.1.50" << false << false << true << false << 0 << "" << 1 << "Information"
        << info << sent
        << QStringList{"ping 0.0.0.0", "bind 10.77.1.1", "send 30718 " + IpSetupHex("00000000")};
    QTest::newRow("not found: every adapter")
        << mac << "10.77.1.50" << true << false << false << false << 0 << "" << 1 << "Information"
        << info << sent
        << QStringList{"ping 10.77.1.50", "bind 10.77.1.1", "send 30718 " + IpSetupHex("0A4D0132"),
                       "bind 10.77.2.1", "send 30718 " + IpSetupHex("0A4D0132")};
    QTest::newRow("ARP-table way")
        << mac << "10.77.1.60" << false << true << false << false << 0 << "" << 1 << "Warning"
        << int(QMessageBox::Warning)
        << "IP address was temporarily assigned to MAC\nTo make IP change permanent you must "
           "change IP adress in device setup!"
        << QStringList{"ping 10.77.1.60",
                       "run ip neigh replace 10.77.1.60 lladdr 00:20:4A:01:02:03 dev qv0 nud "
                       "permanent",
                       "connect 10.77.1.60 1"};
    QTest::newRow("MAC missing a pair: no ping")
        << "00-20-4A-01-02"
        << "10.77.1.50" << false << false << false << false << 0 << "" << 2 << "Error" << error
        << SIPChangeMACSyntax << QStringList{};
    // Valid text, but no device's address: the syntax message and the reason.
    QTest::newRow("broadcast address of the found adapter's subnet")
        << mac << "10.77.1.255" << false << false << false << false << 0 << "" << 2 << "Error"
        << error
        << "IP address syntax error.\nWrite correct IP address, please.\n10.77.1.255 is the "
           "broadcast address of the subnet of adapter 10.77.1.1/24."
        << QStringList{"ping 10.77.1.255"};
    QTest::newRow("multicast in the ARP-table way")
        << mac << "224.0.0.1" << false << true << false << false << 0 << "" << 2 << "Error" << error
        << "IP address syntax error.\nWrite correct IP address, please.\n224.0.0.1 is a "
           "multicast address."
        << QStringList{"ping 224.0.0.1"};
    QTest::newRow("address in use")
        << mac << "10.77.1.50" << false << false << false << true << 0 << "" << 2 << "Error"
        << error << SIPChangeIPExists << QStringList{"ping 10.77.1.50"};
    QTest::newRow("translated message reaches the box")
        << mac << "10.77.1.50" << false << false << false << false << 8 << "Odeslano." << 1
        << "Information" << info << "Odeslano."
        << QStringList{"ping 10.77.1.50", "bind 10.77.1.1", "send 30718 " + IpSetupHex("0A4D0132")};
    QTest::newRow("empty message entry keeps the engine's")
        << "00:20:4A:01:02:03"
        << "10.77.1.50" << false << false << false << false << 12 << "" << 2 << "Error" << error
        << SIPChangeMACSyntax << QStringList{};
}

void TestIPChangeGUI::outcomes() {
    QFETCH(QString, mac);
    QFETCH(QString, ip);
    QFETCH(bool, notFound);
    QFETCH(bool, arp);
    QFETCH(bool, dhcp);
    QFETCH(bool, pingAnswers);
    QFETCH(int, langEntry);
    QFETCH(QString, langText);
    QFETCH(int, result);
    QFETCH(QString, caption);
    QFETCH(int, icon);
    QFETCH(QString, text);
    QFETCH(QStringList, events);

    auto net = std::make_shared<TFakeIPNet>();
    net->PingAnswers = pingAnswers;
    TfXPortIPChangeGUI dlg(nullptr, FakeIPChangeFactory(net));
    if (notFound) {
        dlg.DeviceNotFound = true;
    } else {
        dlg.AdapterIP = "10.77.1.1";
    }
    if (langEntry > 0) {
        TXPortIPChangeLangSupport texts = dlg.Texts();
        texts[static_cast<std::size_t>(langEntry - 1)] = langText.toStdString();
        dlg.SetLanguage(texts);
    }
    QElapsedTimer sinceEngine;
    connect(&dlg, &TfXPortIPChangeGUI::ChangeFinished, this, [&] { sinceEngine.start(); });

    TModalDriver driver;
    TBoxSeen box;
    driver.Expect<TfXPortIPChangeGUI>([&](TfXPortIPChangeGUI* d) {
        Child<QLineEdit>(d, "EdtMac")->setText(mac);
        Child<TIPEdit>(d, "IPEdtAddress")->SetText(ip);
        if (arp) {
            Tick(Child<QCheckBox>(d, "ChBARPOnly"));
        }
        if (dhcp) {
            Tick(Child<QCheckBox>(d, "ChbDHCP"));
        }
        QTest::mouseClick(Child<QPushButton>(d, "BBChange"), Qt::LeftButton);
    });
    driver.Expect<QMessageBox>(AnswerBox(box, &sinceEngine));
    const int got = dlg.exec();

    QVERIFY2(driver.Unexpected.isEmpty(), qPrintable(driver.Unexpected.join(",")));
    QVERIFY(box.Shown);
    QCOMPARE(got, result);
    QCOMPARE(box.Caption, caption);
    QCOMPARE(int(box.Icon), icon);
    QCOMPARE(box.Text, text);
    QVERIFY(box.CursorRestored);
    // The tool's path depends on the system.
    QCOMPARE(net->Events().replaceInStrings(QRegularExpression("^run \\S*/ip "), "run ip "),
             events);
    QCOMPARE(net->EnginesMade.load(), 1);
    QCOMPARE(S(dlg.DeviceMAC), mac);
    QCOMPARE(S(dlg.DeviceIP), dhcp ? QString("0.0.0.0") : ip);
    // A success is shown a second after the engine finished, a failure at once.
    if (result == TfXPortIPChangeGUI::mrOk) {
        QVERIFY2(box.MsAfterEngine >= 990, qPrintable(QString::number(box.MsAfterEngine)));
    } else {
        QVERIFY2(box.MsAfterEngine < 700, qPrintable(QString::number(box.MsAfterEngine)));
    }
    QVERIFY(!dlg.isVisible());
}

void TestIPChangeGUI::engineCannotBeMade() {
    TfXPortIPChangeGUI dlg(nullptr, []() -> std::unique_ptr<TXPortIPChange> {
        throw Exception("Cannot allocate socket.");
    });
    TModalDriver driver;
    TBoxSeen box;
    driver.Expect<TfXPortIPChangeGUI>([](TfXPortIPChangeGUI* d) {
        QTest::mouseClick(Child<QPushButton>(d, "BBChange"), Qt::LeftButton);
    });
    driver.Expect<QMessageBox>(AnswerBox(box, nullptr));
    QCOMPARE(dlg.exec(), TfXPortIPChangeGUI::mrCancel);
    QCOMPARE(box.Caption, "Error");
    QCOMPARE(box.Text, SIPChangeError);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TestIPChangeGUI::causeOnSecondLine_data() {
    QTest::addColumn<bool>("arp");
    QTest::addColumn<QString>("cause");
    QTest::newRow("no way to ping") << false << QString(SIPChangeCausePing);
    QTest::newRow("no right to make the ARP-table entry")
        << true << QString(SIPChangeCauseArpRights);
}

void TestIPChangeGUI::causeOnSecondLine() {
    QFETCH(bool, arp);
    QFETCH(QString, cause);
    auto net = std::make_shared<TFakeIPNet>();
    net->PingFails = !arp;
    net->NoNeighbourEntry = arp;
    TfXPortIPChangeGUI dlg(nullptr, FakeIPChangeFactory(net));
    dlg.DeviceMAC = "00-20-4A-01-02-03";
    dlg.DeviceIP = "10.77.1.50";
    dlg.AdapterIP = "10.77.1.1";
    TModalDriver driver;
    TBoxSeen box;
    driver.Expect<TfXPortIPChangeGUI>([arp](TfXPortIPChangeGUI* d) {
        if (arp) {
            Tick(Child<QCheckBox>(d, "ChBARPOnly"));
        }
        QTest::mouseClick(Child<QPushButton>(d, "BBChange"), Qt::LeftButton);
    });
    driver.Expect<QMessageBox>(AnswerBox(box, nullptr));
    QCOMPARE(dlg.exec(), TfXPortIPChangeGUI::mrCancel);
    QVERIFY2(driver.Unexpected.isEmpty(), qPrintable(driver.Unexpected.join(",")));
    QCOMPARE(box.Caption, "Error");
    QCOMPARE(box.Text, QString(SIPChangeError) + "\n" + cause);
    QVERIFY(net->Events().filter("send").isEmpty());
}

// ---- the shared-suffix question ---------------------------------------------

namespace {

// "ip mac adapter" for each device.
std::vector<TXportPar> Devices(const QStringList& rows) {
    std::vector<TXportPar> devices;
    for (const QString& row : rows) {
        const QStringList f = row.split(' ');
        TXportPar d;
        d.IP = f.value(0).toStdString();
        d.MAC = f.value(1).toStdString();
        d.AdapterIP = f.value(2).toStdString();
        devices.push_back(d);
    }
    return devices;
}

QString Question(const QString& suffix, const QStringList& devices, int more = 0) {
    QString text =
        "The request names the device only by the last two octets of its MAC address (" + suffix +
        "). " +
        (devices.size() + more == 1 ? QString("Another device of the last search ends in them too")
                                    : QString("Other devices of the last search end in them too")) +
        " and would take the new address as well:\n" + devices.join('\n');
    if (more > 0) {
        text += "\nand " + QString::number(more) + " more";
    }
    return text + "\n\nSend the request anyway?";
}

struct TQuestionSeen {
    int Shown = 0;
    QString Caption;
    QString Text;
    bool NoIsDefault = false;
    bool YesAndNoOnly = false;
};

// Notes the question and answers it with the given button.
std::function<void(QMessageBox*)> AnswerQuestion(TQuestionSeen& seen,
                                                 QMessageBox::StandardButton answer) {
    return [&seen, answer](QMessageBox* box) {
        ++seen.Shown;
        seen.Caption = box->windowTitle();
        seen.Text = box->text();
        seen.NoIsDefault = box->defaultButton() == box->button(QMessageBox::No);
        seen.YesAndNoOnly = box->standardButtons() == (QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box->objectName(), "SharedMacSuffixQuestion");
        box->button(answer)->click();
    };
}

const QString OwnDevice = "10.77.1.10 00-20-4A-01-02-03 10.77.1.1";

} // namespace

void TestIPChangeGUI::sharedMacSuffix_data() {
    QTest::addColumn<bool>("notFound");
    QTest::addColumn<bool>("arp");
    QTest::addColumn<bool>("dhcp");
    QTest::addColumn<QStringList>("known");
    QTest::addColumn<QString>("question"); // empty: none

    const QString twin1 = "10.77.1.11 00-20-4A-0F-02-03 10.77.1.1";
    const QString twin2 = "10.77.2.20 00-20-4A-1F-02-03 10.77.2.1";
    const QString other = "10.77.1.12 00-20-4A-01-02-04 10.77.1.1";
    QTest::newRow("twin behind the same adapter")
        << false << false << false << QStringList{OwnDevice, other, twin1, twin2}
        << Question("02-03", {"10.77.1.11 (00-20-4A-0F-02-03)"});
    QTest::newRow("DHCP is an IP-SETUP request too")
        << false << false << true << QStringList{OwnDevice, twin1}
        << Question("02-03", {"10.77.1.11 (00-20-4A-0F-02-03)"});
    QTest::newRow("twin behind another adapter only")
        << false << false << false << QStringList{OwnDevice, other, twin2} << QString();
    QTest::newRow("not found: twins behind every adapter")
        << true << false << false << QStringList{other, twin1, twin2}
        << Question("02-03", {"10.77.1.11 (00-20-4A-0F-02-03)", "10.77.2.20 (00-20-4A-1F-02-03)"});
    QStringList many{OwnDevice};
    QStringList listed;
    for (int i = 1; i <= 5; ++i) {
        const QString ip = "10.77.1." + QString::number(20 + i);
        const QString mac = "00-20-4A-1" + QString::number(i) + "-02-03";
        many << ip + " " + mac + " 10.77.1.1";
        if (i <= 3) {
            listed << ip + " (" + mac + ")";
        }
    }
    QTest::newRow("three named, the rest counted")
        << false << false << false << many << Question("02-03", listed, 2);
    QTest::newRow("ARP-table way: the whole MAC")
        << false << true << false << QStringList{OwnDevice, twin1} << QString();
    QTest::newRow("no last search") << false << false << false << QStringList{} << QString();
}

void TestIPChangeGUI::sharedMacSuffix() {
    QFETCH(bool, notFound);
    QFETCH(bool, arp);
    QFETCH(bool, dhcp);
    QFETCH(QStringList, known);
    QFETCH(QString, question);

    auto net = std::make_shared<TFakeIPNet>();
    TfXPortIPChangeGUI dlg(nullptr, FakeIPChangeFactory(net));
    dlg.DeviceNotFound = notFound;
    if (!notFound) {
        dlg.DeviceIP = "10.77.1.10";
        dlg.DeviceMAC = "00-20-4A-01-02-03";
        dlg.AdapterIP = "10.77.1.1";
    }
    dlg.KnownDevices = Devices(known);
    TModalDriver driver;
    TQuestionSeen seen;
    TBoxSeen box;
    driver.Expect<TfXPortIPChangeGUI>([&](TfXPortIPChangeGUI* d) {
        Child<QLineEdit>(d, "EdtMac")->setText("00-20-4A-01-02-03");
        Child<TIPEdit>(d, "IPEdtAddress")->SetText("10.77.1.50");
        if (arp) {
            Tick(Child<QCheckBox>(d, "ChBARPOnly"));
        }
        if (dhcp) {
            Tick(Child<QCheckBox>(d, "ChbDHCP"));
        }
        QTest::mouseClick(Child<QPushButton>(d, "BBChange"), Qt::LeftButton);
    });
    if (!question.isEmpty()) {
        driver.Expect<QMessageBox>(AnswerQuestion(seen, QMessageBox::Yes));
    }
    driver.Expect<QMessageBox>(AnswerBox(box, nullptr));
    // Yes, or no question: the change goes on as ever.
    QCOMPARE(dlg.exec(), TfXPortIPChangeGUI::mrOk);
    QVERIFY2(driver.Unexpected.isEmpty(), qPrintable(driver.Unexpected.join(",")));
    QVERIFY(driver.AllHandled());
    if (question.isEmpty()) {
        QCOMPARE(seen.Shown, 0);
    } else {
        QCOMPARE(seen.Shown, 1);
        QCOMPARE(seen.Caption, "Confirm");
        QCOMPARE(seen.Text, question);
        QVERIFY(seen.NoIsDefault);
        QVERIFY(seen.YesAndNoOnly);
    }
    QCOMPARE(box.Caption, arp ? "Warning" : "Information");
    QCOMPARE(net->EnginesMade.load(), 1);
    QCOMPARE(net->Events().filter("send").size(), arp ? 0 : (notFound ? 2 : 1));
}

void TestIPChangeGUI::sharedMacSuffixNoSendsNothing() {
    auto net = std::make_shared<TFakeIPNet>();
    TfXPortIPChangeGUI dlg(nullptr, FakeIPChangeFactory(net));
    dlg.DeviceIP = "10.77.1.10";
    dlg.DeviceMAC = "00-20-4A-01-02-03";
    dlg.AdapterIP = "10.77.1.1";
    dlg.KnownDevices = Devices({OwnDevice, "10.77.1.11 00-20-4A-0F-02-03 10.77.1.1"});
    TModalDriver driver;
    driver.Ignore(&dlg);
    TQuestionSeen seen;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    Child<TIPEdit>(&dlg, "IPEdtAddress")->SetText("10.77.1.50");

    // No: nothing is made or sent, and the dialog stays as it was.
    driver.Expect<QMessageBox>(AnswerQuestion(seen, QMessageBox::No));
    QTest::mouseClick(Child<QPushButton>(&dlg, "BBChange"), Qt::LeftButton);
    QCOMPARE(seen.Shown, 1);
    QVERIFY(dlg.isVisible());
    QVERIFY(!dlg.Changing());
    QCOMPARE(net->EnginesMade.load(), 0);
    QVERIFY(net->Events().isEmpty());
    QVERIFY(Child<QPushButton>(&dlg, "BBChange")->isEnabled());
    QCOMPARE(Child<TIPEdit>(&dlg, "IPEdtAddress")->Text(), "10.77.1.50");

    // Escape is No as well.
    driver.Expect<QMessageBox>([&seen](QMessageBox* box) {
        ++seen.Shown;
        QTest::keyClick(box, Qt::Key_Escape);
    });
    QTest::mouseClick(Child<QPushButton>(&dlg, "BBChange"), Qt::LeftButton);
    QCOMPARE(seen.Shown, 2);
    QVERIFY(dlg.isVisible());
    QCOMPARE(net->EnginesMade.load(), 0);

    // Asked again on the next Change; Yes sends.
    TBoxSeen box;
    driver.Expect<QMessageBox>(AnswerQuestion(seen, QMessageBox::Yes));
    driver.Expect<QMessageBox>(AnswerBox(box, nullptr));
    QSignalSpy finished(&dlg, &TfXPortIPChangeGUI::ChangeFinished);
    QTest::mouseClick(Child<QPushButton>(&dlg, "BBChange"), Qt::LeftButton);
    QCOMPARE(seen.Shown, 3);
    QVERIFY(finished.count() == 1 || finished.wait(3000));
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.isVisible(), 5000);
    QCOMPARE(box.Caption, "Information");
    QCOMPARE(dlg.result(), TfXPortIPChangeGUI::mrOk);
    QCOMPARE(net->Events().filter("send").size(), 1);
    QVERIFY2(driver.Unexpected.isEmpty(), qPrintable(driver.Unexpected.join(",")));
}

void TestIPChangeGUI::cancelCreatesNoEngine_data() {
    QTest::addColumn<bool>("escape");
    QTest::newRow("Cancel button") << false;
    QTest::newRow("Escape key") << true;
}

void TestIPChangeGUI::cancelCreatesNoEngine() {
    QFETCH(bool, escape);
    auto net = std::make_shared<TFakeIPNet>();
    TfXPortIPChangeGUI dlg(nullptr, FakeIPChangeFactory(net));
    TModalDriver driver;
    driver.Expect<TfXPortIPChangeGUI>([escape](TfXPortIPChangeGUI* d) {
        if (escape) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        } else {
            QTest::mouseClick(Child<QPushButton>(d, "BBCancel"), Qt::LeftButton);
        }
    });
    QCOMPARE(dlg.exec(), TfXPortIPChangeGUI::mrCancel);
    QVERIFY(driver.Unexpected.isEmpty());
    QCOMPARE(net->EnginesMade.load(), 0);
    QVERIFY(net->Events().isEmpty());
}

void TestIPChangeGUI::busyWhileChanging() {
    auto net = std::make_shared<TFakeIPNet>();
    net->PingHeld = true; // until the checks of the busy dialog are done
    TfXPortIPChangeGUI dlg(nullptr, FakeIPChangeFactory(net));
    dlg.DeviceIP = "10.77.1.50";
    dlg.DeviceMAC = "00-20-4A-01-02-03";
    TModalDriver driver;
    TBoxSeen box;
    driver.Ignore(&dlg);
    driver.Expect<QMessageBox>(AnswerBox(box, nullptr));
    QSignalSpy finished(&dlg, &TfXPortIPChangeGUI::ChangeFinished);
    dlg.show();
    QTest::mouseClick(Child<QPushButton>(&dlg, "BBChange"), Qt::LeftButton);

    // The engine is still pinging; the UI thread is free and the dialog in
    // sight, with the hourglass and nothing to press.
    QVERIFY(dlg.Changing());
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    int ticks = 0;
    QTimer tick;
    connect(&tick, &QTimer::timeout, this, [&] { ++ticks; });
    tick.start(20);
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= 5, 10000);
    QCOMPARE(finished.count(), 0);
    QVERIFY(dlg.isVisible());
    QVERIFY(!dlg.grab().isNull());
    for (const char* name : {"BBChange", "BBCancel", "EdtMac", "IPEdtAddress", "ChbDHCP"}) {
        QVERIFY2(!Child<QWidget>(&dlg, name)->isEnabled(), name);
    }
    // Neither Esc nor closing the window drops the change.
    QTest::keyClick(&dlg, Qt::Key_Escape);
    dlg.close();
    QVERIFY(dlg.isVisible());
    QTest::mouseClick(Child<QPushButton>(&dlg, "BBChange"), Qt::LeftButton);

    net->PingHeld = false;
    QVERIFY(finished.wait(3000));
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.isVisible(), 5000);
    QVERIFY(box.Shown);
    QCOMPARE(box.Caption, "Information");
    QCOMPARE(dlg.result(), TfXPortIPChangeGUI::mrOk);
    QCOMPARE(net->EnginesMade.load(), 1);
    QCOMPARE(net->Events().filter("send").size(), 1);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TestIPChangeGUI::destroyWhileChanging() {
    auto net = std::make_shared<TFakeIPNet>();
    net->PingDelayMs = 500;
    auto dlg = std::make_unique<TfXPortIPChangeGUI>(nullptr, FakeIPChangeFactory(net));
    dlg->DeviceMAC = "00-20-4A-01-02-03";
    dlg->DeviceIP = "10.77.1.50";
    TModalDriver driver;
    driver.Ignore(dlg.get());
    dlg->show();
    QTest::mouseClick(Child<QPushButton>(dlg.get(), "BBChange"), Qt::LeftButton);
    QVERIFY(dlg->Changing());
    QElapsedTimer t;
    t.start();
    dlg.reset(); // waits for the bounded engine, then goes
    QVERIFY(t.elapsed() < 2000);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QTest::qWait(100); // the worker's posted outcome must go nowhere
    QVERIFY(driver.Unexpected.isEmpty());
    QCOMPARE(net->Events().filter("ping").size(), 1);
}

// ---- opened from the search dialog -------------------------------------------

namespace {

struct TSearchFixture {
    std::shared_ptr<TFakeNetwork> Search = std::make_shared<TFakeNetwork>();
    std::shared_ptr<TFakeIPNet> Net = std::make_shared<TFakeIPNet>();
    TDefaultEngineGuard Engines{FakeIPChangeFactory(Net)};
    std::unique_ptr<TfXPortSearchGUI> Dlg;

    explicit TSearchFixture(std::vector<std::vector<TXportPar>> searches) {
        for (auto& devices : searches) {
            Search->Script.push_back({std::move(devices), {}});
        }
        Dlg = std::make_unique<TfXPortSearchGUI>(nullptr, FakeFactory(Search));
        Dlg->ButtonSet = 0x3E;
    }
    QTableWidget* List() const { return Dlg->findChild<QTableWidget*>("LvDeviceList"); }
    QPushButton* Button(const char* name) const { return Dlg->findChild<QPushButton*>(name); }
    int Searches() {
        std::lock_guard<std::mutex> g(Search->Lock);
        return Search->Searches;
    }
    bool Show() {
        QSignalSpy done(Dlg.get(), &TfXPortSearchGUI::SearchFinished);
        Dlg->show();
        return done.wait(5000);
    }
    QStringList IPs() const {
        QStringList ips;
        for (int r = 0; r < List()->rowCount(); ++r) {
            ips << List()->item(r, 0)->text();
        }
        return ips;
    }
};

TXportPar Device(const std::string& ip, const std::string& mac, const std::string& adapter) {
    TXportPar d = Dev(ip, mac);
    d.AdapterIP = adapter;
    return d;
}

} // namespace

void TestIPChangeGUI::searchDialogChangeIPNeedsSelectedRow_data() {
    QTest::addColumn<bool>("rows");
    QTest::newRow("empty list") << false;
    QTest::newRow("rows, none selected") << true;
}

void TestIPChangeGUI::searchDialogChangeIPNeedsSelectedRow() {
    QFETCH(bool, rows);
    std::vector<TXportPar> devices;
    if (rows) {
        devices = {Device("10.77.1.10", "00-20-4A-01-02-03", "10.77.1.1")};
    }
    TSearchFixture f({devices});
    QVERIFY(f.Show());
    f.List()->clearSelection();
    QVERIFY(f.Button("BBChangeIP")->isEnabled());
    TModalDriver driver;
    driver.Ignore(f.Dlg.get());
    QTest::mouseClick(f.Button("BBChangeIP"), Qt::LeftButton);
    QTest::qWait(100);
    QVERIFY2(driver.Unexpected.isEmpty(), qPrintable(driver.Unexpected.join(",")));
    QCOMPARE(f.Searches(), 1);
    QVERIFY(!f.Dlg->Searching());
}

void TestIPChangeGUI::searchDialogOpensChange() {
    TSearchFixture f({{Device("10.77.1.10", "00-20-4A-01-02-03", "10.77.1.1"),
                       Device("10.77.2.20", "00-20-4A-01-02-04", "10.77.2.1")}});
    QVERIFY(f.Show());
    const QStringList listed = f.IPs();

    // The selected row, with the search dialog's own texts.
    f.List()->selectRow(1);
    TModalDriver driver;
    driver.Ignore(f.Dlg.get());
    bool seen = false;
    driver.Expect<TfXPortIPChangeGUI>([&](TfXPortIPChangeGUI* d) {
        // Closed however the checks end, so that a failure cannot hang the test.
        const auto close = qScopeGuard(
            [d] { QTest::mouseClick(Child<QPushButton>(d, "BBCancel"), Qt::LeftButton); });
        seen = true;
        QCOMPARE(d->parentWidget(), f.Dlg.get());
        QCOMPARE(S(d->DeviceIP), "10.77.2.20");
        QCOMPARE(S(d->DeviceMAC), "00-20-4A-01-02-04");
        QCOMPARE(S(d->AdapterIP), "10.77.2.1");
        QVERIFY(!d->DeviceNotFound);
        QCOMPARE(Child<TIPEdit>(d, "IPEdtAddress")->Text(), "10.77.2.20");
        QCOMPARE(Child<QLineEdit>(d, "EdtMac")->text(), "00-20-4A-01-02-04");
        QVERIFY(Child<QCheckBox>(d, "ChBARPOnly")->isVisible());
        QCOMPARE(d->windowTitle(), "Change IP address");
        QCOMPARE(Child<QLabel>(d, "LabIPAddress")->text(), "IP address"); // no colon
        QCOMPARE(Child<QLabel>(d, "LabMacAddress")->text(), "MAC address");
    });
    QTest::mouseClick(f.Button("BBChangeIP"), Qt::LeftButton);
    QVERIFY(seen);

    // Not found, with the twelve texts taken from the search dialog's record.
    for (std::size_t i = 11; i < 20; ++i) {
        f.Dlg->Texts[i] = "S" + std::to_string(i);
    }
    f.Dlg->Texts[5] = "S5";
    f.Dlg->Texts[6] = "S6";
    f.Dlg->Texts[7] = "S7";
    seen = false;
    driver.Expect<TfXPortIPChangeGUI>([&](TfXPortIPChangeGUI* d) {
        const auto close =
            qScopeGuard([] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); });
        seen = true;
        QVERIFY(d->DeviceNotFound);
        QCOMPARE(S(d->AdapterIP), "");
        QCOMPARE(Child<TIPEdit>(d, "IPEdtAddress")->Text(), "0.0.0.0");
        QCOMPARE(Child<QLineEdit>(d, "EdtMac")->text(), "00-00-00-00-00-00");
        QVERIFY(Child<QCheckBox>(d, "ChBARPOnly")->isHidden());
        const TXPortIPChangeLangSupport expected = {"S11", "S12", "S5",  "S6",  "S7",  "S13",
                                                    "S14", "S15", "S16", "S17", "S18", "S19"};
        QVERIFY(d->Texts() == expected);
    });
    QTest::mouseClick(f.Button("BBHelpDeviceNotFound"), Qt::LeftButton);
    QVERIFY(seen);
    QVERIFY2(driver.Unexpected.isEmpty(), qPrintable(driver.Unexpected.join(",")));

    // Cancel leaves the list as it was: no new search.
    QTest::qWait(50);
    QCOMPARE(f.Searches(), 1);
    QCOMPARE(f.IPs(), listed);
    QCOMPARE(f.Net->EnginesMade.load(), 0);
    QVERIFY(f.Dlg->findChildren<TfXPortIPChangeGUI*>().isEmpty()); // released
}

void TestIPChangeGUI::searchDialogSearchesAgainAfterOk() {
    TSearchFixture f({{Device("10.77.1.10", "00-20-4A-01-02-03", "10.77.1.1")},
                      {Device("10.77.1.50", "00-20-4A-01-02-03", "10.77.1.1")}});
    QVERIFY(f.Show());
    QCOMPARE(f.IPs(), QStringList{"10.77.1.10"});

    TModalDriver driver;
    driver.Ignore(f.Dlg.get());
    TBoxSeen box;
    driver.Expect<TfXPortIPChangeGUI>([](TfXPortIPChangeGUI* d) {
        Child<TIPEdit>(d, "IPEdtAddress")->SetText("10.77.1.50");
        QTest::mouseClick(Child<QPushButton>(d, "BBChange"), Qt::LeftButton);
    });
    driver.Expect<QMessageBox>(AnswerBox(box, nullptr));
    QSignalSpy searched(f.Dlg.get(), &TfXPortSearchGUI::SearchFinished);
    QTest::mouseClick(f.Button("BBChangeIP"), Qt::LeftButton);
    QVERIFY(box.Shown);
    QCOMPARE(box.Caption, "Information");
    QVERIFY(searched.count() == 1 || searched.wait(5000));
    QCOMPARE(f.Searches(), 2);
    QCOMPARE(f.IPs(), QStringList{"10.77.1.50"});
    QCOMPARE(f.Net->Events(), (QStringList{"ping 10.77.1.50", "bind 10.77.1.1",
                                           "send 30718 " + IpSetupHex("0A4D0132")}));
    QVERIFY2(driver.Unexpected.isEmpty(), qPrintable(driver.Unexpected.join(",")));
}

void TestIPChangeGUI::searchDialogHandsOverEveryDevice() {
    // .10 is no production address: the filter hides its row.
    const std::vector<TXportPar> devices = {Device("10.77.1.10", "00-20-4A-01-02-03", "10.77.1.1"),
                                            Device("10.77.1.50", "00-20-4A-0F-02-03", "10.77.1.1")};
    TSearchFixture f({devices});
    QVERIFY(f.Show());
    QSignalSpy searched(f.Dlg.get(), &TfXPortSearchGUI::SearchFinished);
    f.Dlg->findChild<QAction*>("pmProductionMaskSensors")->trigger();
    QVERIFY(searched.wait(5000));
    QCOMPARE(f.IPs(), QStringList{"10.77.1.50"});
    f.List()->selectRow(0);

    TModalDriver driver;
    driver.Ignore(f.Dlg.get());
    QStringList known;
    driver.Expect<TfXPortIPChangeGUI>([&](TfXPortIPChangeGUI* d) {
        for (const TXportPar& k : d->KnownDevices) {
            known << S(k.IP + " " + k.MAC + " " + k.AdapterIP);
        }
        QTest::mouseClick(Child<QPushButton>(d, "BBCancel"), Qt::LeftButton);
    });
    QTest::mouseClick(f.Button("BBChangeIP"), Qt::LeftButton);
    QCOMPARE(known, (QStringList{"10.77.1.10 00-20-4A-01-02-03 10.77.1.1",
                                 "10.77.1.50 00-20-4A-0F-02-03 10.77.1.1"}));
    QVERIFY2(driver.Unexpected.isEmpty(), qPrintable(driver.Unexpected.join(",")));
}

QTEST_MAIN(TestIPChangeGUI)
// The change record names the address the device was listed with; the
// record's own lines are the engine's (unit tests).
void TestIPChangeGUI::changeIsRecordedWithTheListedAddress() {
    auto net = std::make_shared<TFakeIPNet>();
    const QString record =
        QDir(QDir::tempPath())
            .filePath(QString("qv-record-%1.log").arg(QCoreApplication::applicationPid()));
    QFile::remove(record);
    const auto cleanup = qScopeGuard([&] { QFile::remove(record); });
    TfXPortIPChangeGUI dlg(nullptr, [net, record] {
        auto engine = FakeIPChangeFactory(net)();
        engine->RecordFile = record.toStdString();
        return engine;
    });
    dlg.AdapterIP = "10.77.1.1";
    dlg.KnownDevices = Devices({"10.77.1.9 00-20-4A-0F-0F-0F 10.77.1.1", OwnDevice});
    TModalDriver driver;
    TBoxSeen box;
    driver.Expect<TfXPortIPChangeGUI>([&](TfXPortIPChangeGUI* d) {
        Child<QLineEdit>(d, "EdtMac")->setText("00-20-4A-01-02-03");
        Child<TIPEdit>(d, "IPEdtAddress")->SetText("10.77.1.50");
        QTest::mouseClick(Child<QPushButton>(d, "BBChange"), Qt::LeftButton);
    });
    driver.Expect<QMessageBox>(AnswerBox(box, nullptr));
    QCOMPARE(dlg.exec(), TfXPortIPChangeGUI::mrOk);
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString line = QString::fromUtf8(file.readAll());
    QVERIFY2(line.contains("[i] IP change: MAC 00-20-4A-01-02-03, 10.77.1.10 -> 10.77.1.50, way "
                           "IP-SETUP, adapter 10.77.1.1, done: "),
             qPrintable(line));
}

#include "test_ipchangegui.moc"
