#pragma once
// Answers modal windows as they come up, so that tests can drive dialogs
// shown with exec() and the message boxes they open. Each expectation waits
// for an active modal window of its type and handles it once; a modal window
// nobody expects is noted and closed, so a test fails instead of hanging.

#include <QApplication>
#include <QDialog>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>

class TModalDriver : public QObject {
public:
    TModalDriver() {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
        timer_.start();
    }

    template <class T> void Expect(std::function<void(T*)> handler) {
        queue_.push_back({[](QWidget* w) { return qobject_cast<T*>(w) != nullptr; },
                          [handler](QWidget* w) { handler(qobject_cast<T*>(w)); }});
    }

    // A modal window the test drives itself.
    void Ignore(QWidget* w) { handled_.push_back(w); }

    bool AllHandled() const { return queue_.empty(); }
    // Class names of the modal windows nobody expected.
    QStringList Unexpected;

private:
    struct TExpectation {
        std::function<bool(QWidget*)> Match;
        std::function<void(QWidget*)> Handle;
    };

    void Tick() {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible()) {
            return;
        }
        for (const QPointer<QWidget>& h : handled_) {
            if (h == w) {
                return; // handled already; still busy or closing
            }
        }
        handled_.push_back(w);
        if (!queue_.empty() && queue_.front().Match(w)) {
            const std::function<void(QWidget*)> handle = queue_.front().Handle;
            queue_.pop_front();
            // From an event of its own: a handler that opens a nested event
            // loop must not stop this timer answering the next window.
            const QPointer<QWidget> target(w);
            QTimer::singleShot(0, w, [handle, target] {
                if (target) {
                    handle(target);
                }
            });
            return;
        }
        Unexpected << QString::fromLatin1(w->metaObject()->className());
        if (auto* d = qobject_cast<QDialog*>(w)) {
            d->reject();
        } else {
            w->close();
        }
    }

    QTimer timer_;
    std::deque<TExpectation> queue_;
    QList<QPointer<QWidget>> handled_;
};
