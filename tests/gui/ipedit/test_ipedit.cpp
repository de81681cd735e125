// Keyboard, clipboard and layout behaviour of the IP address entry control.

#include "searchdialog/IPBEdit.h"
#include "searchdialog/IPEdit.h"
#include "ui_IPEditForm.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <climits>
#include <memory>

namespace {

int beeps = 0;

QWidget* FocusWidget() {
    return QApplication::focusWidget();
}

// Types the text into whatever has the focus, one key at a time, so that
// focus moves between the keys take effect as they would for a user.
void Type(const QString& Keys) {
    for (QChar c : Keys)
        QTest::keyClick(FocusWidget(), c.toLatin1());
}

void Press(Qt::Key Key, Qt::KeyboardModifiers Mods = Qt::NoModifier) {
    QTest::keyClick(FocusWidget(), Key, Mods);
}

} // namespace

class TestIPEdit : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QWidget> window_;
    QLineEdit* before_ = nullptr;
    TIPEdit* ipe_ = nullptr;
    QLineEdit* after_ = nullptr;

    TIPByteEdit* F(int i) const { return ipe_->Field(i); }
    int FocusedField() const {
        for (int i = 0; i < TIPEdit::FieldCount; ++i)
            if (F(i)->hasFocus())
                return i;
        return -1;
    }
    // Puts the caret into field i: at Caret, or with the whole text
    // selected when Caret is -1.
    void Enter(int i, const QString& Text, int Caret) {
        F(i)->SetFieldText(Text);
        F(i)->setFocus(Qt::OtherFocusReason);
        QVERIFY(F(i)->hasFocus());
        if (Caret < 0) {
            F(i)->selectAll();
        } else {
            F(i)->deselect();
            F(i)->setCursorPosition(Caret);
        }
    }

private slots:
    void initTestCase() {
        SetIPWarningBeep([] { ++beeps; });
    }

    void init() {
        window_ = std::make_unique<QWidget>();
        window_->resize(300, 120);
        before_ = new QLineEdit(window_.get());
        before_->setObjectName("EdtBefore");
        before_->setGeometry(8, 16, 80, 20);
        ipe_ = new TIPEdit(window_.get());
        ipe_->setObjectName("IpeAddress");
        ipe_->move(96, 16);
        after_ = new QLineEdit(window_.get());
        after_->setObjectName("EdtAfter");
        after_->setGeometry(8, 60, 80, 20);
        window_->show();
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        before_->setFocus();
        beeps = 0;
    }

    void cleanup() {
        window_.reset();
        QApplication::clipboard()->clear();
    }

    void typingAnAddressWalksThroughTheFields() {
        Press(Qt::Key_Tab);
        QCOMPARE(FocusedField(), 0);
        Type("192");
        QCOMPARE(FocusedField(), 1);
        QCOMPARE(F(1)->selectedText(), QString("0"));
        Type("168");
        QCOMPARE(FocusedField(), 2);
        Type("1.5");
        QCOMPARE(FocusedField(), 3);
        QCOMPARE(ipe_->Text(), QString("192.168.1.5"));
        QCOMPARE(beeps, 0);
    }

    void valueOfATypedAddress() {
        Press(Qt::Key_Tab);
        Type("10.0.0.1");
        QCOMPARE(ipe_->Text(), QString("10.0.0.1"));
        QCOMPARE(ipe_->Value(), 10 + (1 << 24));
    }

    void dotAfterAFullFieldMovesOnOnceMore() {
        Press(Qt::Key_Tab);
        Type("192.");
        QCOMPARE(FocusedField(), 2);
        QCOMPARE(F(1)->text(), QString("0"));
        QCOMPARE(F(2)->selectedText(), F(2)->text());
    }

    void dotInTheLastFieldIsDropped() {
        Enter(3, "12", 2);
        Type(".");
        QCOMPARE(FocusedField(), 3);
        QCOMPARE(F(3)->text(), QString("12"));
    }

    void clamping_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("caret"); // -1: whole text selected
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("beepCount");
        QTest::addColumn<int>("focusAfter");
        QTest::addColumn<int>("caretAfter"); // -1: not checked
        QTest::newRow("300 over a selection") << "5" << -1 << "300"
                                              << "255" << 1 << 2 << -1;
        QTest::newRow("256") << "0" << -1 << "256"
                             << "255" << 1 << 2 << -1;
        QTest::newRow("999") << "0" << -1 << "999"
                             << "255" << 1 << 2 << -1;
        QTest::newRow("255 is no clamp") << "0" << -1 << "255"
                                         << "255" << 0 << 2 << -1;
        QTest::newRow("digit at the end") << "25" << 2 << "9"
                                          << "255" << 1 << 2 << -1;
        // The caret goes back where it was, which is not the end, so the
        // focus stays.
        QTest::newRow("digit at the start") << "30" << 0 << "9"
                                            << "255" << 1 << 1 << 1;
        QTest::newRow("two digits stay") << "0" << -1 << "99"
                                         << "99" << 0 << 1 << 2;
    }

    void clamping() {
        QFETCH(QString, start);
        QFETCH(int, caret);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(int, beepCount);
        QFETCH(int, focusAfter);
        QFETCH(int, caretAfter);
        Enter(1, start, caret);
        Type(typed);
        QCOMPARE(F(1)->text(), shown);
        QCOMPARE(beeps, beepCount);
        QCOMPARE(FocusedField(), focusAfter);
        if (caretAfter >= 0)
            QCOMPARE(F(1)->cursorPosition(), caretAfter);
    }

    void backspaceAtTheStartOfAFieldMovesBack() {
        ipe_->SetText("1.23.4.5");
        Enter(2, "4", 0);
        Press(Qt::Key_Backspace);
        QCOMPARE(FocusedField(), 1);
        QCOMPARE(F(1)->cursorPosition(), 2);
        QVERIFY(!F(1)->hasSelectedText());
        QCOMPARE(ipe_->Text(), QString("1.23.4.5"));
        Press(Qt::Key_Backspace);
        QCOMPARE(F(1)->text(), QString("2"));
        QCOMPARE(FocusedField(), 1);
        // An empty field with the caret at its start moves back as well.
        Enter(3, "", 0);
        Press(Qt::Key_Backspace);
        QCOMPARE(FocusedField(), 2);
        // A selection at the start is deleted, not left.
        Enter(2, "4", -1);
        Press(Qt::Key_Backspace);
        QCOMPARE(FocusedField(), 2);
        QCOMPARE(F(2)->text(), QString());
    }

    void arrowKeys_data() {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("caret"); // -1: whole text selected
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mods");
        QTest::addColumn<int>("focusAfter");
        QTest::addColumn<bool>("allSelected");
        QTest::addColumn<int>("caretAfter"); // -1: not checked
        const int none = Qt::NoModifier, ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier,
                  alt = Qt::AltModifier;
        QTest::newRow("Left at start of field 0")
            << 0 << "12" << 0 << int(Qt::Key_Left) << none << 0 << false << 0;
        QTest::newRow("Right at end of field 3")
            << 3 << "12" << 2 << int(Qt::Key_Right) << none << 3 << false << 2;
        QTest::newRow("Left at start of field 2")
            << 2 << "12" << 0 << int(Qt::Key_Left) << none << 1 << false << 2;
        QTest::newRow("Right at end of field 1")
            << 1 << "12" << 2 << int(Qt::Key_Right) << none << 2 << false << 0;
        QTest::newRow("Left inside a field")
            << 2 << "12" << 2 << int(Qt::Key_Left) << none << 2 << false << 1;
        QTest::newRow("Up is Left") << 2 << "12" << 0 << int(Qt::Key_Up) << none << 1 << false << 2;
        QTest::newRow("Up inside moves the caret")
            << 2 << "12" << 2 << int(Qt::Key_Up) << none << 2 << false << 1;
        QTest::newRow("Down is Right")
            << 1 << "12" << 2 << int(Qt::Key_Down) << none << 2 << false << 0;
        QTest::newRow("Ctrl+Left from inside")
            << 2 << "12" << 1 << int(Qt::Key_Left) << ctrl << 1 << true << -1;
        QTest::newRow("Ctrl+Shift+Right")
            << 1 << "12" << 1 << int(Qt::Key_Right) << (ctrl | shift) << 2 << true << -1;
        QTest::newRow("Ctrl+Up is Ctrl+Left")
            << 2 << "12" << 1 << int(Qt::Key_Up) << ctrl << 1 << true << -1;
        QTest::newRow("Ctrl+Alt+Left stays")
            << 2 << "12" << 1 << int(Qt::Key_Left) << (ctrl | alt) << 2 << false << -1;
        QTest::newRow("Shift+Left at start stays")
            << 2 << "12" << 0 << int(Qt::Key_Left) << shift << 2 << false << 0;
        QTest::newRow("Ctrl+Right from field 3")
            << 3 << "12" << 1 << int(Qt::Key_Right) << ctrl << 3 << false << -1;
        // A selection starts at 0, so Left leaves; Right only collapses it.
        QTest::newRow("Left over a full selection")
            << 2 << "12" << -1 << int(Qt::Key_Left) << none << 1 << false << 2;
        QTest::newRow("Right over a full selection")
            << 1 << "12" << -1 << int(Qt::Key_Right) << none << 1 << false << 2;
        QTest::newRow("Right in an empty field")
            << 1 << "" << 0 << int(Qt::Key_Right) << none << 2 << false << 0;
    }

    void arrowKeys() {
        QFETCH(int, field);
        QFETCH(QString, start);
        QFETCH(int, caret);
        QFETCH(int, key);
        QFETCH(int, mods);
        QFETCH(int, focusAfter);
        QFETCH(bool, allSelected);
        QFETCH(int, caretAfter);
        ipe_->SetText("11.22.33.44");
        Enter(field, start, caret);
        Press(Qt::Key(key), Qt::KeyboardModifiers(mods));
        QCOMPARE(FocusedField(), focusAfter);
        TIPByteEdit* now = F(focusAfter);
        QCOMPARE(now->hasSelectedText() && now->selectedText() == now->text(), allSelected);
        if (caretAfter >= 0)
            QCOMPARE(now->cursorPosition(), caretAfter);
        QCOMPARE(beeps, 0);
    }

    void enteringFromTheKeyboardSelectsAll() {
        ipe_->SetText("1.22.3.4");
        Press(Qt::Key_Tab);
        QCOMPARE(F(0)->selectedText(), QString("1"));
        // A mouse click places the caret and selects nothing.
        QTest::mouseClick(F(1), Qt::LeftButton, {}, QPoint(2, F(1)->height() / 2));
        QCOMPARE(FocusedField(), 1);
        QVERIFY(!F(1)->hasSelectedText());
    }

    void leavingNormalises_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("beepCount");
        QTest::newRow("emptied") << ""
                                 << "0" << 0;
        QTest::newRow("leading zeros") << "007"
                                       << "7" << 0;
        QTest::newRow("zero zero") << "00"
                                   << "0" << 0;
        QTest::newRow("plain") << "42"
                               << "42" << 0;
        QTest::newRow("not a number") << "a1"
                                      << "0" << 1;
        QTest::newRow("sign") << "-1"
                              << "0" << 1;
    }

    void leavingNormalises() {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QFETCH(int, beepCount);
        Enter(1, "5", 0);
        // Written past the digit filter, as another program part could.
        F(1)->QLineEdit::setText(text);
        F(1)->setCursorPosition(0);
        after_->setFocus();
        QCOMPARE(F(1)->text(), shown);
        QCOMPARE(beeps, beepCount);
    }

    void emptyingAFieldByKeyAndLeaving() {
        Enter(2, "17", -1);
        Press(Qt::Key_Delete);
        QCOMPARE(F(2)->text(), QString());
        Press(Qt::Key_Tab);
        QCOMPARE(F(2)->text(), QString("0"));
        QCOMPARE(beeps, 0);
    }

    void paste_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("caret"); // -1: whole text selected
        QTest::addColumn<QString>("clip");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("focusAfter");
        QTest::newRow("12 over 5") << "5" << -1 << "12"
                                   << "12" << 1;
        QTest::newRow("1000 dropped") << "5" << -1 << "1000"
                                      << "5" << 1;
        QTest::newRow("letters dropped") << "5" << -1 << "1a"
                                         << "5" << 1;
        QTest::newRow("256 dropped") << "5" << -1 << "256"
                                     << "5" << 1;
        QTest::newRow("full result moves on") << "5" << -1 << "255"
                                              << "255" << 2;
        QTest::newRow("inserted at the caret") << "15" << 1 << "2"
                                               << "125" << 1;
        QTest::newRow("appended, full") << "12" << 2 << "3"
                                        << "123" << 2;
        QTest::newRow("insert giving 295 dropped") << "25" << 1 << "9"
                                                   << "25" << 1;
        QTest::newRow("appended two chars too many") << "12" << 2 << "34"
                                                     << "12" << 1;
        QTest::newRow("leading zeros, normalised on moving on") << "5" << -1 << "007"
                                                                << "7" << 2;
        QTest::newRow("sign dropped") << "5" << -1 << "-1"
                                      << "5" << 1;
        QTest::newRow("plus dropped") << "5" << -1 << "+1"
                                      << "5" << 1;
        QTest::newRow("hex dropped") << "5" << -1 << "0x1"
                                     << "5" << 1;
        QTest::newRow("spaces dropped") << "5" << -1 << " 12"
                                        << "5" << 1;
        QTest::newRow("multi-line dropped") << "5" << -1 << "1\n2"
                                            << "5" << 1;
        QTest::newRow("binary dropped") << "5" << -1 << QString(QChar(0)) + "1"
                                        << "5" << 1;
        QTest::newRow("other digits dropped") << "5" << -1 << QString(QChar(0x0663)) << "5" << 1;
        QTest::newRow("empty clipboard") << "5" << -1 << ""
                                         << "5" << 1;
        QTest::newRow("huge text dropped") << "5" << -1 << QString(1 << 20, QChar('7')) << "5" << 1;
        QTest::newRow("huge multi-line dropped")
            << "5" << -1 << QString("1\r\n").repeated(100000) << "5" << 1;
    }

    void paste() {
        QFETCH(QString, start);
        QFETCH(int, caret);
        QFETCH(QString, clip);
        QFETCH(QString, shown);
        QFETCH(int, focusAfter);
        QApplication::clipboard()->setText(clip);
        Enter(1, start, caret);
        QSignalSpy changes(ipe_, &TIPEdit::OnChange);
        Press(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(F(1)->text(), shown);
        QCOMPARE(FocusedField(), focusAfter);
        QCOMPARE(beeps, 0);
        if (shown == start)
            QCOMPARE(changes.count(), 0);
    }

    void pasteIntoAReadOnlyControlDoesNothing() {
        ipe_->SetReadOnly(true);
        QApplication::clipboard()->setText("12");
        Enter(1, "5", -1);
        Press(Qt::Key_V, Qt::ControlModifier);
        Type("7");
        QCOMPARE(F(1)->text(), QString("5"));
    }

    void contextMenuPasteIsChecked() {
        Enter(1, "5", -1);
        auto pasteFromMenu = [this](const QString& clip) {
            QApplication::clipboard()->setText(clip);
            F(1)->selectAll();
            QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(2, 2),
                                    F(1)->mapToGlobal(QPoint(2, 2)));
            QApplication::sendEvent(F(1), &event);
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu);
            QAction* action = nullptr;
            for (QAction* a : menu->actions())
                if (a->text().contains("Paste"))
                    action = a;
            QVERIFY(action);
            action->trigger();
            menu->close();
        };
        pasteFromMenu("1000");
        QCOMPARE(F(1)->text(), QString("5"));
        pasteFromMenu("12");
        QCOMPARE(F(1)->text(), QString("12"));
    }

    void strayKeysNeverGetIn() {
        Press(Qt::Key_Tab);
        // Every printable character and a few control keys, in every field.
        for (int round = 0; round < 4; ++round) {
            for (char c = ' '; c < 127; ++c)
                QTest::keyClick(FocusWidget(), c);
            for (Qt::Key k : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Home,
                              Qt::Key_End, Qt::Key_Delete, Qt::Key_Insert, Qt::Key_Right})
                Press(k);
        }
        QVERIFY(ipe_->Focused());
        for (int i = 0; i < TIPEdit::FieldCount; ++i) {
            const auto n = IPParseInteger(F(i)->text());
            QVERIFY2(F(i)->text().isEmpty() || (n && *n <= 255), qPrintable(F(i)->text()));
        }
    }

    void writeText_data() {
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("read");
        QTest::newRow("leading zeros") << "192.168.001.010"
                                       << "192.168.1.10";
        QTest::newRow("two parts") << "10.1"
                                   << "10.1.0.0";
        QTest::newRow("empty") << ""
                               << "0.0.0.0";
        QTest::newRow("five parts") << "1.2.3.4.5"
                                    << "1.2.3.4";
        QTest::newRow("spaces around numbers") << " 7 . 8 .9.\t10 "
                                               << "7.8.9.10";
        QTest::newRow("above 255") << "300.1.1.1"
                                   << "0.1.1.1";
        QTest::newRow("four characters") << "1234.1.1.1"
                                         << "0.1.1.1";
        QTest::newRow("0255 is four characters") << "0255.1.1.1"
                                                 << "0.1.1.1";
        QTest::newRow("notations other than decimal") << "-1.+2.0x3.a"
                                                      << "0.0.0.0";
        QTest::newRow("inner space") << "1 2.3.4.5"
                                     << "0.3.4.5";
        QTest::newRow("empty parts") << "..7."
                                     << "0.0.7.0";
        QTest::newRow("trailing dot") << "1.2.3.4."
                                      << "1.2.3.4";
        QTest::newRow("other digits") << QString(QChar(0x0661)) + ".2.3.4"
                                      << "0.2.3.4";
        QTest::newRow("control characters around") << QString("1") + QChar(0) + ".2.3.4"
                                                   << "1.2.3.4";
        QTest::newRow("zero byte inside") << QString("1") + QChar(0) + "1.2.3.4"
                                          << "0.2.3.4";
        QTest::newRow("huge tail") << "1.2.3.4" + QString(1 << 20, QChar('.')) << "1.2.3.4";
        QTest::newRow("huge part") << QString(1 << 20, QChar('9')) + ".2"
                                   << "0.2.0.0";
        QTest::newRow("lines") << "1\n.2\r\n.3.4"
                               << "1.2.3.4";
    }

    void writeText() {
        QFETCH(QString, written);
        QFETCH(QString, read);
        ipe_->SetText(written);
        QCOMPARE(ipe_->Text(), read);
        for (int i = 0; i < TIPEdit::FieldCount; ++i)
            QCOMPARE(F(i)->text(), read.split('.').at(i));
        QCOMPARE(beeps, 0);
    }

    void value_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("192.168.1.213") << -721311552 << "192.168.1.213";
        QTest::newRow("zero") << 0 << "0.0.0.0";
        QTest::newRow("all ones") << -1 << "255.255.255.255";
        QTest::newRow("10.0.0.1") << (10 + (1 << 24)) << "10.0.0.1";
        QTest::newRow("lowest") << INT_MIN << "0.0.0.128";
        QTest::newRow("highest") << INT_MAX << "255.255.255.127";
    }

    void value() {
        QFETCH(int, value);
        QFETCH(QString, text);
        ipe_->SetValue(value);
        QCOMPARE(ipe_->Text(), text);
        ipe_->SetValue(0);
        ipe_->SetText(text);
        QCOMPARE(ipe_->Value(), value);
    }

    void valueReadsOnlyTheLowByteOfAField() {
        F(0)->QLineEdit::setText("xyz");
        F(1)->QLineEdit::setText("1");
        QCOMPARE(ipe_->Value(), 256);
        QCOMPARE(ipe_->Text(), QString("0.1.0.0"));
    }

    void onChangeOncePerChangedField() {
        QSignalSpy changes(ipe_, &TIPEdit::OnChange);
        ipe_->SetText("1.2.3.4");
        QCOMPARE(changes.count(), 4);
        QCOMPARE(changes.at(0).at(0).value<TIPEdit*>(), ipe_);
        ipe_->SetText("1.2.3.4");
        QCOMPARE(changes.count(), 4);
        ipe_->SetValue(1 + (2 << 8));
        QCOMPARE(changes.count(), 6);
        Enter(2, "0", -1);
        changes.clear();
        Type("300");
        // 3, 30, 300 shown as 255: three changes, one sound.
        QCOMPARE(changes.count(), 3);
        QCOMPARE(beeps, 1);
        changes.clear();
        Press(Qt::Key_Period);
        QCOMPARE(changes.count(), 0);
    }

    void tabOrder() {
        Press(Qt::Key_Tab);
        QCOMPARE(FocusedField(), 0);
        QVERIFY(ipe_->Focused());
        Press(Qt::Key_Tab);
        QCOMPARE(FocusWidget(), after_);
        QVERIFY(!ipe_->Focused());
        Press(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(FocusedField(), 0);
        // From a field entered by mouse, Tab leaves the control too.
        QTest::mouseClick(F(2), Qt::LeftButton);
        QCOMPARE(FocusedField(), 2);
        Press(Qt::Key_Tab);
        QCOMPARE(FocusWidget(), after_);
        // The control given the focus passes it to field 0.
        ipe_->setFocus();
        QCOMPARE(FocusedField(), 0);
        // Without a tab stop Tab passes the control by.
        ipe_->SetTabStop(false);
        before_->setFocus();
        Press(Qt::Key_Tab);
        QCOMPARE(FocusWidget(), after_);
    }

    void propertiesReachTheFields() {
        QCOMPARE(ipe_->size(), QSize(125, 20));
        QCOMPARE(ipe_->Text(), QString("0.0.0.0"));
        QCOMPARE(ipe_->Value(), 0);
        QCOMPARE(ipe_->TabStop(), true);
        QCOMPARE(ipe_->ReadOnly(), false);
        QCOMPARE(ipe_->BorderStyle(), TIPEdit::bsSingle);
        QCOMPARE(ipe_->cursor().shape(), Qt::IBeamCursor);
        for (int i = 0; i < TIPEdit::FieldCount; ++i) {
            QCOMPARE(F(i)->Tag(), i);
            QCOMPARE(F(i)->maxLength(), 3);
            QVERIFY(!F(i)->hasFrame());
            QCOMPARE(F(i)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
            QCOMPARE(F(i)->focusPolicy(), i == 0 ? Qt::StrongFocus : Qt::ClickFocus);
        }
        for (int i = 0; i < TIPEdit::FieldCount - 1; ++i)
            QCOMPARE(ipe_->Dot(i)->text(), QString("."));

        ipe_->SetAlignment(Qt::AlignRight);
        ipe_->SetReadOnly(true);
        ipe_->setEnabled(false);
        const QColor colour(10, 20, 30);
        ipe_->SetColor(colour);
        ipe_->SetCursor(QCursor(Qt::WaitCursor));
        for (int i = 0; i < TIPEdit::FieldCount; ++i) {
            QCOMPARE(F(i)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
            QVERIFY(F(i)->isReadOnly());
            QVERIFY(!F(i)->isEnabled());
            QCOMPARE(F(i)->palette().color(QPalette::Active, QPalette::Base), colour);
            QCOMPARE(F(i)->cursor().shape(), Qt::WaitCursor);
        }
        QVERIFY(!ipe_->Dot(1)->isEnabled());
        QCOMPARE(ipe_->cursor().shape(), Qt::WaitCursor);
        ipe_->SetCursor(QCursor());
        QCOMPARE(ipe_->cursor().shape(), Qt::IBeamCursor);
        QCOMPARE(F(2)->cursor().shape(), Qt::IBeamCursor);
    }

    void readOnlyStillMovesTheFocus() {
        ipe_->SetText("1.2.3.4");
        ipe_->SetReadOnly(true);
        Enter(1, "2", 1);
        Type("9.");
        QCOMPARE(FocusedField(), 2);
        QCOMPARE(ipe_->Text(), QString("1.2.3.4"));
    }

    void arrangeFields() {
        auto checkLayout = [this] {
            const QRect client = ipe_->contentsRect();
            const int w = F(0)->width();
            const QFontMetrics fm = ipe_->Dot(0)->fontMetrics();
            QVERIFY(w >= 3 * fm.horizontalAdvance('0'));
            for (int i = 0; i < TIPEdit::FieldCount; ++i) {
                const QRect f = F(i)->geometry();
                QCOMPARE(f.width(), w);
                QCOMPARE(f.top(), F(0)->geometry().top());
                QVERIFY2(client.contains(f), qPrintable(QString("field %1").arg(i)));
                if (i < TIPEdit::FieldCount - 1) {
                    const QRect dot = ipe_->Dot(i)->geometry();
                    QCOMPARE(dot.left(), f.left() + w);
                    QCOMPARE(dot.top(), f.top());
                    QCOMPARE(F(i + 1)->geometry().left(), dot.left() + dot.width());
                }
            }
            // Centred vertically.
            const int above = F(0)->geometry().top() - client.top();
            const int below = client.bottom() - F(0)->geometry().bottom();
            QVERIFY(qAbs(above - below) <= 1);
        };
        checkLayout();
        // Fields share the client width.
        const int spare =
            ipe_->contentsRect().width() - (4 * F(0)->width() + 3 * ipe_->Dot(0)->width());
        QVERIFY(spare >= 0 && spare < 4);

        ipe_->resize(30, 6);
        QCOMPARE(ipe_->size(), ipe_->minimumSizeHint());
        checkLayout();

        ipe_->resize(125, 20);
        QFont big = ipe_->font();
        big.setPointSize(big.pointSize() * 3);
        ipe_->setFont(big);
        QVERIFY(ipe_->width() > 125);
        QVERIFY(ipe_->height() > 20);
        checkLayout();

        ipe_->SetAutoSize(true);
        QCOMPARE(ipe_->size(), ipe_->minimumSizeHint());
        checkLayout();

        ipe_->SetAutoSize(false);
        ipe_->SetBorderStyle(TIPEdit::bsNone);
        ipe_->resize(400, 60);
        QCOMPARE(ipe_->contentsRect(), ipe_->rect());
        checkLayout();
        // A maximum size that stops the growth ends the arranging.
        ipe_->setMaximumSize(40, 10);
        ipe_->resize(40, 10);
        QCOMPARE(ipe_->size(), QSize(40, 10));
    }

    void fieldWithoutOwner() {
        auto* field = new TIPByteEdit(window_.get());
        field->setGeometry(150, 60, 40, 20);
        field->show();
        field->setFocus();
        field->selectAll();
        Type("300");
        QCOMPARE(field->text(), QString("255"));
        QCOMPARE(beeps, 1);
        QCOMPARE(FocusWidget(), field);
        field->setCursorPosition(0);
        Press(Qt::Key_Backspace);
        Type(".");
        Press(Qt::Key_Left);
        QCOMPARE(FocusWidget(), field);
        QCOMPARE(field->text(), QString("255"));
        QApplication::clipboard()->setText("1000");
        field->selectAll();
        Press(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(field->text(), QString("255"));
        field->SetFieldText("");
        after_->setFocus();
        QCOMPARE(field->text(), QString("0"));
    }

    void enterAndEscReachTheDialog() {
        QDialog dialog;
        auto* ipe = new TIPEdit(&dialog);
        auto* ok = new QPushButton("OK", &dialog);
        ok->move(0, 40);
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
        ipe->SetText("1.2.3.4");
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        ipe->Field(1)->setFocus();
        Press(Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(ipe->Text(), QString("1.2.3.4"));
        QCOMPARE(beeps, 0);

        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        ipe->Field(2)->setFocus();
        Press(Qt::Key_Escape);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }

    void promotedInAUiFile() {
        QWidget form;
        Ui::IPEditForm ui;
        ui.setupUi(&form);
        QCOMPARE(ui.IpeAddress->Text(), QString("192.168.1.213"));
        QCOMPARE(ui.IPEdtAddress->Text(), QString("10.0.0.1"));
        QCOMPARE(ui.IpeAddress->size(), QSize(125, 20));
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        ui.IPEdtAddress->setFocus();
        QCOMPARE(FocusWidget(), ui.IPEdtAddress->Field(0));
        Press(Qt::Key_Tab);
        QCOMPARE(FocusWidget(), ui.EdtBefore);
        Press(Qt::Key_Tab);
        QCOMPARE(FocusWidget(), ui.IpeAddress->Field(0));
    }

    // QV_IPEDIT_SHOT=file.png saves a picture of a few controls for a look.
    void look() {
        const QString path = qEnvironmentVariable("QV_IPEDIT_SHOT");
        if (path.isEmpty())
            QSKIP("QV_IPEDIT_SHOT not set");
        ipe_->SetValue(-721311552);
        auto* right = new TIPEdit(window_.get());
        right->move(96, 44);
        right->SetText("10.0.0.1");
        right->SetAlignment(Qt::AlignRight);
        auto* off = new TIPEdit(window_.get());
        off->move(96, 72);
        off->SetText("255.255.255.0");
        off->setEnabled(false);
        auto* big = new TIPEdit(window_.get());
        big->move(96, 96);
        QFont font = big->font();
        font.setPointSize(font.pointSize() * 2);
        big->setFont(font);
        big->SetText("1.22.255.7");
        window_->resize(300, 150);
        right->show();
        off->show();
        big->show();
        F(1)->setFocus();
        F(1)->selectAll();
        QVERIFY(window_->grab().scaled(900, 450).save(path));
    }
};

QTEST_MAIN(TestIPEdit)
#include "test_ipedit.moc"
