#include "searchdialog/uDeviceListActions.h"

#include "guicommon/uGuiCommon.h"
#include "platform/Process.h"
#include "search/uDeviceListExport.h"
#include "searchdialog/rules/uDeviceOpeners.h"
#include "searchdialog/uDeviceListCells.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTableWidget>
#include <QUrl>

#include <set>

using namespace devicelist;

namespace {

TDeviceListActions::TSaveDialogHook& SaveDialogHook() {
    static TDeviceListActions::TSaveDialogHook hook;
    return hook;
}

TXportPar DeviceOf(const TDeviceRow& row) {
    TXportPar d;
    d.IP = row.Fields[colIP];
    d.MAC = row.Fields[colMAC];
    d.Firmware = row.Fields[colFirmware];
    d.DeviceType = row.Fields[colDeviceType];
    d.Description = row.Fields[colDescription];
    d.AdapterIP = row.Fields[colAdapter];
    d.StatusChar = row.StatusChar;
    return d;
}

QAction* NewAction(QObject* parent, const char* name, const QString& text) {
    auto* action = new QAction(text, parent);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

// Starts the first command line that starts; false when none does.
bool StartFirst(const std::vector<std::string>& commandLines) {
    for (const std::string& line : commandLines) {
        // Left running when it goes out of scope: the window is the user's.
        if (platform::TProcess::Start(line, false)) {
            return true;
        }
    }
    return false;
}

} // namespace

TDeviceListActions::TSaveDialogHook TDeviceListActions::SetSaveDialogHook(TSaveDialogHook hook) {
    return std::exchange(SaveDialogHook(), std::move(hook));
}

QString TDeviceListActions::CsvFilter() {
    return tr("CSV (*.csv)");
}

QString TDeviceListActions::JsonFilter() {
    return tr("JSON (*.json)");
}

TDeviceListActions::TDeviceListActions(QWidget* owner, QTableWidget* list, QMenu* menu)
    : QObject(owner), owner_(owner), list_(list),
      copyRows_(NewAction(this, "ActCopyRows", tr("Copy"))),
      saveList_(NewAction(this, "ActSaveList", tr("Save list..."))),
      copyIP_(NewAction(this, "ActCopyIP", tr("Copy IP address"))),
      copyMAC_(NewAction(this, "ActCopyMAC", tr("Copy MAC address"))),
      openWeb_(NewAction(this, "ActOpenWebPage", tr("Open web page"))),
      openTelnet_(NewAction(this, "ActOpenTelnet", tr("Open Telnet console"))) {
    copyRows_->setShortcut(QKeySequence::Copy);
    saveList_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    for (QAction* a : {copyRows_, saveList_}) {
        a->setShortcutContext(Qt::WindowShortcut);
        a->setShortcutVisibleInContextMenu(true);
        owner->addAction(a);
    }
    // The list's own Ctrl+C copies one cell; the rows are meant.
    list_->installEventFilter(this);

    menu->addSeparator();
    menu->addAction(copyRows_);
    menu->addAction(copyIP_);
    menu->addAction(copyMAC_);
    menu->addSeparator();
    menu->addAction(openWeb_);
    menu->addAction(openTelnet_);
    menu->addSeparator();
    menu->addAction(saveList_);
    // The shortcuts act whatever the last menu left enabled.
    connect(menu, &QMenu::aboutToHide, this, [this] {
        copyRows_->setEnabled(true);
        saveList_->setEnabled(true);
    });

    connect(copyRows_, &QAction::triggered, this, [this] { CopySelectedRows(); });
    connect(saveList_, &QAction::triggered, this, [this] { SaveList(); });
    connect(copyIP_, &QAction::triggered, this, [this] { CopyIP(); });
    connect(copyMAC_, &QAction::triggered, this, [this] { CopyMAC(); });
    connect(openWeb_, &QAction::triggered, this, [this] { OpenWebPage(); });
    connect(openTelnet_, &QAction::triggered, this, [this] { OpenTelnetConsole(); });
}

bool TDeviceListActions::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        // Leaves the key to the window's shortcut.
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void TDeviceListActions::PrepareMenu(const QPoint& pos) {
    const bool busy = Busy && Busy();
    const int row = list_->rowAt(pos.y());
    if (row >= 0 && !busy) {
        list_->setCurrentCell(row, 0);
        list_->selectRow(row);
    }
    const bool device = row >= 0 && !busy && Selected().has_value();
    // The rows copied are the selected ones, wherever the menu opens.
    copyRows_->setEnabled(Selected().has_value());
    copyIP_->setEnabled(device);
    copyMAC_->setEnabled(device);
    openWeb_->setEnabled(device && !WebPageUrl(Selected()->IP).empty());
    openTelnet_->setEnabled(device && !WebPageUrl(Selected()->IP).empty());
    saveList_->setEnabled(!busy && list_->rowCount() > 0);
}

std::vector<TXportPar> TDeviceListActions::Rows() const {
    std::vector<TXportPar> rows;
    for (int r = 0; r < list_->rowCount(); ++r) {
        if (const TDeviceRow* row = RowAt(list_, r)) {
            rows.push_back(DeviceOf(*row));
        }
    }
    return rows;
}

std::vector<TXportPar> TDeviceListActions::SelectedRows() const {
    std::set<int> selected;
    for (const QModelIndex& index : list_->selectionModel()->selectedIndexes()) {
        selected.insert(index.row());
    }
    std::vector<TXportPar> rows;
    for (const int r : selected) {
        if (const TDeviceRow* row = RowAt(list_, r)) {
            rows.push_back(DeviceOf(*row));
        }
    }
    return rows;
}

std::optional<TXportPar> TDeviceListActions::Selected() const {
    std::vector<TXportPar> rows = SelectedRows();
    return rows.empty() ? std::nullopt : std::optional<TXportPar>(std::move(rows.front()));
}

void TDeviceListActions::CopySelectedRows() {
    const std::vector<TXportPar> rows = SelectedRows();
    if (!rows.empty()) {
        QApplication::clipboard()->setText(QString::fromStdString(DeviceTsv(rows)));
    }
}

void TDeviceListActions::CopyIP() {
    if (const auto device = Selected()) {
        QApplication::clipboard()->setText(VisibleDisplayText(device->IP));
    }
}

void TDeviceListActions::CopyMAC() {
    if (const auto device = Selected()) {
        QApplication::clipboard()->setText(VisibleDisplayText(device->MAC));
    }
}

void TDeviceListActions::SaveList() {
    if ((Busy && Busy()) || list_->rowCount() == 0) {
        return;
    }
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder = QDir::homePath();
    }
    const QString suggested = QDir(folder).filePath(QStringLiteral("devices.csv"));
    const QString filters = CsvFilter() + QStringLiteral(";;") + JsonFilter();
    QString selectedFilter = CsvFilter();
    QString fileName;
    if (const TSaveDialogHook hook = SaveDialogHook()) {
        fileName = hook(suggested, filters, &selectedFilter);
    } else {
        fileName = QFileDialog::getSaveFileName(owner_, tr("Save list"), suggested, filters,
                                                &selectedFilter);
    }
    if (!fileName.isEmpty()) {
        SaveListTo(fileName, selectedFilter);
    }
}

bool TDeviceListActions::SaveListTo(const QString& fileName, const QString& selectedFilter) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    bool json = selectedFilter == JsonFilter();
    QString target = fileName;
    if (suffix == QStringLiteral("json")) {
        json = true;
    } else if (suffix == QStringLiteral("csv")) {
        json = false;
    } else if (suffix.isEmpty()) {
        target += json ? QStringLiteral(".json") : QStringLiteral(".csv");
    }
    const std::vector<TXportPar> rows = Rows();
    const std::string text = json ? DeviceJson(rows) : DeviceCsv(rows);
    // Written aside and put in place at the end: a failed save leaves an
    // earlier file of that name whole.
    QSaveFile file(target);
    bool written = file.open(QIODevice::WriteOnly) &&
                   file.write(text.data(), static_cast<qint64>(text.size())) ==
                       static_cast<qint64>(text.size());
    const QString reason = file.errorString();
    written = written && file.commit();
    if (!written) {
        file.cancelWriting();
        ShowErrorBox(owner_,
                     tr("The list could not be saved to %1: %2")
                         .arg(QDir::toNativeSeparators(target),
                              file.error() != QFileDevice::NoError ? file.errorString() : reason)
                         .toStdString());
    }
    return written;
}

void TDeviceListActions::OpenWebPage() {
    const auto device = Selected();
    const std::string url = device ? WebPageUrl(device->IP) : std::string();
    if (url.empty() || (Busy && Busy())) {
        return;
    }
    const TOpenerEnvironment env = SystemEnvironment();
    if (const auto command = BrowserCommand(url, env)) {
        if (!StartFirst({*command})) {
            ShowErrorBox(owner_, tr("The web browser could not be started: %1")
                                     .arg(QString::fromStdString(*command))
                                     .toStdString());
        }
        return;
    }
    if (!QDesktopServices::openUrl(QUrl(QString::fromStdString(url)))) {
        ShowErrorBox(owner_, tr("No web browser could be started for %1.")
                                 .arg(QString::fromStdString(url))
                                 .toStdString());
    }
}

void TDeviceListActions::OpenTelnetConsole() {
    const auto device = Selected();
    if (!device || WebPageUrl(device->IP).empty() || (Busy && Busy())) {
        return;
    }
    const int port = TelnetPort(SettingsFile ? SettingsFile() : std::string());
    const TConsoleCommands commands = TelnetConsoleCommands(device->IP, port, SystemEnvironment());
    switch (commands.Problem) {
    case TConsoleProblem::NoTelnet:
        ShowErrorBox(owner_, tr("No Telnet client was found. Install one (Linux: the package "
                                "telnet; Windows: the feature \"Telnet Client\") or name it in "
                                "QUORVET_TELNET.")
                                 .toStdString());
        return;
    case TConsoleProblem::NoTerminal:
        ShowErrorBox(owner_, tr("No terminal program was found. Install one (e.g. xterm) or "
                                "name it in TERMINAL.")
                                 .toStdString());
        return;
    case TConsoleProblem::None:
        break;
    }
    if (!StartFirst(commands.CommandLines)) {
        ShowErrorBox(owner_, tr("The Telnet console could not be started: %1")
                                 .arg(QString::fromStdString(commands.CommandLines.front()))
                                 .toStdString());
    }
}
