#pragma once
// What a technician does with the search dialog's list besides picking a
// device: copy rows (Ctrl+C), save the whole list as CSV or JSON (Ctrl+S),
// copy a device's IP or MAC address, open its web page or its configuration
// console. The items join the list's context menu after its filter entries.

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device/uXPortReplies.h"

class QAction;
class QMenu;
class QPoint;
class QTableWidget;
class QWidget;

class TDeviceListActions final : public QObject {
    Q_OBJECT

public:
    // The actions work on the list's rows and live with owner; their
    // shortcuts act in owner's window.
    TDeviceListActions(QWidget* owner, QTableWidget* list, QMenu* menu);

    // True while the list is being refilled (a search runs): nothing is
    // saved or opened then.
    std::function<bool()> Busy;
    // The settings file the list was searched with ([Device] TelnetPort).
    std::function<std::string()> SettingsFile;

    // Settles the items for the row at pos in the list's viewport: that row
    // is selected and the device items act on it; with no row there they
    // are disabled.
    void PrepareMenu(const QPoint& pos);

    // The rows as shown, top to bottom; only the selected ones.
    std::vector<TXportPar> Rows() const;
    std::vector<TXportPar> SelectedRows() const;

    void CopySelectedRows();
    void SaveList();
    // Writes the whole list; the form follows the file's suffix (.json or
    // .csv), else the chosen filter. A failure is shown in the error box.
    bool SaveListTo(const QString& fileName, const QString& selectedFilter = {});
    void CopyIP();
    void CopyMAC();
    void OpenWebPage();
    void OpenTelnetConsole();

    // Tests: while set, replaces the save dialog. Gets the suggested file
    // and the filters; returns the file ("" for cancel) and may set the
    // chosen filter. Returns the hook it replaces.
    using TSaveDialogHook = std::function<QString(const QString& suggested, const QString& filters,
                                                  QString* selectedFilter)>;
    static TSaveDialogHook SetSaveDialogHook(TSaveDialogHook hook);

    static QString CsvFilter();
    static QString JsonFilter();

private:
    // The device of the first selected row.
    std::optional<TXportPar> Selected() const;
    bool eventFilter(QObject* watched, QEvent* event) override;

    QWidget* owner_;
    QTableWidget* list_;
    QAction* copyRows_;
    QAction* saveList_;
    QAction* copyIP_;
    QAction* copyMAC_;
    QAction* openWeb_;
    QAction* openTelnet_;
};
