#include "ipchange/gui/uXPortIPChangeGUI.h"

#include "ipchange/uXPortIPChangeRecord.h"
#include "ipchange/uXPortIPChangeStrings.h"
#include "ui_uXPortIPChangeGUI.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <mutex>
#include <utility>

// ---------------------------------------------------------------------------
// Engine factory and the message pump
// ---------------------------------------------------------------------------

namespace {

std::unique_ptr<TXPortIPChange> NewSystemEngine() {
    auto engine = std::make_unique<TXPortIPChange>();
    engine->RecordFile = DefaultChangeRecordFile();
    return engine;
}

std::mutex& FactoryLock() {
    static std::mutex lock;
    return lock;
}

TXPortIPChangeEngineFactory& DefaultFactory() {
    static TXPortIPChangeEngineFactory factory = &NewSystemEngine;
    return factory;
}

std::function<void()>& PumpSlot() {
    static std::function<void()> pump;
    return pump;
}

} // namespace

TXPortIPChangeEngineFactory SetDefaultIPChangeEngineFactory(TXPortIPChangeEngineFactory factory) {
    std::lock_guard<std::mutex> guard(FactoryLock());
    TXPortIPChangeEngineFactory previous = std::move(DefaultFactory());
    DefaultFactory() = factory ? std::move(factory) : TXPortIPChangeEngineFactory(&NewSystemEngine);
    return previous;
}

void SetMessagePump(std::function<void()> pump) {
    PumpSlot() = std::move(pump);
}

bool MessagePumpInstalled() {
    return static_cast<bool>(PumpSlot());
}

void WaitWithMessages(int milliseconds) {
    if (milliseconds <= 0) {
        return;
    }
    if (milliseconds <= 10 || !PumpSlot()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return;
    }
    int elapsed = 0;
    do {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        elapsed += 10;
        // A copy: the pump may replace the slot while it runs.
        const std::function<void()> pump = PumpSlot();
        if (pump) {
            pump();
        }
    } while (elapsed < milliseconds);
}

// ---------------------------------------------------------------------------
// The dialog
// ---------------------------------------------------------------------------

TfXPortIPChangeGUI::TfXPortIPChangeGUI(QWidget* owner, TXPortIPChangeEngineFactory factory)
    : QDialog(owner), ui_(std::make_unique<Ui::TfXPortIPChangeGUI>()) {
    if (factory) {
        factory_ = std::move(factory);
    } else {
        std::lock_guard<std::mutex> guard(FactoryLock());
        factory_ = DefaultFactory();
    }
    ui_->setupUi(this);
    // Fixed border, no title-bar buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(ui_->PnlBackground->size());

    // FormCreate
    DeviceIP = "0.0.0.0";
    DeviceMAC = "00-00-00-00-00-00";
    texts_ = LoadXPortIPChangeLangSupport();
    savedIP_ = "0.0.0.0";
    DeviceNotFound = false;

    connect(ui_->ChbDHCP, &QCheckBox::toggled, this, [this] { ChbDHCPClick(); });
    connect(ui_->BBChange, &QPushButton::clicked, this, [this] { BBChangeClick(); });
    connect(ui_->BBCancel, &QPushButton::clicked, this, [this] { reject(); });
}

TfXPortIPChangeGUI::~TfXPortIPChangeGUI() = default;

void TfXPortIPChangeGUI::SetLanguage(const TXPortIPChangeLangSupport& texts) {
    texts_ = texts;
}

void TfXPortIPChangeGUI::setVisible(bool visible) {
    if (visible && !isVisible()) {
        FormShow();
    }
    QDialog::setVisible(visible);
}

void TfXPortIPChangeGUI::reject() {
    // The change is under way; its outcome closes the dialog.
    if (changing_) {
        return;
    }
    done(mrCancel);
}

void TfXPortIPChangeGUI::closeEvent(QCloseEvent* event) {
    if (changing_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TfXPortIPChangeGUI::FormShow() {
    ApplyTexts();
    ui_->IPEdtAddress->SetText(QString::fromStdString(DeviceIP));
    ui_->EdtMac->setText(QString::fromStdString(DeviceMAC));
    // The ARP-table way needs the one adapter the device was found through.
    ui_->ChBARPOnly->setVisible(!DeviceNotFound);
    ui_->ChbDHCP->setVisible(true);
    ui_->IPEdtAddress->setFocus();
}

void TfXPortIPChangeGUI::ApplyTexts() {
    const auto text = [this](std::size_t entry) {
        return QString::fromStdString(texts_[entry - 1]);
    };
    setWindowTitle(text(1));
    ui_->BBChange->setText(text(2));
    ui_->BBCancel->setText(text(3));
    ui_->LabIPAddress->setText(text(4));
    ui_->LabMacAddress->setText(text(5));
    ui_->ChBARPOnly->setText(text(6));
}

void TfXPortIPChangeGUI::ChbDHCPClick() {
    const bool dhcp = ui_->ChbDHCP->isChecked();
    if (dhcp) {
        // DHCP is asked for with the address 0.0.0.0, which only the
        // IP-SETUP way can send.
        savedIP_ = ui_->IPEdtAddress->Text().toStdString();
        ui_->IPEdtAddress->SetText(QStringLiteral("0.0.0.0"));
        ui_->ChBARPOnly->setChecked(false);
    } else {
        ui_->IPEdtAddress->SetText(QString::fromStdString(savedIP_));
    }
    ui_->IPEdtAddress->setEnabled(!dhcp);
    ui_->ChBARPOnly->setEnabled(!dhcp);
}

void TfXPortIPChangeGUI::BBChangeClick() {
    if (changing_ || asking_) {
        return;
    }
    // On No nothing is sent and the dialog stays: the user may correct the
    // MAC or cancel.
    if (!ConfirmSharedMacSuffix()) {
        return;
    }
    DoChange();
}

bool TfXPortIPChangeGUI::ConfirmSharedMacSuffix() {
    // The ARP-table way reaches the device by its whole MAC.
    if (ui_->ChBARPOnly->isChecked()) {
        return true;
    }
    const std::string mac = ui_->EdtMac->text().toStdString();
    // The request goes through the device's adapter, or through every one
    // for a device that wasn't found.
    const std::vector<TXportPar> others =
        DevicesSharingMacSuffix(KnownDevices, mac, DeviceNotFound ? std::string() : AdapterIP);
    if (others.empty()) {
        return true;
    }
    constexpr std::size_t Listed = 3;
    const QString suffix = QString::fromStdString(HyphenMac(mac).substr(12));
    QStringList lines;
    lines
        << (others.size() == 1 ? SharedMacSuffixOneText() : SharedMacSuffixManyText()).arg(suffix);
    for (std::size_t i = 0; i < others.size() && i < Listed; ++i) {
        lines << QString::fromStdString(others[i].IP + " (" + others[i].MAC + ")");
    }
    if (others.size() > Listed) {
        lines << SharedMacSuffixMoreText().arg(others.size() - Listed);
    }
    lines << QString() << SharedMacSuffixQuestionText();

    asking_ = true;
    const QPointer<TfXPortIPChangeGUI> self(this);
    // On the heap, as the outcome box: it goes with the dialog.
    const QPointer<QMessageBox> box =
        new QMessageBox(QMessageBox::Question, SharedMacSuffixCaption(),
                        lines.join(QLatin1Char('\n')), QMessageBox::Yes | QMessageBox::No, this);
    box->setObjectName(QStringLiteral("SharedMacSuffixQuestion"));
    box->setTextFormat(Qt::PlainText);
    box->setDefaultButton(QMessageBox::No);
    box->setEscapeButton(QMessageBox::No);
    const int answer = box->exec();
    delete box.data();
    if (!self) {
        return false;
    }
    asking_ = false;
    return answer == QMessageBox::Yes;
}

void TfXPortIPChangeGUI::DoChange() {
    // Every press of Change ends the dialog; there is no second attempt.
    if (changing_) {
        return;
    }
    changing_ = true;
    std::shared_ptr<TXPortIPChange> engine;
    try {
        engine = factory_ ? factory_() : nullptr;
    } catch (...) {
        engine.reset();
    }
    // Instead of hiding (which would end a modal dialog at once and hand
    // the input back to the window below), the dialog stays in sight and
    // takes no input until the outcome is shown.
    EnableInput(false);
    if (!engine) {
        // Without an engine nothing was done: the change error, shown like
        // any other outcome.
        TChangeOutcome outcome;
        outcome.Message =
            texts_[8].empty() ? std::string(IPChangeStrings::SIPChangeError) : texts_[8];
        QTimer::singleShot(0, this, [this, outcome] { ChangeDone(outcome); });
        return;
    }

    TXPortIPChangeMsgLngSupport messages;
    for (std::size_t i = 0; i < messages.Texts.size(); ++i) {
        messages.Texts[i] = texts_[6 + i];
    }
    engine->SetMessages(messages);
    DeviceMAC = ui_->EdtMac->text().toStdString();
    DeviceIP = ui_->IPEdtAddress->Text().toStdString();
    busy_.emplace();
    engine->AllAdapters = DeviceNotFound;
    engine->ArpOnly = ui_->ChBARPOnly->isChecked();
    if (!DeviceNotFound) {
        const std::string mac = HyphenMac(DeviceMAC);
        for (const TXportPar& known : KnownDevices) {
            if (!mac.empty() && HyphenMac(known.MAC) == mac) {
                engine->OldIP = known.IP;
                break;
            }
        }
    }
    // The engine absorbs its failures; what it throws all the same is the
    // change error.
    const std::string failed = engine->MessageText(3);
    change_.Start(
        [engine, mac = DeviceMAC, ip = DeviceIP, adapter = AdapterIP,
         failed](TChangeTask::TControl&) {
            TChangeOutcome outcome;
            outcome.Message = failed;
            outcome.Ok = engine->ChangeIP(mac, ip, adapter, outcome.Message, outcome.Code);
            outcome.Cause = engine->Cause();
            return outcome;
        },
        {.OnDone = [this, failed](TChangeTask::TOutcome outcome) {
            if (!outcome.Value) {
                outcome.Value.emplace();
                outcome.Value->Message = failed;
            }
            ChangeDone(*outcome.Value);
        }});
}

void TfXPortIPChangeGUI::ChangeDone(const TChangeOutcome& outcome) {
    const QPointer<TfXPortIPChangeGUI> self(this);
    emit ChangeFinished(outcome.Ok, outcome.Code);
    if (!self) {
        return;
    }
    if (outcome.Ok) {
        setResult(mrOk);
        // Gives the device time to take its new address before the opener
        // searches again, while the windows keep painting.
        if (!MessagePumpInstalled()) {
            SetMessagePump([] { QCoreApplication::processEvents(); });
        }
        WaitWithMessages(1000);
        if (!self) {
            return;
        }
    } else {
        setResult(mrCancel);
    }
    busy_.reset();
    ShowOutcome(outcome.Message, outcome.Cause, outcome.Code);
    if (!self) {
        return;
    }
    changing_ = false;
    done(result());
}

void TfXPortIPChangeGUI::ShowOutcome(const std::string& message, const std::string& cause,
                                     int code) {
    QMessageBox::Icon icon = QMessageBox::Critical;
    QString caption = IPChangeErrorCaption();
    if (code == IPChangeTemporary) {
        icon = QMessageBox::Warning;
        caption = IPChangeWarningCaption();
    } else if (code == IPChangeRequestSent) {
        icon = QMessageBox::Information;
        caption = IPChangeInformationCaption();
    }
    // The texts break their lines with CR LF; one line break each on screen.
    QString text = QString::fromStdString(message);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // The message stays the first line; the cause follows on its own.
    if (!cause.empty()) {
        text += QLatin1Char('\n') + IPChangeEngineText(cause);
    }
    // On the heap: were the dialog released while the box is up, the box
    // would go with it.
    const QPointer<QMessageBox> box = new QMessageBox(icon, caption, text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("IPChangeOutcome"));
    box->setTextFormat(Qt::PlainText);
    box->exec();
    delete box.data();
}

void TfXPortIPChangeGUI::EnableInput(bool enabled) {
    ui_->PnlMain->setEnabled(enabled);
    ui_->PnlButtons->setEnabled(enabled);
}
