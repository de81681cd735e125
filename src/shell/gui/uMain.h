#pragma once
// The program's main window: the IP address of the device the user works
// with, "..." to find and pick a device, and the picked device's identity.

#include "searchdialog/uXPortSearchGUI.h"

#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>

class QCloseEvent;

namespace Ui {
class TfMain;
}

class TfMain : public QWidget {
    Q_OBJECT

public:
    explicit TfMain(QWidget* owner = nullptr);
    ~TfMain() override;

    // Test seam: the search each dialog runs. Unset, the dialogs search with
    // the real engine.
    TXPortSearchJobFactory SearchJobFactory;
    // Where an error of a button's action goes. Unset: the application's
    // error box.
    std::function<void(const std::string& message)> OnError;

    // The line above, inside and below the device identity block.
    static const QString SeparatorLine;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void FormClose(QCloseEvent* event);
    void BtnSearchClick();
    void OpenSearchDialog();
    void ShowDeviceInfo(const TfXPortSearchGUI& dialog);
    void BtnCloseClick();
    void AddInfoLine(const QString& line);
    // The address in the field, kept for the next run.
    void RememberAddress();

    std::unique_ptr<Ui::TfMain> ui_;
    bool searching_ = false; // "..." is not re-entered while its dialog is up
};

// The search dialog's buttons as the settings file sets them: [Search]
// ButtonSet, an integer 0 to 255 (decimal, $hex or 0x hex). A missing file or
// key, or any other value, gives the empty set.
std::uint8_t SearchButtonSet(const std::string& iniFileName);
