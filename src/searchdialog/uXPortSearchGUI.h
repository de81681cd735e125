#pragma once
// The modal device search dialog: searches every adapter for devices, lists
// them, lets the user sort, filter to production addresses and pick one.
//
// A search runs on a worker thread so that the window keeps painting and can
// be cancelled; meanwhile the dialog shows the hourglass cursor and disables
// its controls just as a blocking search would. Rows appear as the devices
// are read; when the search ends the list is rebuilt from its final result.

#include <QDialog>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "diagnostics/uDiagnostics.h"
#include "guicommon/uGuiCommon.h"
#include "guicommon/uWorkerTask.h"
#include "searchdialog/uDeviceListCells.h"
#include "searchdialog/uSearchTargetsGUI.h"
#include "searchdialog/uXPortSearchGUIStrings.h"
#include "searchdialog/uXPortSearchJob.h"

class QItemSelection;
class TDeviceListActions;
class QLabel;
class QPushButton;
class QResizeEvent;
class QMenu;
class QPoint;
class QTableWidgetItem;
class QTimer;
class TSearchRefresh;

namespace Ui {
class TfXPortSearchGUI;
}
namespace platform {
class TUserSettingsStore;
}
namespace devicelist {
class TDeviceListColumns;
}

class TfXPortSearchGUI : public QDialog {
    Q_OBJECT

public:
    // Modal results.
    static constexpr int mrOk = 1;
    static constexpr int mrCancel = 2;

    // Members of ButtonSet.
    static constexpr std::uint8_t bsAll = 0x01;
    static constexpr std::uint8_t bsHelp = 0x04;
    static constexpr std::uint8_t bsChangeIP = 0x08;
    static constexpr std::uint8_t bsSelect = 0x10;
    static constexpr std::uint8_t bsDefault = 0x32; // what the empty set stands for

    // Columns of LvDeviceList.
    using TColumn = devicelist::TColumn;
    using enum devicelist::TColumn;

    // Without a factory the dialog searches with the real engine.
    explicit TfXPortSearchGUI(QWidget* owner = nullptr, TXPortSearchJobFactory factory = {});
    ~TfXPortSearchGUI() override;

    // Assigned by the opener after creation, before showing.
    std::uint8_t ButtonSet = 0x3E;
    std::string SettingsFileName;
    TXPortSearchLangSupport Texts;
    // A failed search is reported in the application's error box (ShowErrorBox).
    // An error of the search that showing the dialog starts is not reported
    // here: like an error raised while the dialog is being shown, it ends the
    // modal run (result Cancel) and is left to the opener in this text.
    std::optional<std::string> ShowSearchError;
    // Where the user's size, column widths, sort column and filter are kept
    // between dialogs: read when shown, written when done. None: the design's.
    platform::TUserSettingsStore* ChoicesStore = nullptr;

    // After a search that found no device, or devices whose details could
    // not be read, the most likely cause as one line ("" for none). Called on
    // a worker thread (the checks may take seconds); by default the field
    // diagnostics of this computer.
    using THintProvider =
        std::function<std::string(const std::string& settingsFile, TSearchOutcome outcome)>;
    THintProvider HintProvider;

    // Where "Targets..." keeps the list of addresses the search also asks by
    // unicast (uSearchTargetsGUI.h); by default for this dialog's life only.
    TSearchTargetsMemory TargetsMemory;

    // The selected row; empty texts when there is none.
    std::string SelectedIP() const;
    std::string SelectedMAC() const;
    std::string SelectedFirmware() const;
    std::string SelectedDeviceType() const;
    std::string SelectedDescription() const;

    // Starts a search (ignored while one runs). The list is refilled when it
    // ends; SearchFinished is emitted in every case.
    void RunSearch();
    bool Searching() const { return search_.Running(); }

    void SortByColumn(int column);
    int SortColumn() const { return sortColumn_; }
    int LastSortColumn() const { return lastSortColumn_; }
    bool ProductionOnly() const { return productionOnly_; }

    // The status strip under the list once a search has ended: the device
    // limit note and the hint; empty when there is nothing to say.
    QString StatusNote() const;

signals:
    // A search ended: rows refilled, or an error reported and the rows kept.
    void SearchFinished();
    // The hint of the last search has come in (shown when not empty).
    void HintReady();

public slots:
    void accept() override;
    void reject() override;
    void done(int result) override;

public:
    // Showing runs FormShow and then the first search.
    void setVisible(bool visible) override;

protected:
    // "Change IP" (false) and "Help! My device wasn't found!" (true) land
    // here: the IP change for the selected device or for one the search did
    // not find, then RunSearch after a change.
    virtual void OpenIPChange(bool deviceNotFound);
    // A field of the selected row by column, including the adapter; empty
    // without a selected row.
    std::string SelectedColumnText(int column) const;
    void resizeEvent(QResizeEvent* event) override;

private:
    // What a search reports on the way: the adapter it is at and the devices
    // found there so far.
    struct TSearchProgress {
        std::string Adapter;
        int DevicesFound = 0;
    };
    struct TLimitReached {
        std::string Adapter;
    };
    using TSearchReport =
        std::variant<TSearchProgress, TXportSearch::TStatus, TXportPar, TLimitReached>;
    using TSearchTask = TWorkerTask<std::vector<TXportPar>, TSearchReport>;

    // Buttons, texts and sort column for showing; RunSearch follows.
    void FormShow();
    void ApplyButtonSet();
    void ApplyTexts();
    void EnableControls(bool enabled);
    void BBSearchClick();
    void BBChangeIPClick();
    void BBHelpDeviceNotFoundClick();
    void LvDeviceListColumnClick(int column);
    void LvDeviceListSelectItem(const QItemSelection& selected, const QItemSelection& deselected);
    void LvDeviceListDblClick();
    void LvDeviceListContextMenu(const QPoint& pos);
    void pmProductionMaskAllClick();
    void pmProductionMaskSensorsClick();

    void SearchReport(TSearchReport report);
    void SearchDone(TSearchTask::TOutcome outcome);
    void FillList(const std::vector<TXportPar>& devices);
    // Adds the rows read since the last call, in the order of the sort column.
    void FlushRows();
    void SelectDevice(const std::string& mac);
    void StartHint(TSearchOutcome outcome);
    void UpdateNote();
    void UpdateChangeIPForRow(int row);
    // Drops a running search without waiting for it: cancels it, restores
    // cursor and controls.
    void AbandonSearch();
    // Back from searching: progress, cursor and controls.
    void EndBusy();
    // The user's choices from ChoicesStore, and back (uXPortSearchGUIChoices.cpp).
    void RestoreChoices();
    void SaveChoices();
    // The list takes the room the button panel leaves at the bottom.
    void LayOutList();

    bool eventFilter(QObject* watched, QEvent* event) override;
    // The targets (uSearchTargetsGUI.cpp): the button, its dialog, and the
    // addresses of the next search (none, with a note, for a bad list).
    void AddTargetsButton();
    void AddTargetsMenuItem();
    void BBTargetsClick();
    std::vector<std::string> SearchTargets();
    QPushButton* btnTargets_ = nullptr;
    QString targetsProblem_;

    std::unique_ptr<Ui::TfXPortSearchGUI> ui_;
    QMenu* pmProductionMask_ = nullptr;
    TDeviceListActions* listActions_ = nullptr; // copy, save and the openers
    QLabel* labProgress_ = nullptr;             // progress of a running search
    QLabel* labNote_ = nullptr;                 // limit note and hint after a search
    QTimer* flushTimer_ = nullptr;
    TXPortSearchJobFactory factory_;

    bool productionOnly_ = false;
    int sortColumn_ = 0;
    int lastSortColumn_ = 0;
    int panelDesignHeight_ = 0;
    QSize designList_;
    devicelist::TDeviceListColumns* columns_ = nullptr;

    TSearchTask search_;
    TWorkerTask<std::string> hint_;
    // Rows read by the running search, not in the list yet.
    std::vector<TXportPar> pendingRows_;
    bool liveRows_ = false;           // the list holds the running search's rows
    std::string selectedBefore_;      // MAC selected when those replaced the list
    std::string progressAdapter_;     // as last reported
    std::vector<std::string> limits_; // adapters whose limit was reached
    QString hintText_;
    bool showSearch_ = false; // the running search is the one showing started
    std::optional<TBusyCursor> busy_;
    bool filling_ = false; // list rebuilt by the program, not by the user
    // The devices of the last search that succeeded, for the IP change.
    std::vector<TXportPar> lastDevices_;
    TSearchRefresh* refresh_ = nullptr; // "Refresh every N s"
};
