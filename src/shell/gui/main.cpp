// The program entry: identity and folders first, then the main window and the
// message loop. Of the command line only --version and --help are read (and
// Qt's own options); the window needs none.

#include "guicommon/uGuiCommon.h"
#include "shell/gui/uMain.h"
#include "shell/gui/uTranslations.h"
#include "shell/uApplicationFolders.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLocale>
#include <QScopeGuard>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace {

const char* const Usage = "Usage: quorvet [--version | --help]\n"
                          "\n"
                          "Quorvet utility: finds the measuring devices on the networks of this\n"
                          "computer, shows the identity of the one picked and can give a device a\n"
                          "new IP address. A desktop program: it needs a display.\n"
                          "\n"
                          "  --version  print the program's version and end\n"
                          "  --help     print this text and end\n"
                          "\n"
                          "See quorvet(1) for the settings file and the folders it uses.\n";

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
            ShowErrorBox(activeWindow(), e.what());
        } catch (...) {
            ShowErrorBox(activeWindow(), "Unknown error");
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
        ShowErrorBox(nullptr, message);
    }
}

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

// Without a display Qt ends the process with abort(); a user started the
// program where there is none (a console, ssh without X forwarding) and
// should be told so in one line. Where Qt is told which platform to use, or
// a display is named, Qt tries it (see TDisplayWatch).
bool NoDisplayNamed(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "-display") == 0) {
            return false;
        }
    }
    return !IsSet("QT_QPA_PLATFORM") && !IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY");
}

// While the application object connects to the display: Qt's complaints are
// held back; when it gives up (a fatal message, followed by abort()), the
// first of them becomes the one line the user sees and the program ends with
// status 1. Once connected, what was held back goes out as usual.
class TDisplayWatch {
public:
    TDisplayWatch() { previous_ = qInstallMessageHandler(&TDisplayWatch::Handle); }
    ~TDisplayWatch() { Release(); }
    TDisplayWatch(const TDisplayWatch&) = delete;
    TDisplayWatch& operator=(const TDisplayWatch&) = delete;

    void Release() {
        if (!active_) {
            return;
        }
        active_ = false;
        qInstallMessageHandler(previous_);
        for (const THeld& m : held_) {
            const QMessageLogContext context(nullptr, 0, nullptr, m.Category.constData());
            if (previous_) {
                previous_(m.Type, context, m.Text);
            } else {
                std::fprintf(stderr, "%s\n", qPrintable(m.Text));
            }
        }
        held_.clear();
    }

private:
    struct THeld {
        QtMsgType Type;
        QByteArray Category;
        QString Text;
    };

    static void Handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (type != QtFatalMsg) {
            held_.push_back(
                {type, QByteArray(context.category ? context.category : "default"), text});
            return;
        }
        const QString reason =
            held_.empty() ? text.section(QLatin1Char('\n'), 0, 0) : held_.front().Text;
        std::fprintf(stderr, "quorvet: cannot open a display: %s\n",
                     reason.simplified().toLocal8Bit().constData());
        std::fflush(stderr);
        std::_Exit(1);
    }

    static inline QtMessageHandler previous_ = nullptr;
    static inline std::vector<THeld> held_;
    static inline bool active_ = true;
};

} // namespace

int main(int argc, char** argv) {
    // Answered without a display, before Qt starts.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("quorvet %s\n", QUORVET_VERSION_STRING);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(Usage, stdout);
            return 0;
        }
    }
    if (NoDisplayNamed(argc, argv)) {
        std::fprintf(stderr, "quorvet: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); "
                             "start it from a desktop session\n");
        return 1;
    }

    TDisplayWatch watch;
    TQuorvetApplication app(argc, argv);
    watch.Release();
    QCoreApplication::setApplicationName(QStringLiteral("Quorvet"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVET_VERSION_STRING));
    // Ties the windows to the desktop entry (task bars, Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral(QUORVET_APP_ID));
    InstallTranslations(QLocale::system());
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
