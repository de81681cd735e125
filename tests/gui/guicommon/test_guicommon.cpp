// What the windows share: display text, error box, busy cursor, and the
// worker that runs their jobs.

#include "guicommon/uGuiCommon.h"
#include "guicommon/uWorkerTask.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

// A gate a work waits at (5 s at most, so that no test hangs on it).
struct TGate {
    std::mutex Lock;
    std::condition_variable Wake;
    bool Open = false;

    void Pass() {
        std::unique_lock<std::mutex> g(Lock);
        Wake.wait_for(g, std::chrono::seconds(5), [this] { return Open; });
    }
    void Release() {
        std::lock_guard<std::mutex> g(Lock);
        Open = true;
        Wake.notify_all();
    }
};

// Counts its live copies: what a work captures, as an engine would be.
struct TTracked {
    std::shared_ptr<std::atomic<int>> Alive;
    explicit TTracked(std::shared_ptr<std::atomic<int>> alive) : Alive(std::move(alive)) {
        ++*Alive;
    }
    TTracked(const TTracked& other) : Alive(other.Alive) { ++*Alive; }
    TTracked& operator=(const TTracked&) = delete;
    ~TTracked() { --*Alive; }
};

using TIntTask = TWorkerTask<int, int>;

// Records what a task hands to the UI thread, and on which thread.
struct TRecord {
    std::vector<int> Reports;
    std::vector<std::string> Events; // "report", "done", "cancel" in order
    std::optional<TIntTask::TOutcome> Outcome;
    bool OffUiThread = false;

    TIntTask::THandlers Handlers() {
        auto onUi = [this] {
            OffUiThread = OffUiThread || QThread::currentThread() != qApp->thread();
        };
        return {[this, onUi](int v) {
                    onUi();
                    Reports.push_back(v);
                    Events.push_back("report");
                },
                [this, onUi](TIntTask::TOutcome o) {
                    onUi();
                    Outcome = std::move(o);
                    Events.push_back("done");
                },
                [this] { Events.push_back("cancel"); }};
    }
};

} // namespace

class TestGuiCommon : public QObject {
    Q_OBJECT

private slots:
    void displayText();
    void errorBoxHook();
    void errorBoxShown();
    void busyCursorNests();

    void reportsAndOutcomeOnUiThreadInOrder();
    void errorsOfTheWork();
    void oneWorkAtATime();
    void cancelDropsEverythingStillToCome();
    void reportHandlerMayCancel();
    void reportHandlerWithEventLoop();
    void destroyedTaskDoesNotWait();
};

void TestGuiCommon::displayText() {
    QCOMPARE(DisplayText(""), QString());
    QCOMPARE(DisplayText("Kotelna 7"), QString("Kotelna 7"));
    QCOMPARE(DisplayText("Kotelna \xC4\x8D"), QString::fromUtf8("Kotelna \xC4\x8D"));
    // Not UTF-8: byte for byte, each byte one character, none lost.
    const std::string bytes("Kotelna \xE8\x01\x00 x", 13);
    const QString shown = DisplayText(bytes);
    QCOMPARE(shown.size(), 13);
    QCOMPARE(shown, QString::fromLatin1(bytes.data(), 13));
    QVERIFY(!shown.contains(QChar::ReplacementCharacter));
}

void TestGuiCommon::errorBoxHook() {
    std::vector<std::string> first, second;
    QVERIFY(!SetErrorBoxHook([&](const std::string& m) { first.push_back(m); }));
    ShowErrorBox(nullptr, "Socket Error # 10049\r\nCannot assign requested address");
    const TErrorBoxHook previous =
        SetErrorBoxHook([&](const std::string& m) { second.push_back(m); });
    ShowErrorBox(nullptr, std::string("\xE8", 1));
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QCOMPARE(first,
             std::vector<std::string>{"Socket Error # 10049\r\nCannot assign requested address"});
    QCOMPARE(second, std::vector<std::string>{"\xE8"});
    // The previous hook came back to the caller, and an empty one ends hooking.
    QVERIFY(previous);
    previous("x");
    QCOMPARE(first.size(), 2u);
    QVERIFY(SetErrorBoxHook({}));
}

void TestGuiCommon::errorBoxShown() {
    QApplication::setApplicationDisplayName("Quorvet test");
    QString title, text;
    int icon = -1;
    Qt::TextFormat format = Qt::AutoText;
    QTimer answer;
    answer.setInterval(10);
    connect(&answer, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box && box->isVisible()) {
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            format = box->textFormat();
            box->button(QMessageBox::Ok)->click();
        }
    });
    answer.start();
    ShowErrorBox(nullptr, "Kotelna \xE8 <b>x</b>");
    answer.stop();
    QCOMPARE(title, QString("Quorvet test"));
    QCOMPARE(text, QString::fromLatin1("Kotelna \xE8 <b>x</b>"));
    QCOMPARE(icon, int(QMessageBox::Critical));
    QCOMPARE(format, Qt::PlainText); // a device's text is never markup

    // The owner released while the box is up takes the box along.
    auto* owner = new QWidget;
    QPointer<QMessageBox> seen;
    bool sawBox = false;
    QTimer::singleShot(50, owner, [&seen, &sawBox, owner] {
        seen = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        sawBox = !seen.isNull();
        delete owner;
    });
    ShowErrorBox(owner, "Socket Error # 10049");
    QVERIFY(sawBox);
    QVERIFY(seen.isNull());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void TestGuiCommon::busyCursorNests() {
    QVERIFY(QApplication::overrideCursor() == nullptr);
    {
        TBusyCursor outer;
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        { TBusyCursor inner; }
        QVERIFY(QApplication::overrideCursor() != nullptr);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

// ---- the worker ---------------------------------------------------------------

void TestGuiCommon::reportsAndOutcomeOnUiThreadInOrder() {
    TIntTask task;
    TRecord record;
    auto alive = std::make_shared<std::atomic<int>>(0);
    bool capturedGoneAtDone = false;
    auto handlers = record.Handlers();
    const auto recordDone = handlers.OnDone;
    handlers.OnDone = [&, recordDone](TIntTask::TOutcome o) {
        capturedGoneAtDone = alive->load() == 0;
        recordDone(std::move(o));
    };
    std::thread::id workThread;
    QVERIFY(task.Start(
        [tracked = TTracked(alive), &workThread](TIntTask::TControl& control) {
            workThread = std::this_thread::get_id();
            for (int i = 1; i <= 500; ++i) {
                control.Report(i);
            }
            return 42;
        },
        handlers));
    QVERIFY(task.Running());
    QTRY_VERIFY(record.Outcome.has_value());
    QVERIFY(!task.Running());
    QVERIFY(workThread != std::this_thread::get_id());
    QVERIFY(!record.OffUiThread);
    QCOMPARE(record.Outcome->Value, std::optional<int>(42));
    QVERIFY(record.Outcome->Error.empty());
    std::vector<int> expected;
    for (int i = 1; i <= 500; ++i) {
        expected.push_back(i);
    }
    QCOMPARE(record.Reports, expected);
    QCOMPARE(record.Events.back(), std::string("done")); // every report came before
    QVERIFY(capturedGoneAtDone); // released on the worker, before the outcome
    QCOMPARE(alive->load(), 0);
}

void TestGuiCommon::errorsOfTheWork() {
    TIntTask task;
    TRecord record;
    task.Start(
        [](TIntTask::TControl& control) -> int {
            control.Report(1);
            throw std::runtime_error("Socket Error # 10049");
        },
        record.Handlers());
    QTRY_VERIFY(record.Outcome.has_value());
    QVERIFY(!record.Outcome->Value);
    QCOMPARE(record.Outcome->Error, std::string("Socket Error # 10049"));
    QCOMPARE(record.Reports, std::vector<int>{1});

    TRecord other;
    task.Start([](TIntTask::TControl&) -> int { throw 7; }, other.Handlers());
    QTRY_VERIFY(other.Outcome.has_value());
    QCOMPARE(other.Outcome->Error, std::string("Unknown error"));
}

void TestGuiCommon::oneWorkAtATime() {
    TIntTask task;
    TGate gate;
    TRecord record, refused;
    QVERIFY(task.Start(
        [&gate](TIntTask::TControl&) {
            gate.Pass();
            return 1;
        },
        record.Handlers()));
    QVERIFY(!task.Start([](TIntTask::TControl&) { return 2; }, refused.Handlers()));
    gate.Release();
    QTRY_VERIFY(record.Outcome.has_value());
    QCOMPARE(record.Outcome->Value, std::optional<int>(1));
    QTest::qWait(20);
    QVERIFY(refused.Events.empty());
    // A task is used again from its own outcome, as a dialog searching anew.
    TRecord again;
    record.Outcome.reset();
    auto handlers = record.Handlers();
    handlers.OnDone = [&](TIntTask::TOutcome) {
        QVERIFY(task.Start([](TIntTask::TControl&) { return 3; }, again.Handlers()));
    };
    QVERIFY(task.Start([](TIntTask::TControl&) { return 1; }, handlers));
    QTRY_VERIFY(again.Outcome.has_value());
    QCOMPARE(again.Outcome->Value, std::optional<int>(3));
}

void TestGuiCommon::cancelDropsEverythingStillToCome() {
    TIntTask task;
    TRecord record;
    std::atomic<bool> sawCancel{false}, ended{false};
    TGate firstReport;
    task.Start(
        [&](TIntTask::TControl& control) {
            control.Report(1);
            firstReport.Release();
            while (!control.Cancelled()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            sawCancel = true;
            // Still reporting after the cancel, as a receive that was under way.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            control.Report(2);
            ended = true;
            return 5;
        },
        record.Handlers());
    firstReport.Pass();
    QTRY_COMPARE(record.Reports, std::vector<int>{1});
    task.Cancel();
    QVERIFY(!task.Running());
    QCOMPARE(record.Events, (std::vector<std::string>{"report", "cancel"}));
    // A new work starts at once, beside the one still ending.
    TRecord next;
    QVERIFY(task.Start([](TIntTask::TControl&) { return 6; }, next.Handlers()));
    QTRY_VERIFY(next.Outcome.has_value());
    QTRY_VERIFY(ended.load());
    QTest::qWait(50);
    QVERIFY(sawCancel.load());
    QCOMPARE(record.Events, (std::vector<std::string>{"report", "cancel"}));
    QCOMPARE(next.Outcome->Value, std::optional<int>(6));
    task.Cancel(); // nothing runs: nothing to cancel
    QCOMPARE(next.Events, std::vector<std::string>{"done"});
}

void TestGuiCommon::reportHandlerMayCancel() {
    TIntTask task;
    TRecord record;
    auto handlers = record.Handlers();
    const auto recordReport = handlers.OnReport;
    handlers.OnReport = [&, recordReport](int v) {
        recordReport(v);
        task.Cancel();
    };
    task.Start(
        [](TIntTask::TControl& control) {
            for (int i = 1; i <= 50; ++i) {
                control.Report(i);
            }
            return 1;
        },
        handlers);
    QTRY_VERIFY(!record.Reports.empty());
    QTest::qWait(50);
    QCOMPARE(record.Reports, std::vector<int>{1});
    QCOMPARE(record.Events, (std::vector<std::string>{"report", "cancel"}));
}

void TestGuiCommon::reportHandlerWithEventLoop() {
    // A handler that runs an event loop (a message box) while the work ends:
    // the reports still queued come before the outcome, none is lost.
    TIntTask task;
    TRecord record;
    auto handlers = record.Handlers();
    const auto recordReport = handlers.OnReport;
    handlers.OnReport = [recordReport](int v) {
        recordReport(v);
        if (v == 1) {
            QTest::qWait(150);
        }
    };
    task.Start(
        [](TIntTask::TControl& control) {
            for (int i = 1; i <= 20; ++i) {
                control.Report(i);
            }
            return 1;
        },
        handlers);
    QTRY_VERIFY(record.Outcome.has_value());
    QCOMPARE(record.Reports.size(), 20u);
    QCOMPARE(record.Reports.back(), 20);
    QCOMPARE(record.Events.back(), std::string("done"));
}

void TestGuiCommon::destroyedTaskDoesNotWait() {
    auto task = std::make_unique<TIntTask>();
    TRecord record;
    auto alive = std::make_shared<std::atomic<int>>(0);
    TGate gate;
    std::atomic<bool> started{false}, ended{false};
    task->Start(
        [&, tracked = TTracked(alive)](TIntTask::TControl& control) {
            started = true;
            gate.Pass();
            control.Report(1); // to a task that is gone
            ended = true;
            return 1;
        },
        record.Handlers());
    QTRY_VERIFY(started.load());
    task.reset();
    QVERIFY(!ended.load()); // the task's end did not wait for the work
    QCOMPARE(alive->load(), 1);
    gate.Release();
    QTRY_VERIFY(ended.load());
    QTRY_COMPARE(alive->load(), 0); // what the work held goes with it
    QTest::qWait(50);
    QCOMPARE(record.Events, std::vector<std::string>{"cancel"});
}

QTEST_MAIN(TestGuiCommon)
#include "test_guicommon.moc"
