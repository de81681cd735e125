// Keyboard, clipboard and layout behaviour of the IP address entry control.

#include "searchdialog/ipedit/IPBEdit.h"
#include "searchdialog/ipedit/IPEdit.h"
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
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <climits>
#include <memory>

namespace {

int beeps = 0;

QWidget* FocusWidget() {
    return QApplication::focusWidget();
}

void Press(Qt::Key Key, Qt::KeyboardModifiers Mods = Qt::NoModifier) {
    QTest::keyClick(FocusWidget(), Key, Mods);
}

// Sends a key script to whatever has the focus, one key at a time, so that
// focus moves between keys take effect as they do for a user. Plain
// characters are typed; <...> names a key: L R U D (arrows), BS, DEL, TAB,
// BTAB, RET, V (Ctrl+V), with prefixes ^ Ctrl, S Shift, A Alt.
void Keys(const QString& Script) {
    static const QRegularExpression token(R"(<([\^SA]*)([A-Z]+)>|(.))",
                                          QRegularExpression::DotMatchesEverythingOption);
    static const QHash<QString, Qt::Key> names{{"L", Qt::Key_Left},       {"R", Qt::Key_Right},
                                               {"U", Qt::Key_Up},         {"D", Qt::Key_Down},
                                               {"BS", Qt::Key_Backspace}, {"DEL", Qt::Key_Delete},
                                               {"TAB", Qt::Key_Tab},      {"BTAB", Qt::Key_Backtab},
                                               {"RET", Qt::Key_Return},   {"V", Qt::Key_V}};
    for (const auto& m : token.globalMatch(Script)) {
        if (!m.captured(3).isEmpty()) {
            QTest::keyClick(FocusWidget(), m.captured(3).at(0).toLatin1());
            continue;
        }
        Qt::KeyboardModifiers mods;
        const QString prefix = m.captured(1);
        mods.setFlag(Qt::ControlModifier, prefix.contains('^') || m.captured(2) == "V");
        mods.setFlag(Qt::ShiftModifier, prefix.contains('S') || m.captured(2) == "BTAB");
        mods.setFlag(Qt::AltModifier, prefix.contains('A'));
        QVERIFY2(names.contains(m.captured(2)), qPrintable(m.captured(2)));
        Press(names.value(m.captured(2)), mods);
    }
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
    // 0..3 a field, -1 the widget after the control, -2 the one before.
    int Focus() const {
        for (int i = 0; i < TIPEdit::FieldCount; ++i)
            if (F(i)->hasFocus())
                return i;
        return after_->hasFocus() ? -1 : before_->hasFocus() ? -2 : -3;
    }
    // The fields' texts as shown, leading zeros and empty fields included.
    QString Shown() const {
        QStringList parts;
        for (int i = 0; i < TIPEdit::FieldCount; ++i)
            parts << F(i)->text();
        return parts.join('|');
    }
    // Puts the caret into field i at Caret, or selects the whole text (-1).
    void Enter(int i, int Caret) {
        F(i)->setFocus(Qt::OtherFocusReason);
        QVERIFY(F(i)->hasFocus());
        if (Caret < 0)
            F(i)->selectAll();
        else
            F(i)->setCursorPosition(Caret);
    }

private slots:
    void initTestCase() {
        SetIPWarningBeep([] { ++beeps; });
    }

    void init() {
        window_ = std::make_unique<QWidget>();
        window_->resize(300, 150);
        before_ = new QLineEdit(window_.get());
        before_->setGeometry(8, 16, 80, 20);
        ipe_ = new TIPEdit(window_.get());
        ipe_->move(96, 16);
        after_ = new QLineEdit(window_.get());
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

    void keyboard_data() {
        QTest::addColumn<QString>("start");  // written as Text
        QTest::addColumn<int>("field");      // where the caret starts; -2: before the control
        QTest::addColumn<int>("caret");      // -1: whole text selected
        QTest::addColumn<QString>("keys");   // see Keys()
        QTest::addColumn<QString>("shown");  // the fields' texts afterwards
        QTest::addColumn<int>("focus");      // see Focus()
        QTest::addColumn<int>("caretAfter"); // -1: whole text selected, -2: not checked
        QTest::addColumn<int>("beepCount");
        auto row = [](const char* name) -> QTestData& { return QTest::newRow(name); };
        // clang-format off
        row("an address typed through") << "0.0.0.0" << -2 << 0 << "<TAB>1921681.5" << "192|168|1|5" << 3 << -2 << 0;
        row("full field moves on with the next selected") << "0.0.0.0" << -2 << 0 << "<TAB>192" << "192|0|0|0" << 1 << -1 << 0;
        row("dot after a full field moves on once more") << "0.0.0.0" << -2 << 0 << "<TAB>192." << "192|0|0|0" << 2 << -1 << 0;
        row("dot in field 3 dropped") << "1.2.3.12" << 3 << 2 << "." << "1|2|3|12" << 3 << 2 << 0;
        row("300 over a selection") << "5.5.5.5" << 1 << -1 << "300" << "5|255|5|5" << 2 << -1 << 1;
        row("255 is no clamp") << "5.5.5.5" << 1 << -1 << "255" << "5|255|5|5" << 2 << -1 << 0;
        row("clamp keeps a caret not at the end") << "1.30.3.4" << 1 << 0 << "9" << "1|255|3|4" << 1 << 1 << 1;
        row("letters and signs never get in") << "1.2.3.4" << 1 << -1 << "a-+ x,9" << "1|9|3|4" << 1 << 1 << 0;
        row("Enter dropped") << "1.2.3.4" << 1 << 1 << "<RET>" << "1|2|3|4" << 1 << 1 << 0;
        row("Backspace at start moves back, deletes nothing") << "1.23.4.5" << 2 << 0 << "<BS>" << "1|23|4|5" << 1 << 2 << 0;
        row("second Backspace deletes") << "1.23.4.5" << 2 << 0 << "<BS><BS>" << "1|2|4|5" << 1 << 1 << 0;
        row("Backspace over a selection deletes it") << "1.23.4.5" << 2 << -1 << "<BS>" << "1|23||5" << 2 << 0 << 0;
        row("Left at start of field 0") << "12.0.0.0" << 0 << 0 << "<L>" << "12|0|0|0" << 0 << 0 << 0;
        row("Right at end of field 3") << "0.0.0.12" << 3 << 2 << "<R>" << "0|0|0|12" << 3 << 2 << 0;
        row("Left at start") << "1.22.3.4" << 2 << 0 << "<L>" << "1|22|3|4" << 1 << 2 << 0;
        row("Right at end") << "1.22.3.4" << 1 << 2 << "<R>" << "1|22|3|4" << 2 << 0 << 0;
        row("Up is Left") << "1.22.3.4" << 2 << 0 << "<U>" << "1|22|3|4" << 1 << 2 << 0;
        row("Down is Right") << "1.22.3.4" << 1 << 2 << "<D>" << "1|22|3|4" << 2 << 0 << 0;
        row("Up inside moves the caret") << "1.22.33.4" << 2 << 2 << "<U>" << "1|22|33|4" << 2 << 1 << 0;
        row("Ctrl+Left") << "1.22.33.4" << 2 << 1 << "<^L>" << "1|22|33|4" << 1 << -1 << 0;
        row("Ctrl+Shift+Right") << "1.22.33.4" << 1 << 1 << "<^SR>" << "1|22|33|4" << 2 << -1 << 0;
        row("Ctrl+Up is Ctrl+Left") << "1.22.33.4" << 2 << 1 << "<^U>" << "1|22|33|4" << 1 << -1 << 0;
        row("Ctrl+Alt+Left stays") << "1.22.33.4" << 2 << 1 << "<^AL>" << "1|22|33|4" << 2 << -2 << 0;
        row("Shift+Left at start stays") << "1.22.33.4" << 2 << 0 << "<SL>" << "1|22|33|4" << 2 << 0 << 0;
        // A selection starts at 0, so Left leaves; Right only collapses it.
        row("Left over a selection") << "1.22.33.4" << 2 << -1 << "<L>" << "1|22|33|4" << 1 << 2 << 0;
        row("Right over a selection") << "1.22.33.4" << 1 << -1 << "<R>" << "1|22|33|4" << 1 << 2 << 0;
        row("emptied and left shows 0 quietly") << "1.22.33.4" << 1 << -1 << "<DEL><TAB>" << "1|0|33|4" << -1 << -2 << 0;
        row("leading zeros go on leaving") << "1.2.3.4" << 1 << -1 << "07<TAB>" << "1|7|3|4" << -1 << -2 << 0;
        row("007 moves on and loses its zeros") << "1.2.3.4" << 1 << -1 << "007" << "1|7|3|4" << 2 << -1 << 0;
        row("Tab leaves from any field") << "1.2.3.4" << 2 << 0 << "<TAB>" << "1|2|3|4" << -1 << -2 << 0;
        row("Shift+Tab from field 2 goes to field 0") << "1.2.3.4" << 2 << 0 << "<BTAB>" << "1|2|3|4" << 0 << -1 << 0;
        // clang-format on
    }

    void keyboard() {
        QFETCH(QString, start);
        QFETCH(int, field);
        QFETCH(int, caret);
        QFETCH(QString, keys);
        QFETCH(QString, shown);
        QFETCH(int, focus);
        QFETCH(int, caretAfter);
        QFETCH(int, beepCount);
        ipe_->SetText(start);
        if (field >= 0)
            Enter(field, caret);
        Keys(keys);
        QCOMPARE(Shown(), shown);
        QCOMPARE(Focus(), focus);
        if (focus >= 0 && caretAfter == -1)
            QCOMPARE(F(focus)->selectedText(), F(focus)->text());
        if (focus >= 0 && caretAfter >= 0) {
            QVERIFY(!F(focus)->hasSelectedText());
            QCOMPARE(F(focus)->cursorPosition(), caretAfter);
        }
        QCOMPARE(beeps, beepCount);
    }

    void paste_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("caret"); // -1: whole text selected
        QTest::addColumn<QString>("clip");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("focus");
        auto row = [](const char* name) -> QTestData& { return QTest::newRow(name); };
        row("12 over 5") << "5" << -1 << "12"
                         << "12" << 1;
        row("1000 dropped") << "5" << -1 << "1000"
                            << "5" << 1;
        row("letters dropped") << "5" << -1 << "1a"
                               << "5" << 1;
        row("256 dropped") << "5" << -1 << "256"
                           << "5" << 1;
        row("full result moves on") << "5" << -1 << "255"
                                    << "255" << 2;
        row("inserted at the caret") << "15" << 1 << "2"
                                     << "125" << 1;
        row("insert giving 295 dropped") << "25" << 1 << "9"
                                         << "25" << 1;
        row("result too long") << "12" << 2 << "34"
                               << "12" << 1;
        row("sign dropped") << "5" << -1 << "+1"
                            << "5" << 1;
        row("spaces dropped") << "5" << -1 << " 12"
                              << "5" << 1;
        row("multi-line dropped") << "5" << -1 << "1\n2"
                                  << "5" << 1;
        row("binary dropped") << "5" << -1 << QString(QChar(0)) + "1"
                              << "5" << 1;
        row("other digits dropped") << "5" << -1 << QString(QChar(0x0663)) << "5" << 1;
        row("empty clipboard") << "5" << -1 << ""
                               << "5" << 1;
        row("huge text dropped") << "5" << -1 << QString(1 << 20, QChar('7')) << "5" << 1;
    }

    void paste() {
        QFETCH(QString, start);
        QFETCH(int, caret);
        QFETCH(QString, clip);
        QFETCH(QString, shown);
        QFETCH(int, focus);
        QApplication::clipboard()->setText(clip);
        F(1)->SetFieldText(start);
        Enter(1, caret);
        QSignalSpy changes(ipe_, &TIPEdit::OnChange);
        Keys("<V>");
        QCOMPARE(F(1)->text(), shown);
        QCOMPARE(Focus(), focus);
        QCOMPARE(beeps, 0);
        QCOMPARE(changes.isEmpty(), shown == start);
    }

    // 255 is the last number a field takes, typed or pasted, in every field.
    void byteBoundary_data() {
        QTest::addColumn<int>("field");
        QTest::addColumn<bool>("pasted");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("shown"); // the field's text afterwards
        QTest::addColumn<int>("beepCount");
        for (int field = 0; field < TIPEdit::FieldCount; ++field) {
            const QByteArray f = QByteArray::number(field);
            QTest::newRow("typed 255 in field " + f) << field << false << "255"
                                                     << "255" << 0;
            QTest::newRow("typed 256 in field " + f) << field << false << "256"
                                                     << "255" << 1;
            QTest::newRow("pasted 255 in field " + f) << field << true << "255"
                                                      << "255" << 0;
            QTest::newRow("pasted 256 in field " + f) << field << true << "256"
                                                      << "9" << 0;
        }
    }

    void byteBoundary() {
        QFETCH(int, field);
        QFETCH(bool, pasted);
        QFETCH(QString, number);
        QFETCH(QString, shown);
        QFETCH(int, beepCount);
        ipe_->SetText("9.9.9.9");
        Enter(field, -1);
        if (pasted) {
            QApplication::clipboard()->setText(number);
            Keys("<V>");
        } else {
            Keys(number);
        }
        QStringList expected{"9", "9", "9", "9"};
        expected[field] = shown;
        QCOMPARE(Shown(), expected.join('|'));
        QCOMPARE(ipe_->Text(), expected.join('.'));
        QCOMPARE(beeps, beepCount);
        // A full field moves on; a dropped paste leaves the focus where it was.
        QCOMPARE(Focus(), shown.size() == 3 ? std::min(field + 1, 3) : field);
    }

    void contextMenuPasteIsChecked() {
        Enter(1, -1);
        auto pasteFromMenu = [this](const QString& clip) {
            QApplication::clipboard()->setText(clip);
            F(1)->selectAll();
            QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(2, 2),
                                    F(1)->mapToGlobal(QPoint(2, 2)));
            QApplication::sendEvent(F(1), &event);
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu);
            for (QAction* a : menu->actions())
                if (a->text().contains("Paste"))
                    a->trigger();
            menu->close();
        };
        pasteFromMenu("1000");
        QCOMPARE(F(1)->text(), QString("0"));
        pasteFromMenu("12");
        QCOMPARE(F(1)->text(), QString("12"));
    }

    void readOnly() {
        ipe_->SetText("1.2.3.4");
        ipe_->SetReadOnly(true);
        QApplication::clipboard()->setText("12");
        Enter(1, 1);
        Keys("<V>9.");
        QCOMPARE(Focus(), 2);
        QCOMPARE(ipe_->Text(), QString("1.2.3.4"));
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
        QTest::newRow("blanks around numbers") << " 7 . 8 .9.\t10\r\n"
                                               << "7.8.9.10";
        QTest::newRow("above 255") << "300.1.1.1"
                                   << "0.1.1.1";
        QTest::newRow("255 in every part") << "255.255.255.255"
                                           << "255.255.255.255";
        QTest::newRow("256 in every part") << "256.256.256.256"
                                           << "0.0.0.0";
        QTest::newRow("256 in the last part") << "255.255.255.256"
                                              << "255.255.255.0";
        QTest::newRow("four characters") << "0255.1.1.1"
                                         << "0.1.1.1";
        QTest::newRow("other notations") << "-1.+2.0x3.a"
                                         << "0.0.0.0";
        QTest::newRow("space inside") << "1 2.3.4.5"
                                      << "0.3.4.5";
        QTest::newRow("empty parts") << "..7."
                                     << "0.0.7.0";
        QTest::newRow("zero byte inside") << QString("1") + QChar(0) + "1.2.3.4"
                                          << "0.2.3.4";
        QTest::newRow("huge tail") << "1.2.3.4" + QString(1 << 20, QChar('.')) << "1.2.3.4";
        QTest::newRow("huge part") << QString(1 << 20, QChar('9')) + ".2"
                                   << "0.2.0.0";
    }

    void writeText() {
        QFETCH(QString, written);
        QFETCH(QString, read);
        ipe_->SetText(written);
        QCOMPARE(ipe_->Text(), read);
        QCOMPARE(Shown(), QString(read).replace('.', '|'));
        QCOMPARE(beeps, 0);
    }

    void value_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("192.168.1.213") << -721311552 << "192.168.1.213";
        QTest::newRow("10.0.0.1") << (10 + (1 << 24)) << "10.0.0.1";
        QTest::newRow("all ones") << -1 << "255.255.255.255";
        QTest::newRow("lowest") << INT_MIN << "0.0.0.128";
        QTest::newRow("highest") << INT_MAX << "255.255.255.127";
    }

    void value() {
        QFETCH(int, value);
        QFETCH(QString, text);
        ipe_->SetValue(value);
        QCOMPARE(ipe_->Text(), text);
        // Typed as a user would: a dot only after a part that did not fill
        // its field and move on by itself.
        ipe_->SetValue(0);
        QString keys = "<TAB>";
        for (const QString& part : text.split('.'))
            keys += part + (part.size() < 3 ? "." : "");
        Keys(keys);
        QCOMPARE(ipe_->Value(), value);
    }

    void onChangeOncePerChangedField() {
        QSignalSpy changes(ipe_, &TIPEdit::OnChange);
        ipe_->SetText("1.2.3.4");
        QCOMPARE(changes.count(), 4);
        QCOMPARE(changes.at(0).at(0).value<TIPEdit*>(), ipe_);
        ipe_->SetText("1.2.3.4");
        ipe_->SetValue(1 + (2 << 8) + (3 << 16) + (4 << 24));
        QCOMPARE(changes.count(), 4);
        Enter(2, -1);
        Keys("300.");
        // 3, 30, 300 shown as 255; the dot changes nothing.
        QCOMPARE(changes.count(), 7);
    }

    void focusAndTabStop() {
        ipe_->setFocus();
        QCOMPARE(Focus(), 0);
        QVERIFY(ipe_->Focused());
        Keys("<TAB>");
        QVERIFY(!ipe_->Focused());
        Keys("<BTAB>");
        QCOMPARE(Focus(), 0);
        // A full field written by the program does not pull the focus on.
        Enter(1, 0);
        ipe_->SetText("1.222.3.4");
        QCOMPARE(Focus(), 1);
        ipe_->SetTabStop(false);
        before_->setFocus();
        Keys("<TAB>");
        QCOMPARE(Focus(), -1);
        // A click still enters the control, with no selection.
        QTest::mouseClick(F(1), Qt::LeftButton, {}, QPoint(1, F(1)->height() / 2));
        QCOMPARE(Focus(), 1);
        QVERIFY(!F(1)->hasSelectedText());
    }

    void propertiesReachTheFields() {
        QCOMPARE(ipe_->size(), QSize(125, 20));
        QCOMPARE(ipe_->Text(), QString("0.0.0.0"));
        ipe_->SetAlignment(Qt::AlignRight);
        ipe_->setEnabled(false);
        const QColor colour(10, 20, 30);
        ipe_->SetColor(colour);
        ipe_->SetCursor(QCursor(Qt::WaitCursor));
        for (int i = 0; i < TIPEdit::FieldCount; ++i) {
            QCOMPARE(F(i)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
            QVERIFY(!F(i)->isEnabled());
            QCOMPARE(F(i)->cursor().shape(), Qt::WaitCursor);
        }
        QVERIFY(!ipe_->Dot(1)->isEnabled());
        // The fields let the box's colour through.
        ipe_->setEnabled(true);
        const QImage picture = ipe_->grab().toImage();
        QCOMPARE(picture.pixelColor(F(2)->x() + 1, F(2)->geometry().center().y()), colour);
        ipe_->SetCursor(QCursor());
        QCOMPARE(ipe_->cursor().shape(), Qt::IBeamCursor);
        QCOMPARE(F(2)->cursor().shape(), Qt::IBeamCursor);
    }

    void arrangeFields() {
        auto check = [this] {
            const QRect client = ipe_->contentsRect();
            const int w = F(0)->width();
            QVERIFY(w >= 3 * ipe_->Dot(0)->fontMetrics().horizontalAdvance('0'));
            for (int i = 0; i < TIPEdit::FieldCount; ++i) {
                const QRect f = F(i)->geometry();
                QCOMPARE(f.size(), F(0)->size());
                QCOMPARE(f.top(), F(0)->y());
                QVERIFY(client.contains(f));
                if (i < TIPEdit::FieldCount - 1) {
                    const QRect dot = ipe_->Dot(i)->geometry();
                    QCOMPARE(dot.topLeft(), f.topRight() + QPoint(1, 0));
                    QCOMPARE(F(i + 1)->x(), dot.right() + 1);
                }
            }
            QVERIFY(qAbs((F(0)->y() - client.top()) -
                         (client.bottom() - F(0)->geometry().bottom())) <= 1);
        };
        check();
        QVERIFY(ipe_->contentsRect().right() - F(3)->geometry().right() < 4);
        ipe_->resize(30, 6);
        QCOMPARE(ipe_->size(), ipe_->minimumSizeHint());
        check();
        QFont big = ipe_->font();
        big.setPointSize(big.pointSize() * 3);
        ipe_->setFont(big);
        QVERIFY(ipe_->width() > 125 && ipe_->height() > 20);
        check();
        ipe_->SetBorderStyle(TIPEdit::bsNone);
        ipe_->SetAutoSize(true);
        QCOMPARE(ipe_->size(), ipe_->minimumSizeHint());
        QCOMPARE(ipe_->contentsRect(), ipe_->rect());
        check();
        // A maximum size that stops the growth ends the arranging.
        ipe_->SetAutoSize(false);
        ipe_->setMaximumSize(40, 10);
        ipe_->resize(40, 10);
        QCOMPARE(ipe_->size(), QSize(40, 10));
    }

    void fieldWithoutOwnerMovesNothing() {
        auto* field = new TIPByteEdit(window_.get());
        field->show();
        field->setFocus();
        field->selectAll();
        QApplication::clipboard()->setText("1000");
        Keys("300<L><L><L><BS>.<^R><V>");
        QCOMPARE(FocusWidget(), field);
        QCOMPARE(field->text(), QString("255"));
        QCOMPARE(beeps, 1);
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
        for (auto [key, result] : {std::pair{Qt::Key_Return, QDialog::Accepted},
                                   std::pair{Qt::Key_Escape, QDialog::Rejected}}) {
            dialog.show();
            dialog.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            ipe->Field(1)->setFocus();
            Press(key);
            QCOMPARE(dialog.result(), int(result));
        }
        QCOMPARE(ipe->Text(), QString("0.0.0.0"));
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
        Keys("<TAB>");
        QCOMPARE(FocusWidget(), ui.EdtBefore);
        Keys("<TAB>");
        QCOMPARE(FocusWidget(), ui.IpeAddress->Field(0));
    }

    // QV_IPEDIT_SHOT=file.png saves an enlarged picture of a few controls.
    void look() {
        const QString path = qEnvironmentVariable("QV_IPEDIT_SHOT");
        if (path.isEmpty())
            QSKIP("QV_IPEDIT_SHOT not set");
        ipe_->SetValue(-721311552);
        const char* texts[] = {"10.0.0.1", "255.255.255.0", "1.22.255.7"};
        for (int i = 0; i < 3; ++i) {
            auto* other = new TIPEdit(window_.get());
            other->move(96, 44 + 28 * i);
            other->SetText(texts[i]);
            other->SetAlignment(i == 0 ? Qt::AlignRight : Qt::AlignHCenter);
            other->setEnabled(i != 1);
            if (i == 2)
                other->setFont(QFont(other->font().family(), other->font().pointSize() * 2));
            other->show();
        }
        Enter(1, -1);
        QVERIFY(window_->grab().scaled(900, 450).save(path));
    }
};

QTEST_MAIN(TestIPEdit)
#include "test_ipedit.moc"
