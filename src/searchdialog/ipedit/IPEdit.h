#pragma once
// IP address entry control: four number fields and three dots in one
// bordered box, read and written as dotted text or as a 32-bit integer.
// Usable from code and as a promoted widget in .ui files.

#include "searchdialog/ipedit/IPBEdit.h"

#include <QColor>
#include <QCursor>
#include <QString>
#include <QWidget>

#include <array>

class QLabel;

class TIPEdit : public QWidget, public TIPByteEditOwner {
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE SetText STORED false)
    Q_PROPERTY(int Value READ Value WRITE SetValue)
    Q_PROPERTY(Qt::Alignment Alignment READ Alignment WRITE SetAlignment)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
    Q_PROPERTY(TBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
    Q_PROPERTY(QCursor Cursor READ Cursor WRITE SetCursor)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(bool TabStop READ TabStop WRITE SetTabStop)

public:
    enum TBorderStyle { bsNone, bsSingle };
    Q_ENUM(TBorderStyle)

    static constexpr int FieldCount = 4;

    explicit TIPEdit(QWidget* Parent = nullptr);

    // The four numbers joined with "." (no leading zeros).
    QString Text() const;
    // Reads up to four dot-separated numbers; a missing or unreadable part
    // (not 1-3 digits, above 255) gives 0.
    void SetText(const QString& Text);

    // Byte i (i = 0 the least significant) is field i: 192.168.1.213 is
    // -721311552.
    qint32 Value() const;
    void SetValue(qint32 Value);

    Qt::Alignment Alignment() const { return alignment_; }
    void SetAlignment(Qt::Alignment Alignment);

    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool AutoSize);

    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle Style);

    // The box's colour; the fields and dots take it from the box.
    QColor Color() const;
    void SetColor(const QColor& Color);

    // The default (arrow) cursor shows the text beam over the whole box; any
    // other goes to the box and all fields.
    QCursor Cursor() const { return cursor_; }
    void SetCursor(const QCursor& Cursor);

    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool ReadOnly);

    // Only field 0 is a tab stop, so Tab enters the control there and the
    // next Tab leaves it.
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool TabStop);

    // True when one of the four fields has the input focus.
    bool Focused() const;

    void MoveFocus(TIPByteEdit* Sender, bool Forward, bool SelectAll) override;

    // Places the fields and dots for the current size and font, and grows
    // the control when they do not fit.
    void ArrangeFields();

    TIPByteEdit* Field(int Index) const { return fields_.at(static_cast<std::size_t>(Index)); }
    QLabel* Dot(int Index) const { return dots_.at(static_cast<std::size_t>(Index)); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The names uic calls for the standard setters of a .ui file's
    // "text" / "value" properties.
    QString text() const { return Text(); }
    void setText(const QString& Text) { SetText(Text); }
    int value() const { return Value(); }
    void setValue(int Value) { SetValue(Value); }

signals:
    // Once for every field whose text changed, typed or written.
    void OnChange(TIPEdit* Sender);

protected:
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    struct TMetrics {
        int w; // field width without stretching
        int h; // field and dot height
        int d; // dot width
    };
    TMetrics Measure() const;
    int FrameWidth() const;
    void UpdateMargins();

    std::array<TIPByteEdit*, FieldCount> fields_{};
    std::array<QLabel*, FieldCount - 1> dots_{};
    Qt::Alignment alignment_ = Qt::AlignHCenter;
    bool autoSize_ = false;
    TBorderStyle borderStyle_ = bsSingle;
    QCursor cursor_;
    bool readOnly_ = false;
    bool tabStop_ = true;
    bool arranging_ = false;
};
