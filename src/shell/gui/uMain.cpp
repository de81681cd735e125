#include "shell/gui/uMain.h"

#include "base/uIniFile.h"
#include "guicommon/uGuiCommon.h"
#include "platform/ProgramFile.h"
#include "searchdialog/uUserChoices.h"
#include "shell/uApplicationFolders.h"
#include "ui_uMain.h"
#include "utils/uUtilsConvert.h"
#include "utils/uUtilsWinAPI.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>

#include <algorithm>
#include <optional>

const QString TfMain::SeparatorLine(58, QLatin1Char('-'));

namespace {

// An address worth starting the next run with: the field's empty value
// (0.0.0.0, left by a pick without a row) is none.
bool AddressToKeep(const std::string& address) {
    return IsValidIP(address) && address != "0.0.0.0";
}

} // namespace

std::uint8_t SearchButtonSet(const std::string& iniFileName) {
    const std::optional<TIniFile> ini = TIniFile::Load(iniFileName);
    if (!ini) {
        return 0;
    }
    const std::optional<std::string> text = ini->Value("Search", "ButtonSet");
    const std::optional<int> value = text ? StrToIntOpt(*text) : std::nullopt;
    // Anything but one byte leaves the default: a wrong value must not turn
    // on more than the file says.
    if (!value || *value < 0 || *value > 0xFF) {
        return 0;
    }
    return static_cast<std::uint8_t>(*value);
}

TfMain::TfMain(QWidget* owner) : QWidget(owner), ui_(std::make_unique<Ui::TfMain>()) {
    ui_->setupUi(this);

    // The classic dialog font: 11 pixels high, in the platform's own face.
    QFont dialogFont = font();
    dialogFont.setPixelSize(11);
    setFont(dialogFont);
    // The label takes the width of its text, as with the classic font, so
    // that a wider face does not cut it off.
    const QSize labelText = ui_->LabIpAddress->sizeHint();
    ui_->LabIpAddress->resize(std::max(ui_->LabIpAddress->width(), labelText.width()),
                              std::max(ui_->LabIpAddress->height(), labelText.height()));

    // Button-face background under every control.
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    for (QWidget* panel :
         {static_cast<QWidget*>(ui_->PnlBackground), static_cast<QWidget*>(ui_->PnlBtns)}) {
        panel->setBackgroundRole(QPalette::Button);
        panel->setAutoFillBackground(true);
    }
    ui_->BvlBtnsSeparator->setForegroundRole(QPalette::Mid);

    setFixedSize(ui_->PnlBackground->size());
    if (const QScreen* s = screen()) {
        move(s->availableGeometry().center() - rect().center());
    }

    connect(ui_->BtnSearch, &QPushButton::clicked, this, [this] { BtnSearchClick(); });
    connect(ui_->BtnClose, &QPushButton::clicked, this, [this] { BtnCloseClick(); });

    FormCreate();
}

TfMain::~TfMain() = default;

void TfMain::FormCreate() {
    // The address of the last run, where there was one.
    const std::optional<std::string> last =
        userchoices::Read(uApplicationFolders::UserSettings(), userchoices::kLastIPAddress);
    ui_->IpeAddress->SetText(last && AddressToKeep(*last) ? QString::fromStdString(*last)
                                                          : QStringLiteral("192.168.1.213"));
    const std::string version = TWinAPIUtils::GetFileVersion(platform::ProgramFilePath());
    setWindowTitle(DisplayText(uApplicationFolders::AppNameLong() + " ver." + version));
}

void TfMain::closeEvent(QCloseEvent* event) {
    FormClose(event);
}

void TfMain::FormClose(QCloseEvent* event) {
    // Closing the main window ends the program; the address typed last is
    // the one the next run starts with.
    RememberAddress();
    event->accept();
}

void TfMain::RememberAddress() {
    const std::string address = ui_->IpeAddress->Text().toStdString();
    if (AddressToKeep(address)) {
        userchoices::Write(uApplicationFolders::UserSettings(), userchoices::kLastIPAddress,
                           address);
    }
}

void TfMain::BtnCloseClick() {
    close();
}

void TfMain::AddInfoLine(const QString& line) {
    ui_->MeInfo->appendPlainText(line);
}

void TfMain::BtnSearchClick() {
    if (searching_) {
        return;
    }
    searching_ = true;
    const auto done = qScopeGuard([this] { searching_ = false; });
    try {
        ui_->MeInfo->clear();
        AddInfoLine(tr("Searching device..."));
        // Paint the line before the modal dialog takes over; user input waits,
        // so that a second click cannot open a second dialog from in here.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        OpenSearchDialog();
    } catch (const std::exception& e) {
        ShowErrorBox(this, e.what());
    }
}

void TfMain::OpenSearchDialog() {
    // A fresh dialog every time: no list carries over; its size, columns,
    // sort column and filter are the user's as kept in the settings store.
    QPointer<TfXPortSearchGUI> dialog = new TfXPortSearchGUI(this, SearchJobFactory);
    const auto release = qScopeGuard([&dialog] {
        if (dialog) {
            dialog->deleteLater();
        }
    });
    // The empty set (Search, Select, Cancel) unless the settings file gives
    // another, for instance the IP change buttons on a service computer.
    dialog->ButtonSet = SearchButtonSet(uApplicationFolders::IniFileName());
    dialog->SettingsFileName = uApplicationFolders::IniFileName();
    // The target list edited in the dialog is the user's.
    if (!uApplicationFolders::RegistryKeyPath().empty())
        dialog->TargetsMemory = UserStoreTargetsMemory(uApplicationFolders::RegistryKeyPath());
    dialog->ChoicesStore = uApplicationFolders::UserSettings();
    const int result = dialog->exec();
    if (!dialog) {
        return; // destroyed with its owner while it was shown
    }
    if (dialog->ShowSearchError) {
        // The first search failed: the dialog has closed, the information
        // box keeps "Searching device..." and the error goes to the error box.
        ShowErrorBox(this, *dialog->ShowSearchError);
        return;
    }
    if (result == TfXPortSearchGUI::mrOk) {
        ui_->IpeAddress->SetText(DisplayText(dialog->SelectedIP()));
        RememberAddress();
        ShowDeviceInfo(*dialog);
    } else {
        AddInfoLine(tr("Canceled"));
    }
}

void TfMain::ShowDeviceInfo(const TfXPortSearchGUI& dialog) {
    // The block must stay eight lines whatever a device calls itself: its
    // control characters (line breaks, the text widget's own block marks
    // U+FDD0...) are shown as symbols.
    const auto value = [](const std::string& text) { return VisibleDisplayText(text); };
    ui_->MeInfo->clear();
    AddInfoLine(SeparatorLine);
    AddInfoLine(tr("- [Device: %1]").arg(value(dialog.SelectedDescription())));
    AddInfoLine(SeparatorLine);
    AddInfoLine(QStringLiteral("- ") + value(dialog.SelectedDeviceType()));
    AddInfoLine(QStringLiteral("- IP: ") + value(dialog.SelectedIP()));
    AddInfoLine(QStringLiteral("- MAC: ") + value(dialog.SelectedMAC()));
    AddInfoLine(QStringLiteral("- FW: ") + value(dialog.SelectedFirmware()));
    AddInfoLine(SeparatorLine);
}
