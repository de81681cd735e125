#include "searchdialog/uXPortSearchGUI.h"

#include "base/uDeviceText.h"
#include "base/uErrors.h"
#include "ipchange/gui/uXPortIPChangeGUI.h"
#include "ui_uXPortSearchGUI.h"
#include "utils/uUtilsConvert.h"

#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QItemSelection>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPalette>
#include <QPointer>
#include <QTableWidgetItem>

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <cstdint>
#include <mutex>

// ---------------------------------------------------------------------------
// The real engine behind the search seam
// ---------------------------------------------------------------------------

namespace {

class TEngineSearchJob final : public TXPortSearchJob {
public:
    void LoadSettings(const std::string& fileName) override { engine_.LoadSettings(fileName); }

    void Search(const TProgress& progress) override {
        engine_.OnProgress = progress;
        engine_.Search(); // a Cancel given before it started is honoured too
    }

    std::vector<TXportPar> Devices() const override {
        std::vector<TXportPar> devices;
        const int count = engine_.DeviceCount();
        devices.reserve(static_cast<std::size_t>(std::max(count, 0)));
        for (int i = 0; i < count; ++i) {
            devices.push_back(engine_.Device(i));
        }
        return devices;
    }

    void Cancel() override { engine_.Cancel(); }

private:
    TXportSearch engine_;
};

} // namespace

std::unique_ptr<TXPortSearchJob> NewEngineSearchJob() {
    return std::make_unique<TEngineSearchJob>();
}

// ---------------------------------------------------------------------------
// List rows
// ---------------------------------------------------------------------------

namespace {

// The row record: copies of the device's texts and the Active flag, shared
// by the six cells of the row and released with them.
struct TDeviceRow {
    std::array<std::string, 6> Fields; // by column: IP, MAC, FW, type, description, adapter
    bool Active = true;
};

int LvDeviceListCompare(std::size_t column, const TDeviceRow& a, const TDeviceRow& b) {
    if (column >= a.Fields.size()) {
        return 0;
    }
    const std::string& x = a.Fields[column];
    const std::string& y = b.Fields[column];
    switch (column) {
    case TfXPortSearchGUI::colIP:
        return CompareIPAddress(x, y);
    case TfXPortSearchGUI::colMAC:
        return CompareMACAddress(x, y);
    case TfXPortSearchGUI::colFirmware:
        return CompareFirmware(x, y);
    default:
        return CompareText(x, y);
    }
}

// Device texts are bytes, read by the program's one rule (UTF-8 when valid,
// else byte for byte); a cell shows their control characters as symbols, so
// that no description breaks or hides its row.
QString DisplayText(const std::string& bytes) {
    return QString::fromStdString(VisibleText(bytes));
}

class TDeviceCell final : public QTableWidgetItem {
public:
    TDeviceCell(std::shared_ptr<const TDeviceRow> row, std::size_t column)
        : QTableWidgetItem(DisplayText(row->Fields[column]), UserType), row_(std::move(row)),
          column_(column) {}

    const TDeviceRow& Row() const { return *row_; }

    QVariant data(int role) const override {
        // Dimmed rows take a greyed text colour in every column.
        if (role == Qt::ForegroundRole && !row_->Active) {
            return QBrush(QApplication::palette().color(QPalette::Disabled, QPalette::Text));
        }
        return QTableWidgetItem::data(role);
    }

    bool operator<(const QTableWidgetItem& other) const override {
        const auto* cell = dynamic_cast<const TDeviceCell*>(&other);
        if (!cell) {
            return QTableWidgetItem::operator<(other);
        }
        // A table sorts by comparing the cells of the sort column.
        return LvDeviceListCompare(column_, *row_, *cell->row_) < 0;
    }

private:
    std::shared_ptr<const TDeviceRow> row_;
    std::size_t column_;
};

const TDeviceCell* CellAt(const QTableWidget* list, int row) {
    return dynamic_cast<const TDeviceCell*>(list->item(row, 0));
}

constexpr std::array<int, 6> kColumnWidths = {90, 125, 60, 80, 156, 0};

} // namespace

// ---------------------------------------------------------------------------
// The dialog
// ---------------------------------------------------------------------------

// One search on its worker thread, shared by the dialog and the worker. A
// dialog that lets go of a run (closed or destroyed mid-search) clears Dialog;
// from then on the worker posts nothing and finishes on its own.
struct TfXPortSearchGUI::TSearchRun {
    std::unique_ptr<TXPortSearchJob> Job;
    std::mutex Lock;
    TfXPortSearchGUI* Dialog = nullptr; // guarded by Lock
    // Apart from the run, so that a reaper can watch it without keeping the
    // engine alive.
    std::shared_ptr<std::atomic<bool>> Finished = std::make_shared<std::atomic<bool>>(false);

    // Queues fn(dialog) on the dialog's thread while the dialog still wants it.
    template <typename F> void Post(F fn) {
        std::lock_guard<std::mutex> guard(Lock);
        if (Dialog) {
            TfXPortSearchGUI* dialog = Dialog;
            QMetaObject::invokeMethod(
                dialog, [dialog, fn] { fn(dialog); }, Qt::QueuedConnection);
        }
    }
};

namespace {

// Joins the workers of dropped searches: a cancelled engine returns within
// one receive time-out, and nobody should wait for that on the UI thread.
// Whatever is left is joined when the application object goes.
class TSearchReaper {
public:
    static TSearchReaper& Instance() {
        static TSearchReaper* reaper = [] {
            auto* r = new TSearchReaper;
            qAddPostRoutine([] { Instance().JoinAll(); });
            return r;
        }();
        return *reaper;
    }

    void Adopt(std::thread worker, std::shared_ptr<const std::atomic<bool>> finished) {
        std::lock_guard<std::mutex> guard(lock_);
        JoinFinished();
        workers_.push_back({std::move(worker), std::move(finished)});
    }

    void JoinAll() {
        std::vector<TEntry> workers;
        {
            std::lock_guard<std::mutex> guard(lock_);
            workers.swap(workers_);
        }
        for (TEntry& e : workers) {
            e.Worker.join();
        }
    }

private:
    struct TEntry {
        std::thread Worker;
        std::shared_ptr<const std::atomic<bool>> Finished;
    };

    void JoinFinished() {
        for (auto it = workers_.begin(); it != workers_.end();) {
            if (it->Finished->load()) {
                it->Worker.join();
                it = workers_.erase(it);
            } else {
                ++it;
            }
        }
    }

    std::mutex lock_;
    std::vector<TEntry> workers_;
};

} // namespace

struct TfXPortSearchGUI::TOutcome {
    bool Ok = false;
    std::vector<TXportPar> Devices;
    std::string Error;
};

TfXPortSearchGUI::TfXPortSearchGUI(QWidget* owner, TXPortSearchJobFactory factory)
    : QDialog(owner), ui_(std::make_unique<Ui::TfXPortSearchGUI>()),
      factory_(factory ? std::move(factory) : TXPortSearchJobFactory(&NewEngineSearchJob)) {
    ui_->setupUi(this);
    // Fixed border, no title-bar buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    panelDesignHeight_ = ui_->PnlButtons->height();
    setFixedSize(ui_->LvDeviceList->width(), ui_->LvDeviceList->height() + panelDesignHeight_);

    QTableWidget* list = ui_->LvDeviceList;
    QHeaderView* header = list->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setMinimumSectionSize(0);
    for (int c = 0; c < static_cast<int>(kColumnWidths.size()); ++c) {
        header->resizeSection(c, kColumnWidths[static_cast<std::size_t>(c)]);
    }
    // Report-style rows: one text line high.
    list->verticalHeader()->setMinimumSectionSize(0);
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 4);
    list->setSortingEnabled(false);

    // Progress strip over the foot of the list, shown only while searching.
    labProgress_ = new QLabel(this);
    QLabel* progress = labProgress_;
    progress->setObjectName(QStringLiteral("LabSearchProgress"));
    progress->setAutoFillBackground(true);
    progress->setFrameShape(QFrame::StyledPanel);
    progress->setBackgroundRole(QPalette::ToolTipBase);
    progress->setForegroundRole(QPalette::ToolTipText);
    progress->setContentsMargins(4, 0, 4, 0);
    const int progressHeight = list->fontMetrics().height() + 6;
    progress->setGeometry(2, list->height() - progressHeight - 2, list->width() - 4,
                          progressHeight);
    progress->hide();

    // FormCreate
    ButtonSet = 0x3E;
    Texts = LoadXPortSearchLangSupport();
    sortColumn_ = 0;
    lastSortColumn_ = 0;
    productionOnly_ = false;
    pmProductionMask_ = new QMenu(this);
    pmProductionMask_->setObjectName(QStringLiteral("PmProductionMask"));
    pmProductionMask_->addAction(ui_->pmProductionMaskAll);
    pmProductionMask_->addAction(ui_->pmProductionMaskSensors);

    connect(ui_->BBSearch, &QPushButton::clicked, this, [this] { BBSearchClick(); });
    connect(ui_->BBSelect, &QPushButton::clicked, this, [this] { accept(); });
    connect(ui_->BBCancel, &QPushButton::clicked, this, [this] { reject(); });
    connect(ui_->BBChangeIP, &QPushButton::clicked, this, [this] { BBChangeIPClick(); });
    connect(ui_->BBHelpDeviceNotFound, &QPushButton::clicked, this,
            [this] { BBHelpDeviceNotFoundClick(); });
    connect(header, &QHeaderView::sectionClicked, this,
            [this](int column) { LvDeviceListColumnClick(column); });
    connect(
        list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        [this](const QItemSelection& s, const QItemSelection& d) { LvDeviceListSelectItem(s, d); });
    connect(list, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { LvDeviceListContextMenu(pos); });
    connect(ui_->pmProductionMaskAll, &QAction::triggered, this,
            [this] { pmProductionMaskAllClick(); });
    connect(ui_->pmProductionMaskSensors, &QAction::triggered, this,
            [this] { pmProductionMaskSensorsClick(); });
    // A double click anywhere on the list, rows or empty space.
    list->viewport()->installEventFilter(this);

    EnableControls(true);
}

TfXPortSearchGUI::~TfXPortSearchGUI() {
    // After this the worker posts nothing more; what it posted already goes
    // with the dialog's pending events.
    AbandonSearch();
    ReleaseRun();
}

// ---- opener's interface ---------------------------------------------------

std::string TfXPortSearchGUI::SelectedColumnText(int column) const {
    const QTableWidget* list = ui_->LvDeviceList;
    if (column < 0 || column >= list->columnCount() || list->rowCount() == 0) {
        return {};
    }
    const QModelIndexList selected = list->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) {
        return {};
    }
    const TDeviceCell* cell = CellAt(list, selected.first().row());
    return cell ? cell->Row().Fields[static_cast<std::size_t>(column)] : std::string();
}

std::string TfXPortSearchGUI::SelectedIP() const {
    return SelectedColumnText(colIP);
}
std::string TfXPortSearchGUI::SelectedMAC() const {
    return SelectedColumnText(colMAC);
}
std::string TfXPortSearchGUI::SelectedFirmware() const {
    return SelectedColumnText(colFirmware);
}
std::string TfXPortSearchGUI::SelectedDeviceType() const {
    return SelectedColumnText(colDeviceType);
}
std::string TfXPortSearchGUI::SelectedDescription() const {
    return SelectedColumnText(colDescription);
}

void TfXPortSearchGUI::setVisible(bool visible) {
    if (visible && !isVisible()) {
        // Buttons, size and texts are settled before the window appears, so
        // that it is centred at its final size; the search starts once shown.
        FormShow();
        QDialog::setVisible(true);
        RunSearch();
        showRunId_ = runId_;
        return;
    }
    QDialog::setVisible(visible);
}

void TfXPortSearchGUI::accept() {
    AbandonSearch();
    done(mrOk);
}

void TfXPortSearchGUI::reject() {
    AbandonSearch();
    done(mrCancel);
}

// ---- showing ---------------------------------------------------------------

void TfXPortSearchGUI::FormShow() {
    ApplyButtonSet();
    ApplyTexts();
    lastSortColumn_ = sortColumn_;
}

void TfXPortSearchGUI::ApplyButtonSet() {
    if (ButtonSet == 0) {
        ButtonSet = bsDefault;
    }
    const bool select = (ButtonSet & (bsSelect | bsAll)) != 0;
    const bool changeIP = (ButtonSet & (bsChangeIP | bsAll)) != 0;
    const bool help = (ButtonSet & (bsHelp | bsAll)) != 0;
    ui_->BBSelect->setVisible(select);
    ui_->BBChangeIP->setVisible(changeIP);
    ui_->BBHelpDeviceNotFound->setVisible(help);
    // Without Change IP the second button row goes. Taken from the design
    // height, so that showing the dialog again does not shrink it further.
    const int panelHeight = changeIP ? panelDesignHeight_ : panelDesignHeight_ / 2 + 5;
    ui_->PnlButtons->resize(ui_->PnlButtons->width(), panelHeight);
    setFixedSize(width(), ui_->LvDeviceList->height() + panelHeight);
}

void TfXPortSearchGUI::ApplyTexts() {
    const auto text = [this](int i) {
        return QString::fromStdString(Texts[static_cast<std::size_t>(i)]);
    };
    setWindowTitle(text(0));
    ui_->BBSearch->setText(text(1));
    ui_->BBSelect->setText(text(4));
    ui_->BBCancel->setText(text(5));
    ui_->BBChangeIP->setText(text(3));
    ui_->BBHelpDeviceNotFound->setText(text(2));
    for (int c = colIP; c <= colDescription; ++c) {
        QTableWidgetItem* headerItem = ui_->LvDeviceList->horizontalHeaderItem(c);
        if (!headerItem) {
            headerItem = new QTableWidgetItem;
            ui_->LvDeviceList->setHorizontalHeaderItem(c, headerItem);
        }
        headerItem->setText(text(6 + c));
    }
}

// ---- searching ---------------------------------------------------------------

void TfXPortSearchGUI::RunSearch() {
    if (searching_) {
        return;
    }
    std::unique_ptr<TXPortSearchJob> job;
    try {
        job = factory_();
    } catch (const std::exception& e) {
        ReportError(e.what());
        emit SearchFinished();
        return;
    }
    if (!job) {
        emit SearchFinished();
        return;
    }

    QApplication::setOverrideCursor(Qt::WaitCursor);
    cursorSet_ = true;
    EnableControls(false);
    searching_ = true;
    run_ = std::make_shared<TSearchRun>();
    run_->Job = std::move(job);
    run_->Dialog = this;
    const std::uint64_t id = ++runId_;
    labProgress_->setText(SearchProgressStartText());
    labProgress_->raise();
    labProgress_->show();

    try {
        worker_ = std::thread([run = run_, settings = SettingsFileName, id] {
            auto outcome = std::make_shared<TOutcome>();
            try {
                if (!settings.empty()) {
                    run->Job->LoadSettings(settings);
                }
                run->Job->Search([&run, id](const std::string& adapter, int found) {
                    const QString name = QString::fromStdString(adapter);
                    run->Post([id, name, found](TfXPortSearchGUI* dialog) {
                        dialog->ShowProgress(id, SearchProgressText(name, found));
                    });
                });
                outcome->Devices = run->Job->Devices();
                outcome->Ok = true;
            } catch (const std::exception& e) {
                outcome->Error = e.what();
            } catch (...) {
                outcome->Error = "Unknown error";
            }
            run->Post(
                [id, outcome](TfXPortSearchGUI* dialog) { dialog->SearchDone(id, *outcome); });
            *run->Finished = true;
        });
    } catch (const std::system_error& e) {
        run_.reset();
        searching_ = false;
        labProgress_->hide();
        RestoreCursor();
        EnableControls(true);
        ReportError(e.what());
        emit SearchFinished();
    }
}

void TfXPortSearchGUI::ShowProgress(std::uint64_t id, const QString& text) {
    if (id != runId_ || !searching_) {
        return;
    }
    labProgress_->setText(text);
}

void TfXPortSearchGUI::SearchDone(std::uint64_t id, const TOutcome& outcome) {
    if (id != runId_ || !searching_) {
        return; // a search dropped by Cancel
    }
    // The worker has posted its last word: it is done in a moment, and the
    // engine goes with the run.
    if (worker_.joinable()) {
        worker_.join();
    }
    run_.reset();
    searching_ = false;
    labProgress_->hide();
    // The list is emptied only after a search that succeeded, so an error
    // leaves the previous rows in place.
    if (outcome.Ok) {
        FillList(outcome.Devices);
        lastDevices_ = outcome.Devices;
    }
    RestoreCursor();
    EnableControls(true);
    if (!outcome.Ok && id == showRunId_) {
        ShowSearchError = outcome.Error;
        emit SearchFinished();
        done(mrCancel);
        return;
    }
    if (!outcome.Ok) {
        ReportError(outcome.Error);
    }
    emit SearchFinished();
}

void TfXPortSearchGUI::FillList(const std::vector<TXportPar>& devices) {
    QTableWidget* list = ui_->LvDeviceList;
    filling_ = true;
    list->setRowCount(0);
    for (const TXportPar& device : devices) {
        if (productionOnly_ && !IsProductionAddress(device.IP)) {
            continue;
        }
        AddRow(device);
    }
    if (list->rowCount() > 0) {
        // Before sorting: the device the engine found first stays selected
        // wherever the sort puts it.
        list->setFocus();
        list->setCurrentCell(0, 0);
        list->selectRow(0);
    }
    SortByColumn(lastSortColumn_);
    filling_ = false;
}

void TfXPortSearchGUI::AddRow(const TXportPar& device) {
    auto row = std::make_shared<TDeviceRow>();
    row->Fields = {device.IP,         device.MAC,         device.Firmware,
                   device.DeviceType, device.Description, device.AdapterIP};
    row->Active = IsRowActive(device.Firmware, device.StatusChar);
    QTableWidget* list = ui_->LvDeviceList;
    const int index = list->rowCount();
    list->insertRow(index);
    for (std::size_t c = 0; c < row->Fields.size(); ++c) {
        list->setItem(index, static_cast<int>(c), new TDeviceCell(row, c));
    }
}

void TfXPortSearchGUI::AbandonSearch() {
    if (!searching_) {
        return;
    }
    ReleaseRun();
    ++runId_; // a result already posted is not wanted either
    searching_ = false;
    labProgress_->hide();
    RestoreCursor();
    EnableControls(true);
}

void TfXPortSearchGUI::ReleaseRun() {
    if (!run_) {
        return;
    }
    {
        std::lock_guard<std::mutex> guard(run_->Lock);
        run_->Dialog = nullptr;
    }
    run_->Job->Cancel();
    if (worker_.joinable()) {
        TSearchReaper::Instance().Adopt(std::move(worker_), run_->Finished);
    }
    run_.reset();
}

void TfXPortSearchGUI::RestoreCursor() {
    if (cursorSet_) {
        QApplication::restoreOverrideCursor();
        cursorSet_ = false;
    }
}

void TfXPortSearchGUI::ReportError(const std::string& message) {
    if (OnSearchError) {
        OnSearchError(message);
        return;
    }
    QMessageBox::critical(this, QGuiApplication::applicationDisplayName(),
                          QString::fromStdString(message));
}

// ---- controls ------------------------------------------------------------

void TfXPortSearchGUI::EnableControls(bool enabled) {
    const QTableWidget* list = ui_->LvDeviceList;
    const bool hasRows = list->rowCount() > 0;
    ui_->BBSearch->setEnabled(enabled);
    ui_->BBSelect->setEnabled(enabled && hasRows);
    ui_->BBChangeIP->setEnabled(enabled);
    ui_->BBHelpDeviceNotFound->setEnabled(enabled);
    const QModelIndexList selected = list->selectionModel()->selectedIndexes();
    if (hasRows && !selected.isEmpty()) {
        const TDeviceCell* cell = CellAt(list, selected.first().row());
        const auto kind =
            cell ? DeviceKindStrict(cell->Row().Fields[colFirmware]) : std::optional<int>();
        ui_->BBChangeIP->setEnabled(enabled && (!kind || *kind != 6));
    }
}

void TfXPortSearchGUI::UpdateChangeIPForRow(int row) {
    const TDeviceCell* cell = CellAt(ui_->LvDeviceList, row);
    if (!cell) {
        return;
    }
    // A kind-6 device has no address to change from here.
    const auto kind = DeviceKindStrict(cell->Row().Fields[colFirmware]);
    ui_->BBChangeIP->setEnabled(!kind || *kind != 6);
}

void TfXPortSearchGUI::BBSearchClick() {
    RunSearch();
}

void TfXPortSearchGUI::BBChangeIPClick() {
    OpenIPChange(false);
}

void TfXPortSearchGUI::BBHelpDeviceNotFoundClick() {
    OpenIPChange(true);
}

void TfXPortSearchGUI::OpenIPChange(bool deviceNotFound) {
    const QTableWidget* list = ui_->LvDeviceList;
    if (searching_ || (!deviceNotFound && (list->rowCount() == 0 ||
                                           list->selectionModel()->selectedIndexes().isEmpty()))) {
        return;
    }
    // Owned by this dialog; the guards cover either being released while the
    // change dialog runs its own event loop.
    const QPointer<TfXPortSearchGUI> self(this);
    QPointer<TfXPortIPChangeGUI> change = new TfXPortIPChangeGUI(this);
    if (deviceNotFound) {
        change->DeviceNotFound = true;
    } else {
        change->DeviceIP = SelectedColumnText(colIP);
        change->DeviceMAC = SelectedColumnText(colMAC);
        change->AdapterIP = SelectedColumnText(colAdapter);
    }
    // Every device of the last search, also those the production filter
    // hides: any of them may hear the change request.
    change->KnownDevices = lastDevices_;
    change->SetLanguage({Texts[11], Texts[12], Texts[5], Texts[6], Texts[7], Texts[13], Texts[14],
                         Texts[15], Texts[16], Texts[17], Texts[18], Texts[19]});
    const int result = change->exec();
    delete change.data();
    if (self && result == TfXPortIPChangeGUI::mrOk) {
        RunSearch();
    }
}

void TfXPortSearchGUI::SortByColumn(int column) {
    if (column < 0 || column >= ui_->LvDeviceList->columnCount()) {
        return;
    }
    sortColumn_ = column;
    ui_->LvDeviceList->sortItems(column, Qt::AscendingOrder);
}

void TfXPortSearchGUI::LvDeviceListColumnClick(int column) {
    if (searching_) {
        return;
    }
    SortByColumn(column);
    lastSortColumn_ = column;
}

void TfXPortSearchGUI::LvDeviceListSelectItem(const QItemSelection& selected,
                                              const QItemSelection& deselected) {
    if (filling_ || searching_) {
        return; // EnableControls settles Change IP when the search ends
    }
    // One event for the row that lost the selection, then one for the row
    // that gained it; the last one decides.
    for (const QItemSelection* change : {&deselected, &selected}) {
        for (const QItemSelectionRange& range : *change) {
            for (int row = range.top(); row <= range.bottom(); ++row) {
                UpdateChangeIPForRow(row);
            }
        }
    }
}

void TfXPortSearchGUI::LvDeviceListDblClick() {
    if (searching_) {
        return;
    }
    accept();
}

void TfXPortSearchGUI::LvDeviceListContextMenu(const QPoint& pos) {
    if (searching_) {
        return;
    }
    pmProductionMask_->popup(ui_->LvDeviceList->viewport()->mapToGlobal(pos));
}

void TfXPortSearchGUI::pmProductionMaskAllClick() {
    if (searching_) {
        return;
    }
    productionOnly_ = false;
    RunSearch();
}

void TfXPortSearchGUI::pmProductionMaskSensorsClick() {
    if (searching_) {
        return;
    }
    productionOnly_ = true;
    RunSearch();
}

bool TfXPortSearchGUI::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->LvDeviceList->viewport() && event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        LvDeviceListDblClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
