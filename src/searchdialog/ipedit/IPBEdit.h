#pragma once
// One number field (0 to 255) of the IP address entry control.

#include <QClipboard>
#include <QLineEdit>
#include <QString>
#include <QStringView>

#include <functional>
#include <optional>

class TIPByteEdit;

// The control that holds byte fields and moves the focus between them.
class TIPByteEditOwner {
public:
    // Gives the neighbouring field of Sender the focus; nothing happens
    // beyond the first and the last field.
    virtual void MoveFocus(TIPByteEdit* Sender, bool Forward, bool SelectAll) = 0;

protected:
    ~TIPByteEditOwner() = default;
};

// An integer in the sense of the address control: one or more plain decimal
// digits, nothing else (no sign, no spaces, no hexadecimal prefix). Longer
// than nine digits is not an integer either, so the value always fits.
std::optional<int> IPParseInteger(QStringView Text);

// The warning sound of the address control (a clamped number, an unreadable
// field). Everything goes through this one function so that it can be replaced.
void IPWarningBeep();
// Replaces the warning sound; an empty function restores the system beep.
// Returns the previous one.
std::function<void()> SetIPWarningBeep(std::function<void()> Beep);

class TIPByteEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)

public:
    static constexpr int MaxChars = 3;
    // The horizontal margin a line edit keeps inside its text area.
    static constexpr int InnerMargin = 2;

    explicit TIPByteEdit(QWidget* Parent = nullptr);

    // Without an owner the field does no focus moves; it still clamps,
    // normalises and checks pastes.
    void SetOwner(TIPByteEditOwner* Owner) { owner_ = Owner; }
    TIPByteEditOwner* Owner() const { return owner_; }

    // The field's index in its owner (0 to 3).
    int Tag() const { return tag_; }
    void SetTag(int Tag) { tag_ = Tag; }

    // The field's number: its text as an integer, 0 when it is not one,
    // reduced to the lowest 8 bits.
    int Number() const;

    // Sets the text from the program (not typed): clamps like any change but
    // never moves the focus.
    void SetFieldText(const QString& Text);

    // Pastes the clipboard text only when the result is a number 0..255 of
    // at most three characters; otherwise nothing happens.
    void Paste(QClipboard::Mode Mode = QClipboard::Clipboard);

    // What leaving the field does: an unreadable text becomes 0 (with the
    // warning sound unless it was empty) and the number is shown without
    // leading zeros.
    void Normalise();

    // The caret the way the key rules see it: the start of the selection
    // when there is one.
    int CaretPos() const;

signals:
    // Raised after every change of the text, once it has been clamped.
    void Changed(TIPByteEdit* Sender);

protected:
    void keyPressEvent(QKeyEvent* Event) override;
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;
    void contextMenuEvent(QContextMenuEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    void TextChanged();

    TIPByteEditOwner* owner_ = nullptr;
    int tag_ = 0;
    bool setting_ = false;  // text written by the program, not typed
    bool clamping_ = false; // the clamp's own write, already handled
};
