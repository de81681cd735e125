// The main window driven offscreen: its dialogs search through a scripted job
// and are answered by the test, the folders live in a temporary home.

#include "FakeSearch.h"
#include "guicommon/uGuiCommon.h"
#include "platform/ProgramFile.h"
#include "platform/ShellFolders.h"
#include "platform/UserSettingsStore.h"
#include "searchdialog/ipedit/IPEdit.h"
#include "shell/gui/uMain.h"
#include "shell/uApplicationFolders.h"
#include "shell/uApplicationSpecifical.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <deque>

namespace {

constexpr int kCommonAppData = 35;

// The search of the dialog's own tests, with one device list for every search.
void Answer(TFakeNetwork& net, std::vector<TXportPar> devices, std::string error = {}) {
    std::lock_guard<std::mutex> g(net.Lock);
    net.Script = {TFakeResult{std::move(devices), std::move(error)}};
}

TXportPar Device(const std::string& ip, const std::string& description,
                 const std::string& mac = "00-20-4A-01-02-03",
                 const std::string& firmware = "1-4-5.02", const std::string& type = "QV-Logger") {
    return Dev(ip, mac, firmware, "", type, description);
}

// Answers modal windows as they come up, one step each, in order. A step
// whose window does not show within its time is given up and every modal
// window is closed, so that no test can hang on a dialog.
class TModalAnswers : public QObject {
public:
    using TMatch = std::function<bool(QWidget*)>;
    using TAction = std::function<void(QWidget*)>;

    TModalAnswers() {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
    }
    void Then(TMatch match, TAction action) {
        steps_.push_back({std::move(match), std::move(action)});
        if (!timer_.isActive()) {
            clock_.start();
            timer_.start();
        }
    }
    bool AllAnswered() const { return steps_.empty() && !gaveUp_; }

private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (steps_.empty() && !modal) {
            timer_.stop();
            return;
        }
        if (!steps_.empty() && modal && modal->isVisible() && steps_.front().first(modal)) {
            const TAction action = steps_.front().second;
            steps_.pop_front();
            clock_.restart();
            action(modal);
            return;
        }
        // A window that never came, or one a failed step left open.
        if (clock_.elapsed() > 5000) {
            gaveUp_ = true;
            steps_.clear();
            timer_.stop();
            while (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                dialog->reject();
            }
        }
    }

    QTimer timer_;
    QElapsedTimer clock_;
    std::deque<std::pair<TMatch, TAction>> steps_;
    bool gaveUp_ = false;
};

// The search dialog, shown and done with its search.
bool SearchDialogReady(QWidget* w) {
    auto* dialog = qobject_cast<TfXPortSearchGUI*>(w);
    return dialog && !dialog->Searching();
}

void Click(QWidget* w, const char* button) {
    auto* b = w->findChild<QPushButton*>(button);
    QVERIFY2(b, button);
    QVERIFY2(b->isVisible() && b->isEnabled(), button);
    QTest::mouseClick(b, Qt::LeftButton);
}

void SelectRowWithIP(QWidget* w, const QString& ip) {
    auto* list = w->findChild<QTableWidget*>("LvDeviceList");
    QVERIFY(list);
    for (int r = 0; r < list->rowCount(); ++r) {
        if (list->item(r, TfXPortSearchGUI::colIP)->text() == ip) {
            const QRect rect = list->visualItemRect(list->item(r, 0));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
            return;
        }
    }
    QFAIL(qPrintable("no row " + ip));
}

QStringList Block(const QString& description, const QString& type, const QString& ip,
                  const QString& mac, const QString& firmware) {
    const QString s = TfMain::SeparatorLine;
    return {s,
            "- [Device: " + description + "]",
            s,
            "- " + type,
            "- IP: " + ip,
            "- MAC: " + mac,
            "- FW: " + firmware,
            s};
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void caption_data();
    void caption();
    void freshStart();
    void tabOrder();
    void cancelLeavesTwoLines();
    void buttonSetFromSettings_data();
    void buttonSetFromSettings();
    void selectShowsIdentityBlock_data();
    void selectShowsIdentityBlock();
    void secondSearchReplacesBlock();
    void okWithoutRowGivesEmptyBlock();
    void dialogErrorKeepsProgramRunning();
    void choicesKeptAcrossRuns();

private:
    // Identity and folders as at start-up, with the given settings file and
    // the given program file (default: this test program, which carries the
    // file version).
    void StartUp(const QByteArray& ini = {}, const QString& programFile = {});
    // Presses "..." and returns once the dialog has been answered and closed.
    void PressSearch(TModalAnswers& answers);
    // The program ended (without closing the window: nothing saved) and
    // started again with the same folders.
    void Restart();
    QStringList Lines() const { return Info()->toPlainText().split('\n'); }
    QPlainTextEdit* Info() const { return main_->findChild<QPlainTextEdit*>("MeInfo"); }
    TIPEdit* IpField() const { return main_->findChild<TIPEdit*>("IpeAddress"); }

    std::unique_ptr<QTemporaryDir> dir_;
    std::shared_ptr<TFakeNetwork> net_;
    std::unique_ptr<TfMain> main_;
    std::vector<std::string> errors_;
    QByteArray savedHome_;
    QByteArray savedConfigDirs_;
};

void TestMainWindow::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    const QString root = dir_->path();
    for (const char* sub : {"home", "shared", "bin"}) {
        QVERIFY(QDir(root).mkpath(sub));
    }
    savedHome_ = qgetenv("HOME");
    qputenv("HOME", (root + "/home").toUtf8());
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        qunsetenv(name);
    }
    // The machine's settings folders (/etc/xdg) are no part of a test.
    savedConfigDirs_ = qgetenv("XDG_CONFIG_DIRS");
    qputenv("XDG_CONFIG_DIRS", (root + "/no-machine-settings").toUtf8());
    platform::OverrideShellFolder(kCommonAppData, (root + "/shared").toStdString());
    net_ = std::make_shared<TFakeNetwork>();
    errors_.clear();
}

void TestMainWindow::cleanup() {
    main_.reset();
    SetErrorBoxHook({});
    uApplicationFolders::FinalizeAppFolders();
    uApplicationSpecifical::ResetIdentity();
    platform::OverrideShellFolder(kCommonAppData, std::nullopt);
    platform::OverrideProgramFilePath(std::nullopt);
    qputenv("HOME", savedHome_);
    if (savedConfigDirs_.isNull()) {
        qunsetenv("XDG_CONFIG_DIRS");
    } else {
        qputenv("XDG_CONFIG_DIRS", savedConfigDirs_);
    }
    dir_.reset();
}

void TestMainWindow::StartUp(const QByteArray& ini, const QString& programFile) {
    const QString bin = dir_->path() + "/bin";
    const QString program = bin + "/quorvet";
    if (programFile.isEmpty()) {
        QVERIFY(QFile::link(QCoreApplication::applicationFilePath(), program));
    } else {
        QVERIFY(QFile::copy(programFile, program));
    }
    platform::OverrideProgramFilePath(program.toStdString());
    if (!ini.isNull()) {
        QFile f(bin + "/Quorvet.ini");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(ini);
    }
    uApplicationFolders::SetAppFolders();
    main_ = std::make_unique<TfMain>();
    main_->SearchJobFactory = FakeFactory(net_);
    SetErrorBoxHook([this](const std::string& m) { errors_.push_back(m); });
    main_->show();
    QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
}

void TestMainWindow::Restart() {
    main_.reset();
    uApplicationFolders::FinalizeAppFolders();
    uApplicationFolders::SetAppFolders();
    main_ = std::make_unique<TfMain>();
    main_->SearchJobFactory = FakeFactory(net_);
    main_->show();
    QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
}

void TestMainWindow::PressSearch(TModalAnswers& answers) {
    QTest::mouseClick(main_->findChild<QPushButton*>("BtnSearch"), Qt::LeftButton);
    QVERIFY2(answers.AllAnswered(), "a modal window did not come up");
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

// ---------------------------------------------------------------------------

void TestMainWindow::caption_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("versioned");
    QTest::addColumn<QString>("caption");
    QTest::newRow("defaults") << QByteArray() << true << "Quorvet utility ver.1.0.0.0";
    QTest::newRow("appnamelong") << QByteArray("[label]\r\nappnamelong=Field Kit 7\r\n") << true
                                 << "Field Kit 7 ver.1.0.0.0";
    QTest::newRow("program file without version")
        << QByteArray() << false << "Quorvet utility ver.";
}

void TestMainWindow::caption() {
    QFETCH(QByteArray, ini);
    QFETCH(bool, versioned);
    QFETCH(QString, caption);
    QString program;
    if (!versioned) {
        program = dir_->path() + "/plain";
        QFile f(program);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    }
    StartUp(ini, program);
    QCOMPARE(main_->windowTitle(), caption);
}

void TestMainWindow::freshStart() {
    StartUp();
    QCOMPARE(IpField()->Text(), QString("192.168.1.213"));
    QCOMPARE(Info()->toPlainText(), QString());
    QVERIFY(!Info()->isReadOnly());
    QCOMPARE(main_->size(), QSize(513, 313));

    // The label shows its whole text and stays clear of the IP field.
    auto* label = main_->findChild<QLabel*>("LabIpAddress");
    QCOMPARE(label->text(), QString("IP address"));
    QVERIFY(label->width() >= label->sizeHint().width());
    QVERIFY(label->geometry().right() < IpField()->x());
}

void TestMainWindow::tabOrder() {
    StartUp();
    QApplication::setActiveWindow(main_.get());
    QVERIFY(QTest::qWaitForWindowActive(main_.get()));
    auto* close = main_->findChild<QPushButton*>("BtnClose");
    close->setFocus();
    const QWidget* expected[] = {IpField()->Field(0), main_->findChild<QWidget*>("BtnSearch"),
                                 Info(), close};
    for (const QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
}

void TestMainWindow::cancelLeavesTwoLines() {
    StartUp();
    IpField()->SetText("10.1.2.3");
    Answer(*net_, {Device("10.77.1.10", "Boiler room")});
    TModalAnswers answers;
    QPointer<QWidget> shown;
    answers.Then(SearchDialogReady, [&](QWidget* w) {
        shown = w;
        auto* dialog = static_cast<TfXPortSearchGUI*>(w);
        // A fresh dialog of the main window, default buttons, our settings.
        QCOMPARE(dialog->parentWidget(), main_.get());
        QCOMPARE(dialog->ButtonSet, TfXPortSearchGUI::bsDefault);
        QVERIFY(!w->findChild<QPushButton*>("BBChangeIP")->isVisible());
        QCOMPARE(dialog->SettingsFileName, uApplicationFolders::IniFileName());
        // "Searching device..." is already there while the dialog is up.
        QCOMPARE(Lines(), QStringList{"Searching device..."});
        Click(w, "BBCancel");
    });
    PressSearch(answers);
    QCOMPARE(Lines(), (QStringList{"Searching device...", "Canceled"}));
    QCOMPARE(IpField()->Text(), QString("10.1.2.3"));
    {
        std::lock_guard<std::mutex> g(net_->Lock);
        QCOMPARE(net_->SettingsLoaded,
                 std::vector<std::string>{dir_->path().toStdString() + "/bin/Quorvet.ini"});
    }
    // Released once the click has been handled.
    QTRY_VERIFY_WITH_TIMEOUT(shown.isNull(), 2000);
    QVERIFY(main_->findChildren<TfXPortSearchGUI*>().isEmpty());
}

void TestMainWindow::buttonSetFromSettings_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("buttonSet"); // as the dialog shows it
    QTest::addColumn<QStringList>("shown");
    const QStringList plain{"BBSearch", "BBSelect", "BBCancel"};
    const QStringList all{"BBSearch", "BBSelect", "BBCancel", "BBChangeIP", "BBHelpDeviceNotFound"};
    QTest::newRow("no settings file") << QByteArray() << 0x32 << plain;
    QTest::newRow("0x hex") << QByteArray("[Search]\r\nButtonSet=0x3E\r\n") << 0x3E << all;
    QTest::newRow("$ hex, names in any case")
        << QByteArray("[search]\nbuttonset = $3e\n") << 0x3E << all;
    QTest::newRow("decimal") << QByteArray("[Search]\nButtonSet=62\n") << 0x3E << all;
    QTest::newRow("Help alone") << QByteArray("[Search]\nButtonSet=0x04\n") << 0x04
                                << QStringList{"BBSearch", "BBCancel", "BBHelpDeviceNotFound"};
    QTest::newRow("zero: the empty set") << QByteArray("[Search]\nButtonSet=0\n") << 0x32 << plain;
    QTest::newRow("above a byte") << QByteArray("[Search]\nButtonSet=0x13E\n") << 0x32 << plain;
    QTest::newRow("negative") << QByteArray("[Search]\nButtonSet=-1\n") << 0x32 << plain;
    QTest::newRow("not a number") << QByteArray("[Search]\nButtonSet=0x3G\n") << 0x32 << plain;
    QTest::newRow("empty value") << QByteArray("[Search]\nButtonSet=\n") << 0x32 << plain;
    QTest::newRow("other section") << QByteArray("[Connection]\nButtonSet=0x3E\n") << 0x32 << plain;
}

void TestMainWindow::buttonSetFromSettings() {
    QFETCH(QByteArray, ini);
    QFETCH(int, buttonSet);
    QFETCH(QStringList, shown);
    StartUp(ini);
    Answer(*net_, {Device("10.77.1.10", "Boiler room")});
    TModalAnswers answers;
    answers.Then(SearchDialogReady, [&](QWidget* w) {
        QCOMPARE(int(static_cast<TfXPortSearchGUI*>(w)->ButtonSet), buttonSet);
        QStringList visible;
        for (const char* name :
             {"BBSearch", "BBSelect", "BBCancel", "BBChangeIP", "BBHelpDeviceNotFound"}) {
            if (w->findChild<QPushButton*>(name)->isVisible()) {
                visible << name;
            }
        }
        QCOMPARE(visible, shown);
        w->findChild<QPushButton*>("BBCancel")->click();
    });
    PressSearch(answers);
    QCOMPARE(Lines(), (QStringList{"Searching device...", "Canceled"}));
}

void TestMainWindow::selectShowsIdentityBlock_data() {
    QTest::addColumn<QByteArray>("description");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << QByteArray("Boiler room") << "Boiler room";
    QTest::newRow("empty") << QByteArray() << "";
    QTest::newRow("blanks kept") << QByteArray("  two  blanks ") << "  two  blanks ";
    // A device's text is not to break the block into more lines: its control
    // characters show as symbols, the text widget's block marks (U+FDD0,
    // U+FDD1) and the separators as U+FFFD.
    QTest::newRow("line breaks") << QByteArray("Hall\r\nEast\nWest\0x", 17)
                                 << QString::fromUtf8(u8"Hall\u240D\u240AEast\u240AWest\u2400x");
    QTest::newRow("block marks and separators")
        << QByteArray("A\xEF\xB7\x90"
                      "B\xEF\xB7\x91"
                      "C\xE2\x80\xA8"
                      "D\xE2\x80\xA9"
                      "E\xC2\x85"
                      "F")
        << QString::fromUtf8(u8"A\uFFFDB\uFFFDC\uFFFDD\uFFFDE\uFFFDF");
    QTest::newRow("C1 and ESC as bytes") << QByteArray("x\x9B"
                                                       "2J\x1B[0m\x07")
                                         << QString::fromUtf8(u8"x\uFFFD2J\u241B[0m\u2407");
    QTest::newRow("latin-1 bytes")
        << QByteArray("Kessel\xfc") << QString::fromUtf8("Kessel\xc3\xbc");
    QTest::newRow("utf-8") << QByteArray("Kessel\xc3\xbc") << QString::fromUtf8("Kessel\xc3\xbc");
}

void TestMainWindow::selectShowsIdentityBlock() {
    QFETCH(QByteArray, description);
    QFETCH(QString, shown);
    StartUp();
    Answer(*net_, {
                      Device("10.77.1.10", "First", "00-20-4A-01-02-03", "1-4-5.02", "QV-Logger"),
                      Device("10.77.1.20", description.toStdString(), "00-20-4A-0A-0B-0C",
                             "6-1-0.03", "QV-Probe"),
                  });
    TModalAnswers answers;
    answers.Then(SearchDialogReady, [&](QWidget* w) {
        SelectRowWithIP(w, "10.77.1.20");
        Click(w, "BBSelect");
    });
    PressSearch(answers);
    QCOMPARE(Lines(), Block(shown, "QV-Probe", "10.77.1.20", "00-20-4A-0A-0B-0C", "6-1-0.03"));
    QCOMPARE(IpField()->Text(), QString("10.77.1.20"));
    QCOMPARE(TfMain::SeparatorLine,
             QString("----------------------------------------------------------"));
}

void TestMainWindow::secondSearchReplacesBlock() {
    StartUp();
    Answer(*net_, {Device("10.77.1.10", "Boiler room"), Device("10.77.1.11", "Hall")});
    TModalAnswers answers;
    answers.Then(SearchDialogReady, [&](QWidget* w) {
        // Sorted by description here; the next dialog must not remember it.
        static_cast<TfXPortSearchGUI*>(w)->SortByColumn(TfXPortSearchGUI::colDescription);
        // A double click on a row is OK as well.
        auto* list = w->findChild<QTableWidget*>("LvDeviceList");
        SelectRowWithIP(w, "10.77.1.10");
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                           list->visualItemRect(list->currentItem()).center());
    });
    PressSearch(answers);
    QCOMPARE(Lines().size(), 8);
    QCOMPARE(Lines().at(1), QString("- [Device: Boiler room]"));

    answers.Then(SearchDialogReady, [&](QWidget* w) {
        QCOMPARE(static_cast<TfXPortSearchGUI*>(w)->SortColumn(), 0);
        QCOMPARE(Lines(), QStringList{"Searching device..."});
        Click(w, "BBCancel");
    });
    PressSearch(answers);
    QCOMPARE(Lines(), (QStringList{"Searching device...", "Canceled"}));
    QCOMPARE(IpField()->Text(), QString("10.77.1.10"));

    answers.Then(SearchDialogReady, [&](QWidget* w) {
        SelectRowWithIP(w, "10.77.1.11");
        Click(w, "BBSelect");
    });
    PressSearch(answers);
    QCOMPARE(Lines().size(), 8);
    QCOMPARE(Lines().at(1), QString("- [Device: Hall]"));
    QCOMPARE(IpField()->Text(), QString("10.77.1.11"));
}

void TestMainWindow::okWithoutRowGivesEmptyBlock() {
    StartUp();
    IpField()->SetText("10.1.2.3");
    TModalAnswers answers; // no device answers
    answers.Then(SearchDialogReady, [&](QWidget* w) {
        auto* list = w->findChild<QTableWidget*>("LvDeviceList");
        QCOMPARE(list->rowCount(), 0);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    });
    PressSearch(answers);
    QCOMPARE(Lines(), Block("", "", "", "", ""));
    TIPEdit reference;
    reference.SetText(QString());
    QCOMPARE(IpField()->Text(), reference.Text());
}

void TestMainWindow::dialogErrorKeepsProgramRunning() {
    StartUp();
    // The error box itself, not the test's recorder.
    SetErrorBoxHook({});
    Answer(*net_, {}, "Socket Error # 10049");
    TModalAnswers answers;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    // The first search fails: the dialog ends by itself and the error reaches
    // the application's error box; no "Canceled" follows.
    answers.Then([](QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; },
                 [&](QWidget* w) {
                     auto* box = static_cast<QMessageBox*>(w);
                     title = box->windowTitle();
                     text = box->text();
                     icon = box->icon();
                     box->button(QMessageBox::Ok)->click();
                 });
    PressSearch(answers);
    QCOMPARE(text, QString("Socket Error # 10049"));
    QCOMPARE(title, QGuiApplication::applicationDisplayName());
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(Lines(), (QStringList{"Searching device..."}));
    QCOMPARE(IpField()->Text(), QString("192.168.1.213"));
    SetErrorBoxHook([this](const std::string& m) { errors_.push_back(m); });

    // The window is still fully usable.
    Answer(*net_, {Device("10.77.1.10", "Boiler room")});
    answers.Then(SearchDialogReady, [&](QWidget* w) { Click(w, "BBSelect"); });
    PressSearch(answers);
    QCOMPARE(Lines().size(), 8);
    QCOMPARE(IpField()->Text(), QString("10.77.1.10"));
    QVERIFY(errors_.empty());
}

void TestMainWindow::choicesKeptAcrossRuns() {
    StartUp();
    Answer(*net_, {Device("10.77.1.10", "Hall"),
                   Device("10.77.1.11", "Boiler room", "00-20-4A-0A-0B-0D")});
    const auto remembered = [] {
        return uApplicationFolders::UserSettings()->ReadString("UserChoices", "LastIPAddress");
    };
    TModalAnswers answers;
    answers.Then(SearchDialogReady, [&](QWidget* w) {
        w->resize(640, 380);
        // The user sorts by description with a click on its header.
        QHeaderView* h = w->findChild<QTableWidget*>("LvDeviceList")->horizontalHeader();
        const int c = TfXPortSearchGUI::colDescription;
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                          QPoint(h->sectionViewportPosition(c) + 5, h->height() / 2));
        SelectRowWithIP(w, "10.77.1.11");
        Click(w, "BBSelect");
    });
    PressSearch(answers);
    // The picked address is kept at once, not only when the program ends.
    QCOMPARE(remembered(), std::optional<std::string>("10.77.1.11"));

    // The next dialog comes up as the user left the last one.
    answers.Then(SearchDialogReady, [&](QWidget* w) {
        auto* dialog = static_cast<TfXPortSearchGUI*>(w);
        QCOMPARE(dialog->size(), QSize(640, 380));
        QCOMPARE(dialog->LastSortColumn(), int(TfXPortSearchGUI::colDescription));
        QCOMPARE(w->findChild<QTableWidget*>("LvDeviceList")->item(0, 0)->text(),
                 QString("10.77.1.11"));
        Click(w, "BBCancel");
    });
    PressSearch(answers);

    // A typed address is kept when the program ends, and is the next run's.
    IpField()->SetText("10.20.30.40");
    QVERIFY(main_->close());
    Restart();
    QCOMPARE(IpField()->Text(), QString("10.20.30.40"));

    // No address to start with: the design's.
    for (const char* garbage : {"300.1.2.3", "10.1.2", "host.example", "0.0.0.0"}) {
        uApplicationFolders::UserSettings()->WriteString("UserChoices", "LastIPAddress", garbage);
        Restart();
        QCOMPARE(IpField()->Text(), QString("192.168.1.213"));
    }
    QVERIFY(errors_.empty());
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwin.moc"
