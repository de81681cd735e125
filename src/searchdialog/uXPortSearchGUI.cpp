#include "searchdialog/uXPortSearchGUI.h"

#include "ipchange/gui/uXPortIPChangeGUI.h"
#include "searchdialog/rules/uDeviceListRules.h"
#include "searchdialog/uDeviceListActions.h"
#include "searchdialog/uDeviceListColumns.h"
#include "searchdialog/uSearchRefresh.h"
#include "ui_uXPortSearchGUI.h"

#include <QEvent>
#include <QHeaderView>
#include <QItemSelection>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QTableWidgetItem>
#include <QTimer>

#include <algorithm>

using namespace devicelist;

namespace {

// Rows arriving in a stream are added at most this often, so that a burst of
// replies costs the window one re-sort per batch, not one per device.
constexpr int kRowBatchMs = 25;

std::string ChecksHint(const std::string& settingsFile, TSearchOutcome outcome) {
    const std::vector<TCheckResult> results = RunChecks(GatherFacts(settingsFile));
    const TCheckResult* cause = MostLikelyCause(results, outcome);
    return cause ? cause->Name + ": " + cause->Text : std::string();
}

bool DetailsUnread(const TXportPar& device) {
    return device.Firmware == "N/A";
}

} // namespace

TfXPortSearchGUI::TfXPortSearchGUI(QWidget* owner, TXPortSearchJobFactory factory)
    : QDialog(owner), ui_(std::make_unique<Ui::TfXPortSearchGUI>()),
      factory_(factory ? std::move(factory) : TXPortSearchJobFactory(&NewEngineSearchJob)) {
    ui_->setupUi(this);
    // No title-bar buttons; the border sizes the list, the design size is
    // the least.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    panelDesignHeight_ = ui_->PnlButtons->height();
    designList_ = ui_->LvDeviceList->size();
    setMinimumSize(designList_.width(), designList_.height() + panelDesignHeight_);

    QTableWidget* list = ui_->LvDeviceList;
    QHeaderView* header = list->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setMinimumSectionSize(0);
    columns_ = new TDeviceListColumns(list);
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

    // The notes a search leaves sit where its progress was; a click puts
    // them away.
    labNote_ = new QLabel(this);
    labNote_->setObjectName(QStringLiteral("LabSearchNote"));
    labNote_->setAutoFillBackground(true);
    labNote_->setFrameShape(QFrame::StyledPanel);
    labNote_->setBackgroundRole(QPalette::ToolTipBase);
    labNote_->setForegroundRole(QPalette::ToolTipText);
    labNote_->setContentsMargins(4, 0, 4, 0);
    labNote_->setGeometry(progress->geometry());
    labNote_->installEventFilter(this);
    labNote_->hide();

    flushTimer_ = new QTimer(this);
    flushTimer_->setSingleShot(true);
    connect(flushTimer_, &QTimer::timeout, this, [this] { FlushRows(); });
    HintProvider = &ChecksHint;
    AddTargetsButton();

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
    listActions_ = new TDeviceListActions(this, list, pmProductionMask_);
    listActions_->Busy = [this] { return search_.Running(); };
    listActions_->SettingsFile = [this] { return SettingsFileName; };
    AddTargetsMenuItem();

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

    refresh_ = new TSearchRefresh(this, ui_->PnlButtons,
                                  {.RunSearch = [this] { RunSearch(); },
                                   .Searching = [this] { return search_.Running(); },
                                   .SelectedMAC = [this] { return SelectedMAC(); },
                                   .SelectMAC =
                                       [this](const std::string& mac) {
                                           SelectDevice(mac);
                                           EnableControls(!search_.Running());
                                       }});

    EnableControls(true);
}

TfXPortSearchGUI::~TfXPortSearchGUI() {
    // Does not wait for the engine: it ends on its worker, unheard.
    AbandonSearch();
    hint_.Cancel();
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
    const TDeviceRow* row = RowAt(list, selected.first().row());
    return row ? row->Fields[static_cast<std::size_t>(column)] : std::string();
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
        showSearch_ = search_.Running();
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

void TfXPortSearchGUI::done(int result) {
    SaveChoices();
    QDialog::done(result);
}

// ---- showing ---------------------------------------------------------------

void TfXPortSearchGUI::FormShow() {
    ApplyButtonSet();
    ApplyTexts();
    lastSortColumn_ = sortColumn_;
    RestoreChoices();
    refresh_->Place();
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
    // The targets button sits in the second row; the list's menu has it always.
    btnTargets_->setVisible(changeIP);
    ui_->PnlButtons->resize(ui_->PnlButtons->width(), panelHeight);
    setMinimumSize(designList_.width(), designList_.height() + panelHeight);
    resize(minimumSize());
    LayOutList();
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
    if (search_.Running()) {
        return;
    }
    showSearch_ = false;
    std::shared_ptr<TXPortSearchJob> job;
    try {
        job = factory_();
    } catch (const std::exception& e) {
        ShowErrorBox(this, e.what());
        emit SearchFinished();
        return;
    }
    if (!job) {
        emit SearchFinished();
        return;
    }

    hint_.Cancel();
    hintText_.clear();
    limits_.clear();
    progressAdapter_.clear();
    pendingRows_.clear();
    liveRows_ = false;
    UpdateNote();
    busy_.emplace();
    EnableControls(false);
    labProgress_->setText(SearchProgressStartText());
    labProgress_->raise();
    labProgress_->show();
    search_.Start(
        [job, settings = SettingsFileName,
         targets = SearchTargets()](TSearchTask::TControl& control) {
            if (!settings.empty()) {
                job->LoadSettings(settings);
            }
            job->SetTargets(targets);
            TXPortSearchJob::TEvents events;
            events.Progress = [&control](const std::string& adapter, int found) {
                control.Report(TSearchProgress{adapter, found});
            };
            events.Device = [&control](const TXportPar& device) { control.Report(device); };
            events.Status = [&control](const TXportSearch::TStatus& status) {
                control.Report(status);
            };
            events.Limit = [&control](const std::string& adapter) {
                control.Report(TLimitReached{adapter});
            };
            job->Search(events);
            return job->Devices();
        },
        {.OnReport = [this](TSearchReport report) { SearchReport(std::move(report)); },
         .OnDone = [this](TSearchTask::TOutcome outcome) { SearchDone(std::move(outcome)); },
         .OnCancel = [job] { job->Cancel(); }});
}

void TfXPortSearchGUI::SearchReport(TSearchReport report) {
    if (auto* progress = std::get_if<TSearchProgress>(&report)) {
        progressAdapter_ = progress->Adapter;
        labProgress_->setText(
            SearchProgressText(QString::fromStdString(progress->Adapter), progress->DevicesFound));
    } else if (auto* status = std::get_if<TXportSearch::TStatus>(&report)) {
        labProgress_->setText(SearchStatusText(QString::fromStdString(progressAdapter_),
                                               status->AdaptersDone, status->AdaptersTotal,
                                               status->DevicesRead));
    } else if (auto* device = std::get_if<TXportPar>(&report)) {
        pendingRows_.push_back(std::move(*device));
        // The first row goes in at once, later ones in batches.
        if (!flushTimer_->isActive()) {
            flushTimer_->start(liveRows_ ? kRowBatchMs : 0);
        }
    } else if (auto* limit = std::get_if<TLimitReached>(&report)) {
        if (std::find(limits_.begin(), limits_.end(), limit->Adapter) == limits_.end()) {
            limits_.push_back(limit->Adapter);
        }
    }
}

void TfXPortSearchGUI::FlushRows() {
    flushTimer_->stop();
    if (pendingRows_.empty()) {
        return;
    }
    std::vector<TXportPar> rows = std::exchange(pendingRows_, {});
    QTableWidget* list = ui_->LvDeviceList;
    filling_ = true;
    list->setUpdatesEnabled(false);
    if (!liveRows_) {
        // The previous search's rows give way to this one's; kept aside in
        // lastDevices_ in case this search fails.
        liveRows_ = true;
        selectedBefore_ = SelectedMAC();
        list->setRowCount(0);
    }
    const int before = list->rowCount();
    for (const TXportPar& device : rows) {
        if (productionOnly_ && !IsProductionAddress(device.IP)) {
            continue;
        }
        AppendDeviceRow(list, device);
    }
    if (before == 0 && list->rowCount() > 0) {
        // The first device read is selected; sorting keeps the selection on
        // it as more rows come in.
        list->setFocus();
        list->setCurrentCell(0, 0);
        list->selectRow(0);
    }
    if (list->rowCount() > before) {
        SortByColumn(lastSortColumn_);
        columns_->FitToContent();
    }
    list->setUpdatesEnabled(true);
    filling_ = false;
}

void TfXPortSearchGUI::SelectDevice(const std::string& mac) {
    QTableWidget* list = ui_->LvDeviceList;
    for (int r = 0; r < list->rowCount() && !mac.empty(); ++r) {
        const TDeviceRow* row = RowAt(list, r);
        if (row && row->Fields[colMAC] == mac) {
            filling_ = true;
            list->setCurrentCell(r, 0);
            list->selectRow(r);
            filling_ = false;
            return;
        }
    }
}

void TfXPortSearchGUI::SearchDone(TSearchTask::TOutcome outcome) {
    const bool showSearch = std::exchange(showSearch_, false);
    flushTimer_->stop();
    pendingRows_.clear();
    const bool liveRows = std::exchange(liveRows_, false);
    // The list ends as the engine's final list. An error leaves the previous
    // rows in place, also when rows of the failed search came in meanwhile.
    if (outcome.Value) {
        FillList(*outcome.Value);
        lastDevices_ = std::move(*outcome.Value);
    } else if (liveRows) {
        FillList(lastDevices_);
        SelectDevice(selectedBefore_);
    }
    EndBusy();
    refresh_->SearchEnded(outcome.Value.has_value());
    if (outcome.Value) {
        UpdateNote();
        if (lastDevices_.empty()) {
            StartHint(TSearchOutcome::NoDevice);
        } else if (std::any_of(lastDevices_.begin(), lastDevices_.end(), DetailsUnread)) {
            StartHint(TSearchOutcome::DetailsUnreadable);
        }
    }
    if (!outcome.Value && showSearch) {
        ShowSearchError = outcome.Error;
        emit SearchFinished();
        done(mrCancel);
        return;
    }
    if (!outcome.Value) {
        ShowErrorBox(this, outcome.Error);
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
        AppendDeviceRow(list, device);
    }
    if (list->rowCount() > 0) {
        // Before sorting: the device the engine found first stays selected
        // wherever the sort puts it.
        list->setFocus();
        list->setCurrentCell(0, 0);
        list->selectRow(0);
    }
    SortByColumn(lastSortColumn_);
    columns_->FitToContent();
    filling_ = false;
}

void TfXPortSearchGUI::StartHint(TSearchOutcome outcome) {
    if (!HintProvider) {
        return;
    }
    hint_.Start([provider = HintProvider, settings = SettingsFileName,
                 outcome](TWorkerControl<std::monostate>&) { return provider(settings, outcome); },
                {.OnDone = [this, outcome](TWorkerTask<std::string>::TOutcome result) {
                    // A failing check names no cause; the search itself went well.
                    if (result.Value && !result.Value->empty()) {
                        hintText_ = SearchHintText(outcome == TSearchOutcome::NoDevice,
                                                   QString::fromStdString(*result.Value));
                        UpdateNote();
                    }
                    emit HintReady();
                }});
}

QString TfXPortSearchGUI::StatusNote() const {
    QStringList parts;
    if (!limits_.empty()) {
        QStringList adapters;
        for (const std::string& a : limits_) {
            adapters << QString::fromStdString(a);
        }
        parts << DeviceLimitText(adapters.join(QStringLiteral(", ")));
    }
    if (!hintText_.isEmpty()) {
        parts << hintText_;
    }
    if (!targetsProblem_.isEmpty()) {
        parts << targetsProblem_;
    }
    return parts.join(QLatin1Char(' '));
}

void TfXPortSearchGUI::UpdateNote() {
    const QString note = StatusNote();
    labNote_->setText(note);
    labNote_->setToolTip(note); // the strip may cut a long line
    labNote_->setVisible(!note.isEmpty() && !search_.Running());
    labNote_->raise();
}

void TfXPortSearchGUI::AbandonSearch() {
    if (!search_.Running()) {
        return;
    }
    // The rows read so far stay: a cancelled search keeps what it found.
    FlushRows();
    liveRows_ = false;
    search_.Cancel();
    EndBusy();
}

void TfXPortSearchGUI::EndBusy() {
    labProgress_->hide();
    busy_.reset();
    EnableControls(true);
}

// ---- controls ------------------------------------------------------------

void TfXPortSearchGUI::EnableControls(bool enabled) {
    const QTableWidget* list = ui_->LvDeviceList;
    const bool hasRows = list->rowCount() > 0;
    ui_->BBSearch->setEnabled(enabled);
    ui_->BBSelect->setEnabled(enabled && hasRows);
    ui_->BBChangeIP->setEnabled(enabled);
    ui_->BBHelpDeviceNotFound->setEnabled(enabled);
    btnTargets_->setEnabled(enabled);
    const QModelIndexList selected = list->selectionModel()->selectedIndexes();
    if (hasRows && !selected.isEmpty()) {
        const TDeviceRow* row = RowAt(list, selected.first().row());
        const auto kind = row ? DeviceKindStrict(row->Fields[colFirmware]) : std::optional<int>();
        ui_->BBChangeIP->setEnabled(enabled && (!kind || *kind != 6));
    }
}

void TfXPortSearchGUI::UpdateChangeIPForRow(int row) {
    const TDeviceRow* record = RowAt(ui_->LvDeviceList, row);
    if (!record) {
        return;
    }
    // A kind-6 device has no address to change from here.
    const auto kind = DeviceKindStrict(record->Fields[colFirmware]);
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
    if (search_.Running() ||
        (!deviceNotFound &&
         (list->rowCount() == 0 || list->selectionModel()->selectedIndexes().isEmpty()))) {
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
    if (search_.Running()) {
        return;
    }
    SortByColumn(column);
    lastSortColumn_ = column;
}

void TfXPortSearchGUI::LvDeviceListSelectItem(const QItemSelection& selected,
                                              const QItemSelection& deselected) {
    if (filling_ || search_.Running()) {
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
    if (search_.Running()) {
        return;
    }
    accept();
}

void TfXPortSearchGUI::LvDeviceListContextMenu(const QPoint& pos) {
    if (search_.Running()) {
        return;
    }
    listActions_->PrepareMenu(pos);
    pmProductionMask_->popup(ui_->LvDeviceList->viewport()->mapToGlobal(pos));
}

void TfXPortSearchGUI::pmProductionMaskAllClick() {
    if (search_.Running()) {
        return;
    }
    productionOnly_ = false;
    RunSearch();
}

void TfXPortSearchGUI::pmProductionMaskSensorsClick() {
    if (search_.Running()) {
        return;
    }
    productionOnly_ = true;
    RunSearch();
}

bool TfXPortSearchGUI::eventFilter(QObject* watched, QEvent* event) {
    if (watched == labNote_ && event->type() == QEvent::MouseButtonPress) {
        labNote_->hide();
        return true;
    }
    if (watched == ui_->LvDeviceList->viewport() && event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        LvDeviceListDblClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
