#pragma once
// The modal dialog that gives one device a new IP address: the user edits the
// address (or ticks DHCP), may choose the ARP-table way, and presses Change.
// The dialog drives one IP change engine, shows the outcome in a message box
// and closes: OK after a successful change, Cancel otherwise.
//
// The engine (a ping of up to three seconds, commands, sends) runs on a
// worker thread so that the windows keep painting; meanwhile the dialog shows
// the hourglass cursor and takes no input. A dialog destroyed meanwhile does
// not wait: the engine ends its bounded work on the worker.

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "guicommon/uGuiCommon.h"
#include "guicommon/uWorkerTask.h"
#include "ipchange/gui/uXPortIPChangeGUIStrings.h"
#include "ipchange/uXPortIPChange.h"

namespace Ui {
class TfXPortIPChangeGUI;
}

// Makes the engine for one press of Change.
using TXPortIPChangeEngineFactory = std::function<std::unique_ptr<TXPortIPChange>()>;

// The factory of dialogs created without one (such as those the search dialog
// opens). Initially the engine with the system's services. Returns the
// factory it replaces; an empty one restores the system's.
TXPortIPChangeEngineFactory SetDefaultIPChangeEngineFactory(TXPortIPChangeEngineFactory factory);

// Waits the given time. With a message pump installed and more than 10 ms to
// wait, it sleeps in steps of 10 ms and runs the pump after each, so that
// windows keep painting; otherwise it sleeps once for the whole time.
void WaitWithMessages(int milliseconds);
// The one pump of the program; an empty function removes it.
void SetMessagePump(std::function<void()> pump);
bool MessagePumpInstalled();

class TfXPortIPChangeGUI : public QDialog {
    Q_OBJECT

public:
    // Modal results.
    static constexpr int mrOk = 1;
    static constexpr int mrCancel = 2;

    // Without a factory the dialog takes the default one at creation.
    explicit TfXPortIPChangeGUI(QWidget* owner = nullptr, TXPortIPChangeEngineFactory factory = {});
    ~TfXPortIPChangeGUI() override;

    // Set by the opener before showing.
    std::string DeviceIP = "0.0.0.0";
    std::string DeviceMAC = "00-00-00-00-00-00";
    std::string AdapterIP;
    bool DeviceNotFound = false;
    // The devices of the opener's last search (all of them, whatever its
    // list shows). Before an IP-SETUP request the dialog asks when another
    // of them would take the address too, as it shares the last two MAC
    // octets that the request names the device by.
    std::vector<TXportPar> KnownDevices;

    // Replaces all twelve texts, empty ones included (an empty message
    // leaves the engine's own text in force).
    void SetLanguage(const TXPortIPChangeLangSupport& texts);
    const TXPortIPChangeLangSupport& Texts() const { return texts_; }
    // The IP text remembered while DHCP is ticked.
    const std::string& SavedIP() const { return savedIP_; }

    // True from Change until the outcome has been shown.
    bool Changing() const { return changing_; }

signals:
    // The engine has finished (before the wait and the message box).
    void ChangeFinished(bool ok, int code);

public slots:
    // Cancel, Esc and closing the window; ignored while a change runs.
    void reject() override;

public:
    // Showing runs FormShow.
    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // What one press of Change came to.
    struct TChangeOutcome {
        bool Ok = false;
        std::string Message;
        // Why it failed, where the message alone leaves the user stuck.
        std::string Cause;
        int Code = IPChangeFailed;
    };
    using TChangeTask = TWorkerTask<TChangeOutcome>;

    void FormShow();
    void ApplyTexts();
    void ChbDHCPClick();
    void BBChangeClick();
    // Whether to go on with an IP-SETUP request for the typed MAC: true
    // unless another known device shares its suffix and the user says No.
    bool ConfirmSharedMacSuffix();
    void DoChange();
    // The engine's outcome, back on the UI thread.
    void ChangeDone(const TChangeOutcome& outcome);
    void ShowOutcome(const std::string& message, const std::string& cause, int code);
    void EnableInput(bool enabled);

    std::unique_ptr<Ui::TfXPortIPChangeGUI> ui_;
    TXPortIPChangeEngineFactory factory_;
    TXPortIPChangeLangSupport texts_;
    std::string savedIP_ = "0.0.0.0";

    TChangeTask change_;
    bool changing_ = false;
    bool asking_ = false; // the shared-suffix question is up
    std::optional<TBusyCursor> busy_;
};
