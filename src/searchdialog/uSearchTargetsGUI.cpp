#include "searchdialog/uSearchTargetsGUI.h"

#include "base/uErrors.h"
#include "guicommon/uGuiCommon.h"
#include "platform/UserSettingsStore.h"
#include "search/uSearchTargets.h"
#include "searchdialog/uXPortSearchGUI.h"
#include "ui_uXPortSearchGUI.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace {

const char* const TargetsGroup = "Search";
const char* const TargetsValue = "Targets";

std::string Joined(const std::vector<std::string>& targets, const char* separator) {
    std::string text;
    for (const std::string& target : targets)
        text += (text.empty() ? "" : separator) + target;
    return text;
}

} // namespace

TSearchTargetsMemory SessionTargetsMemory() {
    auto kept = std::make_shared<std::optional<std::string>>();
    return {[kept] { return *kept; }, [kept](const std::string& list) { *kept = list; }};
}

TSearchTargetsMemory UserStoreTargetsMemory(const std::string& keyPath) {
    return {[keyPath]() -> std::optional<std::string> {
                try {
                    return platform::TUserSettingsStore::OpenOrCreate(keyPath)->ReadString(
                        TargetsGroup, TargetsValue);
                } catch (const Exception&) {
                    return std::nullopt; // unreadable: as if never saved
                }
            },
            [keyPath](const std::string& list) {
                platform::TUserSettingsStore::OpenOrCreate(keyPath)->WriteString(
                    TargetsGroup, TargetsValue, list);
            }};
}

std::string WindowTargetList(const TSearchTargetsMemory& memory, const std::string& settingsFile) {
    if (memory.Read)
        if (const std::optional<std::string> saved = memory.Read())
            return *saved;
    return Joined(SettingsFileTargets(settingsFile), " ");
}

QString TargetListProblem(const QString& text) {
    const QStringList lines = text.split(QLatin1Char('\n'));
    std::vector<std::string> all;
    for (int i = 0; i < lines.size(); ++i) {
        const std::vector<std::string> targets = SplitTargetList(lines[i].toStdString());
        try {
            ExpandTargets(targets);
        } catch (const Exception& e) {
            const QString message = QString::fromStdString(e.Message());
            return lines.size() > 1 ? TfSearchTargets::tr("Line %1: %2").arg(i + 1).arg(message)
                                    : message;
        }
        all.insert(all.end(), targets.begin(), targets.end());
    }
    try {
        ExpandTargets(all); // the bound is one of all lines together
    } catch (const Exception& e) {
        return QString::fromStdString(e.Message());
    }
    return {};
}

TfSearchTargets::TfSearchTargets(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("TfSearchTargets"));
    setWindowTitle(tr("Search targets"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(
        tr("Devices behind a router do not hear the search's broadcast. Give their addresses, "
           "one or more per line, and the search also asks them one by one:\n"
           "an address (10.30.1.7), a range (10.20.0.10-10.20.0.40) or a network up to /22 "
           "(10.20.0.0/24), at most 4096 addresses."),
        this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    edit_ = new QPlainTextEdit(this);
    edit_->setObjectName(QStringLiteral("MeTargets"));
    edit_->setTabChangesFocus(true);
    layout->addWidget(edit_);
    labProblem_ = new QLabel(this);
    labProblem_->setObjectName(QStringLiteral("LabProblem"));
    labProblem_->setWordWrap(true);
    QPalette palette = labProblem_->palette();
    palette.setColor(QPalette::WindowText, Qt::darkRed);
    labProblem_->setPalette(palette);
    labProblem_->hide();
    layout->addWidget(labProblem_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TfSearchTargets::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TfSearchTargets::reject);
    layout->addWidget(buttons);
    resize(440, 300);
}

void TfSearchTargets::SetList(const std::string& list) {
    edit_->setPlainText(QString::fromStdString(Joined(SplitTargetList(list), "\n")));
}

std::string TfSearchTargets::List() const {
    return Joined(SplitTargetList(edit_->toPlainText().toStdString()), " ");
}

QString TfSearchTargets::Problem() const {
    return labProblem_->isHidden() ? QString() : labProblem_->text();
}

void TfSearchTargets::accept() {
    const QString problem = TargetListProblem(edit_->toPlainText());
    labProblem_->setText(problem);
    labProblem_->setVisible(!problem.isEmpty());
    if (problem.isEmpty())
        QDialog::accept();
}

// ---- the search dialog's side --------------------------------------------------

void TfXPortSearchGUI::AddTargetsButton() {
    TargetsMemory = SessionTargetsMemory();
    btnTargets_ = new QPushButton(tr("Targets..."), ui_->PnlButtons);
    btnTargets_->setObjectName(QStringLiteral("BBTargets"));
    btnTargets_->setToolTip(tr("Addresses the search also asks by unicast (devices behind a "
                               "router)"));
    btnTargets_->setGeometry(352, 40, 75, 25);
    // After the list in the tab order: the panel's own buttons keep theirs.
    setTabOrder(ui_->LvDeviceList, btnTargets_);
    connect(btnTargets_, &QPushButton::clicked, this, [this] { BBTargetsClick(); });
}

void TfXPortSearchGUI::AddTargetsMenuItem() {
    // Also where the button is not (a dialog with one row of buttons).
    pmProductionMask_->addSeparator();
    QAction* targets = pmProductionMask_->addAction(tr("Targets..."));
    targets->setObjectName(QStringLiteral("pmTargets"));
    connect(targets, &QAction::triggered, this, [this] {
        if (!search_.Running())
            BBTargetsClick();
    });
}

void TfXPortSearchGUI::BBTargetsClick() {
    TfSearchTargets edit(this);
    std::string list;
    try {
        list = WindowTargetList(TargetsMemory, SettingsFileName);
    } catch (const std::exception& e) {
        ShowErrorBox(this, e.what());
    }
    edit.SetList(list);
    if (edit.exec() != QDialog::Accepted)
        return;
    try {
        if (TargetsMemory.Write)
            TargetsMemory.Write(edit.List());
    } catch (const std::exception& e) {
        ShowErrorBox(this, e.what());
        return;
    }
    RunSearch();
}

std::vector<std::string> TfXPortSearchGUI::SearchTargets() {
    targetsProblem_.clear();
    try {
        return ExpandTargets(SplitTargetList(WindowTargetList(TargetsMemory, SettingsFileName)));
    } catch (const std::exception& e) {
        // The broadcasts still go out; the strip says why the targets did not.
        targetsProblem_ = tr("Targets not searched: %1").arg(QString::fromStdString(e.what()));
        return {};
    }
}
