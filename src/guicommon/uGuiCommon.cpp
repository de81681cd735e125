#include "guicommon/uGuiCommon.h"

#include <QApplication>
#include <QMessageBox>

#include <utility>

namespace {

TErrorBoxHook& ErrorBoxHook() {
    static TErrorBoxHook hook;
    return hook;
}

} // namespace

QString DisplayText(const std::string& bytes) {
    QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (text.contains(QChar::ReplacementCharacter)) {
        text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    return text;
}

void ShowErrorBox(QWidget* owner, const std::string& message) {
    // A copy: the hook may replace itself.
    if (const TErrorBoxHook hook = ErrorBoxHook()) {
        hook(message);
        return;
    }
    QMessageBox::critical(owner, QGuiApplication::applicationDisplayName(), DisplayText(message));
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
