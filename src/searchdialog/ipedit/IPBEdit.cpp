#include "searchdialog/ipedit/IPBEdit.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPalette>
#include <QValidator>

#include <algorithm>
#include <utility>

namespace {

std::function<void()>& BeepHook() {
    static std::function<void()> hook;
    return hook;
}

bool AllDigits(QStringView Text) {
    return std::all_of(Text.begin(), Text.end(),
                       [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

// Lets no typed, dropped or composed character other than a digit in; the
// program's own writes bypass it and are clamped instead.
class TDigitsValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& Input, int& /*Pos*/) const override {
        return AllDigits(Input) ? Acceptable : Invalid;
    }
};

} // namespace

std::optional<int> IPParseInteger(QStringView Text) {
    if (Text.isEmpty() || Text.size() > 9 || !AllDigits(Text))
        return std::nullopt;
    int value = 0;
    for (QChar c : Text)
        value = value * 10 + (c.unicode() - '0');
    return value;
}

void IPWarningBeep() {
    if (const auto& hook = BeepHook())
        hook();
    else
        QApplication::beep();
}

std::function<void()> SetIPWarningBeep(std::function<void()> Beep) {
    return std::exchange(BeepHook(), std::move(Beep));
}

TIPByteEdit::TIPByteEdit(QWidget* Parent) : QLineEdit(Parent) {
    setFrame(false);
    // The field shows its parent's colour: the parent paints it, and an
    // opaque field would cover the parent's frame where they meet.
    QPalette pal = palette();
    pal.setBrush(QPalette::Base, Qt::transparent);
    setPalette(pal);
    // Three digits must fit a field three digit widths wide, as in the
    // platform's own edit; the line edit's inner margins would scroll them.
    setTextMargins(-InnerMargin, 0, -InnerMargin, 0);
    setMaxLength(MaxChars);
    setValidator(new TDigitsValidator(this));
    setInputMethodHints(Qt::ImhDigitsOnly);
    setFocusPolicy(Qt::ClickFocus);
    setAcceptDrops(false);
    setAlignment(Qt::AlignCenter);
    setText(QStringLiteral("0"));
    connect(this, &QLineEdit::textChanged, this, &TIPByteEdit::TextChanged);
}

int TIPByteEdit::Number() const {
    return IPParseInteger(text()).value_or(0) & 0xFF;
}

int TIPByteEdit::CaretPos() const {
    return hasSelectedText() ? selectionStart() : cursorPosition();
}

void TIPByteEdit::SetFieldText(const QString& Text) {
    const bool was = std::exchange(setting_, true);
    setText(Text);
    setting_ = was;
}

void TIPByteEdit::TextChanged() {
    if (clamping_)
        return;
    if (const auto number = IPParseInteger(text()); number && *number > 255) {
        const int caret = cursorPosition();
        clamping_ = true;
        setText(QStringLiteral("255"));
        clamping_ = false;
        setCursorPosition(std::min(caret, MaxChars));
        IPWarningBeep();
    }
    // A full field moves on, but only while the user types into it: a write
    // from the program must not pull the focus away from where it is.
    if (owner_ && !setting_ && hasFocus() && CaretPos() == MaxChars)
        owner_->MoveFocus(this, true, true);
    emit Changed(this);
}

void TIPByteEdit::Paste(QClipboard::Mode Mode) {
    if (isReadOnly())
        return;
    const QString clip = QGuiApplication::clipboard()->text(Mode);
    // The result holds the whole clipboard text, so a longer one can never
    // fit; checking first keeps huge texts out of the string work below.
    if (clip.isEmpty() || clip.size() > MaxChars)
        return;
    const QString old = text();
    const int start = CaretPos();
    const int removed = hasSelectedText() ? selectedText().size() : 0;
    const QString result = old.left(start) + clip + old.mid(start + removed);
    const auto number = IPParseInteger(result);
    if (result.size() > MaxChars || !number || *number > 255)
        return;
    insert(clip);
}

void TIPByteEdit::Normalise() {
    const QString old = text();
    const auto number = IPParseInteger(old);
    if (!number && !old.isEmpty())
        IPWarningBeep();
    SetFieldText(QString::number(std::min(number.value_or(0), 255)));
}

void TIPByteEdit::keyPressEvent(QKeyEvent* Event) {
    const int key = Event->key();
    const Qt::KeyboardModifiers mods = Event->modifiers() & ~Qt::KeypadModifier;

    // Up and Down are Left and Right in every respect.
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
        QKeyEvent mapped(Event->type(), key == Qt::Key_Up ? Qt::Key_Left : Qt::Key_Right,
                         Event->modifiers(), QString(), Event->isAutoRepeat(),
                         static_cast<quint16>(Event->count()));
        keyPressEvent(&mapped);
        Event->setAccepted(mapped.isAccepted());
        return;
    }

    if (Event->matches(QKeySequence::Paste)) {
        Paste();
        Event->accept();
        return;
    }

    if (owner_) {
        if (key == Qt::Key_Left || key == Qt::Key_Right) {
            const bool forward = key == Qt::Key_Right;
            if ((mods & Qt::ControlModifier) && !(mods & Qt::AltModifier)) {
                owner_->MoveFocus(this, forward, true);
                Event->accept();
                return;
            }
            const bool atEdge = forward ? CaretPos() == text().size() : CaretPos() == 0;
            if (mods == Qt::NoModifier && atEdge) {
                owner_->MoveFocus(this, forward, false);
                Event->accept();
                return;
            }
        } else if (key == Qt::Key_Backspace && CaretPos() == 0 && !hasSelectedText()) {
            owner_->MoveFocus(this, false, false);
            Event->accept();
            return;
        }
    }

    if (Event->text() == QLatin1String(".")) {
        if (owner_)
            owner_->MoveFocus(this, true, true);
        Event->accept();
        return;
    }

    // Enter never reaches the text; the line edit passes it on to the window
    // (a dialog's default button), and Esc likewise.
    QLineEdit::keyPressEvent(Event);
}

void TIPByteEdit::focusInEvent(QFocusEvent* Event) {
    QLineEdit::focusInEvent(Event);
    // A popup menu of the field itself closing is no new arrival.
    if (Event->reason() != Qt::MouseFocusReason && Event->reason() != Qt::PopupFocusReason)
        selectAll();
}

void TIPByteEdit::focusOutEvent(QFocusEvent* Event) {
    // The field's own context menu takes the focus for a moment; the user
    // is still editing then.
    if (Event->reason() != Qt::PopupFocusReason)
        Normalise();
    QLineEdit::focusOutEvent(Event);
}

void TIPByteEdit::contextMenuEvent(QContextMenuEvent* Event) {
    QMenu* menu = createStandardContextMenu();
    if (!menu)
        return;
    // The standard Paste would insert anything that passes the digit filter;
    // route it through the same check as the keyboard's paste. The action is
    // known by its connection to paste(), whichever way it was made.
    for (QAction* action : menu->actions()) {
        if (disconnect(action, &QAction::triggered, this, &QLineEdit::paste) ||
            disconnect(action, SIGNAL(triggered()), this, SLOT(paste()))) {
            connect(action, &QAction::triggered, this, [this] { Paste(); });
            break;
        }
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(Event->globalPos());
}

void TIPByteEdit::mouseReleaseEvent(QMouseEvent* Event) {
    // The middle button pastes the selection on X11; check it like any paste.
    if (Event->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
        if (rect().contains(Event->position().toPoint()))
            Paste(QClipboard::Selection);
        Event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(Event);
}
