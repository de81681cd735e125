#include "searchdialog/uSearchRefresh.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QPushButton>
#include <QTimer>

TSearchRefresh::TSearchRefresh(QWidget* dialog, QFrame* panel, THooks hooks)
    : QObject(dialog), dialog_(dialog), panel_(panel), hooks_(std::move(hooks)),
      choice_(new QComboBox(panel)), timer_(new QTimer(this)) {
    setObjectName(QStringLiteral("SearchRefresh"));
    choice_->setObjectName(QStringLiteral("CbRefresh"));
    choice_->addItem(OffText(), 0);
    for (int s : Intervals)
        choice_->addItem(IntervalText(s), s);
    choice_->setCurrentIndex(0);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] { Due(); });
    connect(choice_, &QComboBox::currentIndexChanged, this, [this] {
        // A new choice counts from now; "off" drops what was due.
        timer_->stop();
        if (IntervalSeconds() > 0 && !hooks_.Searching())
            Arm(IntervalSeconds() * MillisecondsPerSecond);
    });
    // Last in the tab order, after the list: the panel's own order and the
    // list's place in it stay as they were.
    if (auto* list = dialog->findChild<QWidget*>(QStringLiteral("LvDeviceList")))
        QWidget::setTabOrder(list, choice_);
    dialog_->installEventFilter(this);
}

QString TSearchRefresh::OffText() {
    return QCoreApplication::translate("TfXPortSearchGUI", "Refresh: off");
}

QString TSearchRefresh::IntervalText(int seconds) {
    return QCoreApplication::translate("TfXPortSearchGUI", "Refresh every %1 s").arg(seconds);
}

void TSearchRefresh::Place() {
    const auto free = [this](const char* name) {
        const auto* button = panel_->findChild<QPushButton*>(QLatin1String(name));
        return !button || !button->isVisibleTo(panel_);
    };
    const QPushButton* help =
        panel_->findChild<QPushButton*>(QStringLiteral("BBHelpDeviceNotFound"));
    const QRect column = help ? help->geometry() : QRect(132, 8, 209, 25);
    if (free("BBHelpDeviceNotFound")) {
        choice_->setGeometry(column);
    } else if (!free("BBChangeIP")) {
        // The second row holds Change IP alone: the choice goes beside it.
        choice_->setGeometry(column.translated(0, 32));
    } else {
        SetIntervalSeconds(0);
        choice_->hide();
        return;
    }
    choice_->show();
}

int TSearchRefresh::IntervalSeconds() const {
    return choice_->currentData().toInt();
}

void TSearchRefresh::SetIntervalSeconds(int seconds) {
    const int index = choice_->findData(seconds);
    choice_->setCurrentIndex(index > 0 ? index : 0);
}

bool TSearchRefresh::Waiting() const {
    return timer_->isActive();
}

void TSearchRefresh::Arm(int ms) {
    timer_->start(ms);
}

void TSearchRefresh::Due() {
    if (IntervalSeconds() == 0 || !dialog_->isVisible())
        return;
    if (hooks_.Searching()) {
        return; // the running search arms the next refresh when it ends
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != dialog_) {
        Arm(RetryMs); // not under an open IP change or message box
        return;
    }
    keepMAC_ = hooks_.SelectedMAC();
    refreshing_ = true;
    hooks_.RunSearch();
    if (!hooks_.Searching()) // it could not start
        refreshing_ = false;
}

void TSearchRefresh::SearchEnded(bool succeeded) {
    const bool refresh = std::exchange(refreshing_, false);
    const std::string mac = std::exchange(keepMAC_, {});
    if (!succeeded) {
        // One error box, not one every few seconds.
        SetIntervalSeconds(0);
        return;
    }
    if (refresh && !mac.empty())
        hooks_.SelectMAC(mac);
    if (IntervalSeconds() > 0)
        Arm(IntervalSeconds() * MillisecondsPerSecond);
}

bool TSearchRefresh::eventFilter(QObject* watched, QEvent* event) {
    if (watched == dialog_ && event->type() == QEvent::Hide) {
        SetIntervalSeconds(0);
        timer_->stop();
    }
    return QObject::eventFilter(watched, event);
}
