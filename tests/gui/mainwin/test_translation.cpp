// The windows in the user's language. Registered with a German session
// (LANG=de_DE.UTF-8), as a user in Germany starts the program: the catalogue
// the program embeds is found through the system locale, and the main
// window, the search dialog and the IP change dialog speak German. English
// (the source) and a language without a catalogue install nothing.

#include "FakeSearch.h"
#include "ipchange/gui/uXPortIPChangeGUI.h"
#include "ipchange/gui/uXPortIPChangeGUIStrings.h"
#include "ipchange/uXPortIPChangeStrings.h"
#include "shell/gui/uMain.h"
#include "shell/gui/uTranslations.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

QString ButtonText(const QWidget* w, const char* name) {
    const auto* b = w->findChild<QPushButton*>(name);
    return b ? b->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}

QStringList HeaderTexts(const QWidget* w) {
    QStringList texts;
    const auto* list = w->findChild<QTableWidget*>("LvDeviceList");
    for (int c = 0; list && c < list->columnCount(); ++c) {
        texts << (list->horizontalHeaderItem(c) ? list->horizontalHeaderItem(c)->text()
                                                : QString());
    }
    return texts;
}

// Runs `check` on the search dialog once its search is done, then answers it
// with `finish`; gives up (and closes it) after 5 s so that no test hangs.
void WhenDialogReady(std::function<void(TfXPortSearchGUI*)> check,
                     std::function<void(TfXPortSearchGUI*)> finish) {
    auto* timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        auto* dialog = qobject_cast<TfXPortSearchGUI*>(QApplication::activeModalWidget());
        if (dialog && dialog->isVisible() && !dialog->Searching()) {
            timer->deleteLater();
            check(dialog);
            finish(dialog);
        } else if (clock->elapsed() > 5000) {
            timer->deleteLater();
            if (dialog) {
                dialog->reject();
            }
        }
    });
    timer->start(10);
}

// With QUORVET_SCREENSHOTS set, the windows are kept as PNG files there, to
// be looked at.
void KeepPicture(QWidget* w, const char* name) {
    const QString dir = qEnvironmentVariable("QUORVET_SCREENSHOTS");
    if (!dir.isEmpty()) {
        w->grab().save(dir + "/" + name + ".png");
    }
}

} // namespace

class TestTranslation : public QObject {
    Q_OBJECT

private slots:
    void englishAndUnknownLanguagesInstallNothing();
    void germanSessionFindsTheCatalogue();
    void mainWindowAndSearchDialog();
    void ipChangeDialogAndEngineTexts();
};

void TestTranslation::englishAndUnknownLanguagesInstallNothing() {
    for (const char* name : {"en_US", "en_GB", "C", "fr_FR", "cs_CZ"}) {
        QVERIFY2(!InstallTranslations(QLocale(QLatin1String(name))), name);
    }
    QCOMPARE(QCoreApplication::translate("TfMain", "Close"), QString("Close"));
}

void TestTranslation::germanSessionFindsTheCatalogue() {
    // The program ships its catalogue inside the program file.
    QVERIFY(QFile::exists(":/i18n/quorvet_de.qm"));
    QCOMPARE(QLocale::system().language(), QLocale::German);
    QVERIFY(InstallTranslations(QLocale::system()));
}

void TestTranslation::mainWindowAndSearchDialog() {
    auto net = std::make_shared<TFakeNetwork>();
    net->Script = {
        {{Dev("10.77.1.10", "00-20-4A-00-00-01", "1-4-5.02", "", "QS101", "Kessel")}, ""}};
    TfMain main;
    main.SearchJobFactory = FakeFactory(net);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QCOMPARE(ButtonText(&main, "BtnClose"), QString("Schließen"));
    QCOMPARE(main.findChild<QLabel*>("LabIpAddress")->text(), QString("IP-Adresse"));
    // The label still shows its whole (longer) text.
    const QLabel* label = main.findChild<QLabel*>("LabIpAddress");
    QVERIFY(label->width() >= label->sizeHint().width());

    QString title;
    QStringList buttons, headers, menu;
    WhenDialogReady(
        [&](TfXPortSearchGUI* d) {
            title = d->windowTitle();
            buttons = QStringList{ButtonText(d, "BBSearch"), ButtonText(d, "BBSelect"),
                                  ButtonText(d, "BBCancel"), ButtonText(d, "BBChangeIP"),
                                  ButtonText(d, "BBHelpDeviceNotFound")};
            headers = HeaderTexts(d);
            KeepPicture(d, "de-search-dialog");
            for (const char* action : {"pmProductionMaskAll", "pmProductionMaskSensors"}) {
                const auto* a = d->findChild<QAction*>(action);
                menu << (a ? a->text() : QString());
            }
        },
        [](TfXPortSearchGUI* d) { d->reject(); });
    QTest::mouseClick(main.findChild<QPushButton*>("BtnSearch"), Qt::LeftButton);
    QCOMPARE(title, QString("Gerät suchen"));
    QCOMPARE(buttons, (QStringList{"Suchen", "Auswählen", "Abbrechen", "IP ändern",
                                   "Hilfe! Mein Gerät wurde nicht gefunden!"}));
    QCOMPARE(headers.mid(0, 5), (QStringList{"IP-Adresse", "MAC-Adresse", "Firmware", "Gerätetyp",
                                             "Gerätebeschreibung"}));
    QCOMPARE(menu, (QStringList{"Alle anzeigen", "Nur Produktionsadressen anzeigen"}));
    auto* info = main.findChild<QPlainTextEdit*>("MeInfo");
    QCOMPARE(info->toPlainText(), QString("Gerät wird gesucht...\nAbgebrochen"));

    // Select: the identity block names the device in German, the values as
    // the device gave them.
    WhenDialogReady([](TfXPortSearchGUI*) {}, [](TfXPortSearchGUI* d) { d->accept(); });
    QTest::mouseClick(main.findChild<QPushButton*>("BtnSearch"), Qt::LeftButton);
    const QStringList lines = info->toPlainText().split('\n');
    QCOMPARE(lines.size(), 8);
    QCOMPARE(lines[1], QString("- [Gerät: Kessel]"));
    QCOMPARE(lines[3], QString("- QS101"));
    QCOMPARE(lines[4], QString("- IP: 10.77.1.10"));
}

void TestTranslation::ipChangeDialogAndEngineTexts() {
    TfXPortIPChangeGUI dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.windowTitle(), QString("IP-Adresse ändern"));
    QCOMPARE(ButtonText(&dialog, "BBChange"), QString("Ändern"));
    QCOMPARE(ButtonText(&dialog, "BBCancel"), QString("Abbrechen"));
    const QList<QCheckBox*> boxes = dialog.findChildren<QCheckBox*>();
    QStringList texts;
    for (const QCheckBox* box : boxes) {
        texts << box->text();
    }
    QVERIFY2(texts.contains("IP-Adresse nur in die ARP-Tabelle eintragen"),
             qPrintable(texts.join('|')));
    QVERIFY2(texts.contains("DHCP"), qPrintable(texts.join('|')));
    KeepPicture(&dialog, "de-ipchange-dialog");

    // The engine's messages reach the dialog translated (record entries 7-12),
    // line breaks kept; the causes are translated where they are shown.
    const TXPortIPChangeLangSupport record = LoadXPortIPChangeLangSupport();
    QCOMPARE(QString::fromStdString(record[8]), QString("Fehler beim Ändern der IP-Adresse."));
    QCOMPARE(
        QString::fromStdString(record[9]),
        QString("Syntaxfehler in der IP-Adresse.\r\nBitte geben Sie eine gültige IP-Adresse ein."));
    QVERIFY(IPChangeEngineText(IPChangeStrings::SIPChangeCausePing).startsWith("Die neue Adresse"));
    QCOMPARE(IPChangeWarningCaption(), QString("Warnung"));
    // A text the catalogue does not know stays as it is.
    QCOMPARE(IPChangeEngineText("Socket Error # 10013"), QString("Socket Error # 10013"));
}

QTEST_MAIN(TestTranslation)
#include "test_translation.moc"
