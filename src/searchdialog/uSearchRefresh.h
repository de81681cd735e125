#pragma once
// The search dialog's "Refresh every N s" choice: while it is on, the dialog
// searches again N seconds after each search ends, so that a technician sees
// devices come and go without pressing Search.
//
// - Off by default; the choice is a combo box in the button panel, in the
//   first free place of the Help button's column (first row, else second).
//   With both rows full it is not offered.
// - The wait starts when a search ends, so searches never overlap; a search
//   the user starts meanwhile is waited for. While another modal window (the
//   IP change, an error box) is open the refresh waits for it.
// - The device selected before a refresh stays selected (by MAC) when it is
//   still listed.
// - A failed search, closing the dialog or choosing "off" ends the
//   refreshing (the choice goes back to off).

#include <QObject>

#include <array>
#include <functional>
#include <string>

class QComboBox;
class QFrame;
class QTimer;
class QWidget;

class TSearchRefresh : public QObject {
    Q_OBJECT

public:
    // Seconds offered after "off".
    static constexpr std::array<int, 4> Intervals = {5, 10, 30, 60};
    // A refresh that finds the dialog busy looks again this much later.
    static constexpr int RetryMs = 1000;

    // What the refresh needs of its dialog.
    struct THooks {
        std::function<void()> RunSearch;
        std::function<bool()> Searching;
        std::function<std::string()> SelectedMAC;
        std::function<void(const std::string& mac)> SelectMAC;
    };

    // The combo box is made here, a child of the dialog's button panel.
    TSearchRefresh(QWidget* dialog, QFrame* panel, THooks hooks);

    // Puts the choice into the panel's free place (after the buttons have
    // been shown or hidden).
    void Place();
    // The dialog's search has ended, and whether it succeeded.
    void SearchEnded(bool succeeded);

    int IntervalSeconds() const;          // 0: off
    void SetIntervalSeconds(int seconds); // one of Intervals, else off
    bool Waiting() const;                 // a refresh is due
    QComboBox* Choice() const { return choice_; }

    // Length of the choice's "second" (tests shorten it).
    int MillisecondsPerSecond = 1000;

    // The texts of the choice, "off" first.
    static QString OffText();
    static QString IntervalText(int seconds);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Due();
    void Arm(int ms);

    QWidget* dialog_;
    QFrame* panel_;
    THooks hooks_;
    QComboBox* choice_;
    QTimer* timer_;
    bool refreshing_ = false; // the running search is a refresh
    std::string keepMAC_;     // selected when it started
};
