#pragma once
// The search dialog's target list: addresses its search also asks by
// unicast, for devices behind a router. The list is edited in a small dialog
// of its own and remembered per user.

#include <QDialog>

#include <functional>
#include <optional>
#include <string>

class QLabel;
class QPlainTextEdit;

// Where the window keeps its target list (targets separated by blanks).
struct TSearchTargetsMemory {
    // The list saved last; nullopt when none was ever saved.
    std::function<std::optional<std::string>()> Read;
    // Saves the list; raises Exception when it cannot be stored.
    std::function<void(const std::string&)> Write;
};

// A list kept for the life of the memory only (no opener gave a store).
TSearchTargetsMemory SessionTargetsMemory();
// The per-user settings store under keyPath: group "Search", value
// "Targets". The store is opened at each use, so that a store that cannot be
// opened fails that use alone.
TSearchTargetsMemory UserStoreTargetsMemory(const std::string& keyPath);

// The list a window's search asks: the remembered one once one was saved
// (an empty one too), else the settings file's [Search] Targets.
std::string WindowTargetList(const TSearchTargetsMemory& memory, const std::string& settingsFile);

// Why a list cannot be searched ("" when it can): the first target refused,
// with its line when the text has several.
QString TargetListProblem(const QString& text);

// The dialog "Search targets": one target or more per line, checked on OK.
class TfSearchTargets : public QDialog {
    Q_OBJECT

public:
    explicit TfSearchTargets(QWidget* owner = nullptr);

    // Shows a list (targets separated by blanks or commas), one target a line.
    void SetList(const std::string& list);
    // The targets typed, separated by single spaces.
    std::string List() const;
    // The error shown after an OK that was refused; empty otherwise.
    QString Problem() const;

public slots:
    // Closes only with a list that can be searched.
    void accept() override;

private:
    QPlainTextEdit* edit_ = nullptr;
    QLabel* labProblem_ = nullptr;
};
