// The program entry: identity and folders first, then the main window and the
// message loop. No command-line argument is read.

#include "shell/gui/uMain.h"
#include "shell/uApplicationFolders.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScopeGuard>
#include <QString>

#include <cstdio>
#include <exception>
#include <string>

namespace {

// Qt does not let an exception pass through its event handling; this is the
// one place that catches what a handler let through, and reports it like
// every other error while the program keeps running.
class TQuorvetApplication final : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            ShowApplicationError(activeWindow(), e.what());
        } catch (...) {
            ShowApplicationError(activeWindow(), "Unknown error");
        }
        return false;
    }
};

// A start-up failure, before any window: always on stderr, and in a message
// box where somebody can see one.
void ReportStartupError(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal")) {
        QMessageBox::critical(nullptr, QGuiApplication::applicationDisplayName(),
                              DisplayText(message));
    }
}

} // namespace

int main(int argc, char** argv) {
    TQuorvetApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quorvet"));
    // The settings store, its values and the folders go in every case.
    const auto finalize = qScopeGuard([] { uApplicationFolders::FinalizeAppFolders(); });

    try {
        uApplicationFolders::SetAppFolders();
    } catch (const std::exception& e) {
        ReportStartupError(e.what());
        return 1;
    }

    try {
        TfMain fMain;
        fMain.show();
        return app.exec();
    } catch (const std::exception& e) {
        ReportStartupError(e.what());
        return 1;
    }
}
