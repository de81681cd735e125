#include "guicommon/uGuiCommon.h"

#include "base/uDeviceText.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

#include <utility>

namespace {

TErrorBoxHook& ErrorBoxHook() {
    static TErrorBoxHook hook;
    return hook;
}

} // namespace

QString DisplayText(const std::string& bytes) {
    return QString::fromStdString(DeviceTextToUtf8(bytes));
}

QString VisibleDisplayText(const std::string& bytes) {
    return QString::fromStdString(VisibleText(bytes));
}

void ShowErrorBox(QWidget* owner, const std::string& message) {
    // A copy: the hook may replace itself.
    if (const TErrorBoxHook hook = ErrorBoxHook()) {
        hook(message);
        return;
    }
    // On the heap: were the owner released while the box is up, the box
    // would go with it. An error's text is never markup.
    const QPointer<QMessageBox> box =
        new QMessageBox(QMessageBox::Critical, QGuiApplication::applicationDisplayName(),
                        DisplayText(message), QMessageBox::Ok, owner);
    box->setTextFormat(Qt::PlainText);
    box->exec();
    delete box.data();
}

TErrorBoxHook SetErrorBoxHook(TErrorBoxHook hook) {
    return std::exchange(ErrorBoxHook(), std::move(hook));
}

TBusyCursor::TBusyCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

TBusyCursor::~TBusyCursor() {
    QApplication::restoreOverrideCursor();
}
