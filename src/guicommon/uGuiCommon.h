#pragma once
// What the windows share besides their jobs: how a text from a device or a
// file is shown, the application's error box and the busy cursor.

#include <QString>

#include <functional>
#include <string>

class QWidget;

// A text from a device or a settings file as the program reads it: UTF-8 when
// it is valid UTF-8, else byte by byte (the one rule of base/uDeviceText.h),
// so that no description turns into replacement characters. Line breaks stay
// (messages have them).
QString DisplayText(const std::string& bytes);

// A device text where it must stay one line (a table cell, the identity
// block): read by the same rule, its control characters shown as symbols so
// that none breaks or hides its line.
QString VisibleDisplayText(const std::string& bytes);

// The application's error box: a critical message box titled with the
// application's name and carrying the error's message.
void ShowErrorBox(QWidget* owner, const std::string& message);

// Tests: while a hook is set, ShowErrorBox hands it the message and shows no
// box. Returns the hook it replaces; an empty one shows the box again.
using TErrorBoxHook = std::function<void(const std::string& message)>;
TErrorBoxHook SetErrorBoxHook(TErrorBoxHook hook);

// The hourglass over the whole application while it lives. Nested ones
// stack: the cursor comes back when the last goes.
class TBusyCursor {
public:
    TBusyCursor();
    ~TBusyCursor();
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};
