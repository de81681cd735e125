// The search dialog's targets: the list its search asks, where that list
// comes from, and the dialog that edits it (offscreen, scripted search).

#include "FakeSearch.h"
#include "guicommon/uGuiCommon.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <filesystem>
#include <fstream>

namespace {

using V = std::vector<std::string>;

struct TMemory {
    std::shared_ptr<std::optional<std::string>> Kept =
        std::make_shared<std::optional<std::string>>();
    TSearchTargetsMemory Get() const {
        return {[k = Kept] { return *k; }, [k = Kept](const std::string& l) { *k = l; }};
    }
};

std::string WriteIni(const std::string& text) {
    const auto path =
        std::filesystem::temp_directory_path() /
        ("qv-gui-targets-" + std::to_string(QCoreApplication::applicationPid()) + ".ini");
    std::ofstream(path) << text;
    return path.string();
}

struct TDialog {
    std::shared_ptr<TFakeNetwork> Net = std::make_shared<TFakeNetwork>();
    std::unique_ptr<TfXPortSearchGUI> Dlg;
    std::vector<std::string> Errors;
    TDialog() {
        Net->Script.push_back({{Dev("10.77.1.10")}, {}});
        Dlg = std::make_unique<TfXPortSearchGUI>(nullptr, FakeFactory(Net));
        Dlg->HintProvider = [](const std::string&, TSearchOutcome) { return std::string(); };
        SetErrorBoxHook([this](const std::string& m) { Errors.push_back(m); });
    }
    ~TDialog() { SetErrorBoxHook({}); }
    void Show() {
        QSignalSpy done(Dlg.get(), &TfXPortSearchGUI::SearchFinished);
        Dlg->show();
        QVERIFY(done.wait(5000));
    }
    V LastTargets() {
        std::lock_guard<std::mutex> g(Net->Lock);
        return Net->TargetsSet.empty() ? V{"none"} : Net->TargetsSet.back();
    }
};

} // namespace

class TestSearchTargets : public QObject {
    Q_OBJECT

private slots:
    void listSources();
    void searchAsksTheList();
    void badListStillBroadcasts();
    void editDialogChecksEachLine();
    void buttonEditsSavesAndSearches();
    void oneButtonRowKeepsTheListInTheMenu();
};

void TestSearchTargets::listSources() {
    const std::string ini = WriteIni("[Search]\nTargets=10.20.0.0/24, 10.30.1.7\n");
    TMemory memory;
    // Nothing saved: the settings file's list, targets as written.
    QCOMPARE(WindowTargetList(memory.Get(), ini), std::string("10.20.0.0/24 10.30.1.7"));
    QCOMPARE(WindowTargetList(memory.Get(), "/nonexistent.ini"), std::string());
    QCOMPARE(WindowTargetList({}, ini), std::string("10.20.0.0/24 10.30.1.7"));
    // Saved, an empty list too: the saved one.
    *memory.Kept = "10.40.0.1";
    QCOMPARE(WindowTargetList(memory.Get(), ini), std::string("10.40.0.1"));
    *memory.Kept = "";
    QCOMPARE(WindowTargetList(memory.Get(), ini), std::string());
    std::filesystem::remove(ini);

    // The session memory keeps what was written, for its own life.
    const TSearchTargetsMemory session = SessionTargetsMemory();
    QVERIFY(!session.Read());
    session.Write("10.1.1.1");
    QCOMPARE(session.Read().value_or("-"), std::string("10.1.1.1"));
}

void TestSearchTargets::searchAsksTheList() {
    TDialog d;
    // Default settings: the search gets no targets, as before.
    d.Show();
    QCOMPARE(d.LastTargets(), V{});
    QCOMPARE(d.Dlg->StatusNote(), QString());

    TDialog saved;
    TMemory memory;
    *memory.Kept = "10.20.0.4/31 10.30.1.7";
    saved.Dlg->TargetsMemory = memory.Get();
    saved.Show();
    QCOMPARE(saved.LastTargets(), (V{"10.20.0.4", "10.20.0.5", "10.30.1.7"}));
}

void TestSearchTargets::badListStillBroadcasts() {
    TDialog d;
    d.Dlg->SettingsFileName = WriteIni("[Search]\nTargets=10.0.0.0/8\n");
    d.Show();
    QCOMPARE(d.LastTargets(), V{});
    QVERIFY(d.Errors.empty());
    QCOMPARE(d.Dlg->StatusNote(),
             QString("Targets not searched: Target '10.0.0.0/8': a network wider than /22 (1024 "
                     "addresses) is refused; give smaller networks"));
    // The search itself went on: its device is listed.
    QCOMPARE(d.Dlg->findChild<QTableWidget*>("LvDeviceList")->rowCount(), 1);
    std::filesystem::remove(d.Dlg->SettingsFileName);
}

void TestSearchTargets::editDialogChecksEachLine() {
    TfSearchTargets edit;
    edit.SetList("10.20.0.0/24, 10.30.1.7 10.1.1.1-10.1.1.9");
    auto* text = edit.findChild<QPlainTextEdit*>("MeTargets");
    QVERIFY(text);
    QCOMPARE(text->toPlainText(), QString("10.20.0.0/24\n10.30.1.7\n10.1.1.1-10.1.1.9"));
    QCOMPARE(edit.List(), std::string("10.20.0.0/24 10.30.1.7 10.1.1.1-10.1.1.9"));

    edit.show();
    text->setPlainText("10.20.0.0/24\n10.30.1.9-10.30.1.1\n");
    edit.accept();
    QVERIFY(edit.isVisible()); // refused: stays open with the reason
    QCOMPARE(edit.Problem(),
             QString("Line 2: Target '10.30.1.9-10.30.1.1': the range ends before it starts"));
    text->setPlainText("10.20.0.0/22\n10.20.4.0/22\n10.20.8.0/22\n10.20.12.0/22\n10.30.0.0/24");
    edit.accept();
    QVERIFY(edit.Problem().contains("more than 4096 addresses"));
    text->setPlainText("10.30.1.7\n\n");
    edit.accept();
    QVERIFY(!edit.isVisible());
    QCOMPARE(edit.result(), int(QDialog::Accepted));
    QCOMPARE(TargetListProblem(""), QString());
}

void TestSearchTargets::buttonEditsSavesAndSearches() {
    TDialog d;
    TMemory memory;
    d.Dlg->TargetsMemory = memory.Get();
    d.Show();
    auto* button = d.Dlg->findChild<QPushButton*>("BBTargets");
    QVERIFY(button);
    QVERIFY(button->isVisible());
    QCOMPARE(button->text(), QString("Targets..."));
    QSignalSpy done(d.Dlg.get(), &TfXPortSearchGUI::SearchFinished);
    QTimer::singleShot(0, [] {
        auto* edit = qobject_cast<TfSearchTargets*>(QApplication::activeModalWidget());
        QVERIFY(edit);
        edit->findChild<QPlainTextEdit*>("MeTargets")->setPlainText("10.30.1.7");
        edit->accept();
    });
    button->click();
    QVERIFY(done.wait(5000));
    QCOMPARE(memory.Kept->value_or("-"), std::string("10.30.1.7"));
    QCOMPARE(d.LastTargets(), V{"10.30.1.7"});

    // Cancel keeps the list and does not search.
    const int searches = d.Net->Searches;
    QTimer::singleShot(0, [] {
        auto* edit = qobject_cast<TfSearchTargets*>(QApplication::activeModalWidget());
        QVERIFY(edit);
        QCOMPARE(edit->List(), std::string("10.30.1.7"));
        edit->findChild<QPlainTextEdit*>("MeTargets")->setPlainText("10.9.9.9");
        edit->reject();
    });
    button->click();
    QCOMPARE(d.Net->Searches, searches);
    QCOMPARE(memory.Kept->value_or("-"), std::string("10.30.1.7"));
}

void TestSearchTargets::oneButtonRowKeepsTheListInTheMenu() {
    // The main window's default: Search, Select and Cancel in one row, no
    // room for the button; the list's menu opens the same editor.
    TDialog d;
    TMemory memory;
    d.Dlg->TargetsMemory = memory.Get();
    d.Dlg->ButtonSet = 0;
    d.Show();
    QVERIFY(!d.Dlg->findChild<QPushButton*>("BBTargets")->isVisible());
    auto* item = d.Dlg->findChild<QAction*>("pmTargets");
    QVERIFY(item);
    QCOMPARE(item->text(), QString("Targets..."));
    QSignalSpy done(d.Dlg.get(), &TfXPortSearchGUI::SearchFinished);
    QTimer::singleShot(0, [] {
        auto* edit = qobject_cast<TfSearchTargets*>(QApplication::activeModalWidget());
        QVERIFY(edit);
        edit->findChild<QPlainTextEdit*>("MeTargets")->setPlainText("10.30.1.0/30");
        edit->accept();
    });
    item->trigger();
    QVERIFY(done.wait(5000));
    QCOMPARE(memory.Kept->value_or("-"), std::string("10.30.1.0/30"));
}

QTEST_MAIN(TestSearchTargets)
#include "test_searchtargets.moc"
