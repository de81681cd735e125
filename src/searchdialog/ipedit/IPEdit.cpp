#include "searchdialog/ipedit/IPEdit.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>

namespace {

// The caret beside three digits needs one pixel more, or the field scrolls.
constexpr int FieldPadding = 1;

// Trims what a person may type around a number: blanks, tabs, line breaks.
QStringView TrimBlanks(QStringView Part) {
    while (!Part.isEmpty() && Part.front().unicode() <= ' ')
        Part = Part.mid(1);
    while (!Part.isEmpty() && Part.back().unicode() <= ' ')
        Part.chop(1);
    return Part;
}

} // namespace

TIPEdit::TIPEdit(QWidget* Parent) : QWidget(Parent) {
    for (int i = 0; i < FieldCount; ++i) {
        auto* field = new TIPByteEdit(this);
        field->setObjectName(QStringLiteral("IPByteEdit%1").arg(i));
        field->SetTag(i);
        field->SetOwner(this);
        field->installEventFilter(this);
        connect(field, &TIPByteEdit::Changed, this, [this] { emit OnChange(this); });
        fields_[static_cast<std::size_t>(i)] = field;
        if (i < FieldCount - 1) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setObjectName(QStringLiteral("IPDot%1").arg(i));
            dot->setAlignment(Qt::AlignCenter);
            dots_[static_cast<std::size_t>(i)] = dot;
        }
    }
    // Focus given to the box goes to field 0; the box itself is never the
    // focus widget and the tab chain passes it by.
    setFocusProxy(fields_[0]);
    SetTabStop(true);
    SetAlignment(Qt::AlignHCenter);
    SetCursor(QCursor());
    UpdateMargins();
    resize(125, 20);
    ArrangeFields();
}

QString TIPEdit::Text() const {
    QString text = QString::number(fields_[0]->Number());
    for (int i = 1; i < FieldCount; ++i)
        text += QLatin1Char('.') + QString::number(fields_[static_cast<std::size_t>(i)]->Number());
    return text;
}

void TIPEdit::SetText(const QString& Text) {
    // Only the first four parts matter, so the text is walked in place and
    // a huge one costs no copies.
    QStringView rest(Text);
    for (TIPByteEdit* field : fields_) {
        int value = 0;
        const qsizetype dot = rest.indexOf(QLatin1Char('.'));
        // The text is read as if it ended with a dot: its last part counts,
        // and a field with no part left gets an empty one, which reads as 0.
        const QStringView part = TrimBlanks(dot < 0 ? rest : rest.left(dot));
        if (part.size() < 4) {
            if (const auto number = IPParseInteger(part); number && *number <= 255)
                value = *number;
        }
        rest = dot < 0 ? QStringView() : rest.mid(dot + 1);
        field->SetFieldText(QString::number(value));
    }
}

qint32 TIPEdit::Value() const {
    quint32 value = 0;
    for (int i = 0; i < FieldCount; ++i)
        value |= static_cast<quint32>(fields_[static_cast<std::size_t>(i)]->Number()) << (8 * i);
    return static_cast<qint32>(value);
}

void TIPEdit::SetValue(qint32 Value) {
    const auto value = static_cast<quint32>(Value);
    for (int i = 0; i < FieldCount; ++i)
        fields_[static_cast<std::size_t>(i)]->SetFieldText(
            QString::number((value >> (8 * i)) & 0xFF));
}

void TIPEdit::SetAlignment(Qt::Alignment Alignment) {
    const Qt::Alignment h = Alignment & Qt::AlignHorizontal_Mask;
    if (h & Qt::AlignRight)
        alignment_ = Qt::AlignRight;
    else if (h & (Qt::AlignHCenter | Qt::AlignJustify))
        alignment_ = Qt::AlignHCenter;
    else
        alignment_ = Qt::AlignLeft;
    for (TIPByteEdit* field : fields_)
        field->setAlignment(alignment_ | Qt::AlignVCenter);
}

void TIPEdit::SetAutoSize(bool AutoSize) {
    autoSize_ = AutoSize;
    updateGeometry();
    ArrangeFields();
}

void TIPEdit::SetBorderStyle(TBorderStyle Style) {
    borderStyle_ = Style;
    UpdateMargins();
    ArrangeFields();
    update();
}

QColor TIPEdit::Color() const {
    return palette().color(QPalette::Base);
}

void TIPEdit::SetColor(const QColor& Color) {
    QPalette pal = palette();
    pal.setColor(QPalette::Base, Color);
    setPalette(pal);
}

void TIPEdit::SetCursor(const QCursor& Cursor) {
    cursor_ = Cursor;
    const QCursor shown = Cursor.shape() == Qt::ArrowCursor ? QCursor(Qt::IBeamCursor) : Cursor;
    setCursor(shown);
    for (TIPByteEdit* field : fields_)
        field->setCursor(shown);
}

void TIPEdit::SetReadOnly(bool ReadOnly) {
    readOnly_ = ReadOnly;
    for (TIPByteEdit* field : fields_)
        field->setReadOnly(ReadOnly);
    update();
}

void TIPEdit::SetTabStop(bool TabStop) {
    tabStop_ = TabStop;
    // The box keeps click focus even without a tab stop: a click on a dot
    // or the border still reaches field 0, and .ui tab orders still apply.
    const Qt::FocusPolicy policy = TabStop ? Qt::StrongFocus : Qt::ClickFocus;
    setFocusPolicy(policy);
    fields_[0]->setFocusPolicy(policy);
}

bool TIPEdit::Focused() const {
    return std::any_of(fields_.begin(), fields_.end(),
                       [](const TIPByteEdit* f) { return f->hasFocus(); });
}

void TIPEdit::MoveFocus(TIPByteEdit* Sender, bool Forward, bool SelectAll) {
    const auto it = std::find(fields_.begin(), fields_.end(), Sender);
    if (it == fields_.end())
        return;
    const auto t = it - fields_.begin();
    TIPByteEdit* target = nullptr;
    if (Forward && t < FieldCount - 1)
        target = fields_[static_cast<std::size_t>(t + 1)];
    else if (!Forward && t >= 1)
        target = fields_[static_cast<std::size_t>(t - 1)];
    if (!target)
        return;
    target->setFocus(Qt::OtherFocusReason);
    if (SelectAll) {
        target->selectAll();
    } else {
        target->deselect();
        target->setCursorPosition(Forward ? 0 : static_cast<int>(target->text().size()));
    }
}

int TIPEdit::FrameWidth() const {
    if (borderStyle_ == bsNone)
        return 0;
    QStyleOptionFrame opt;
    opt.initFrom(this);
    return style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, this);
}

void TIPEdit::UpdateMargins() {
    const int fw = FrameWidth();
    setContentsMargins(fw, fw, fw, fw);
}

TIPEdit::TMetrics TIPEdit::Measure() const {
    const QFontMetrics fm = dots_[0]->fontMetrics();
    int widest = 0;
    for (char c = '0'; c <= '9'; ++c)
        widest = std::max(widest, fm.horizontalAdvance(QLatin1Char(c)));
    TMetrics m{};
    m.w = 3 * widest + FieldPadding;
    m.h = std::max(fm.height(), dots_[0]->sizeHint().height());
    m.d = fm.horizontalAdvance(QLatin1Char('.'));
    return m;
}

void TIPEdit::ArrangeFields() {
    if (arranging_)
        return;
    arranging_ = true;
    // Growing the box changes the client area, so the fields are placed
    // again; a maximum size that stops the growth ends it.
    for (int pass = 0; pass < 3; ++pass) {
        const TMetrics m = Measure();
        const QRect client = contentsRect();
        int w = m.w;
        if (!autoSize_)
            w = std::max(w, (client.width() - 3 * m.d) / 4);
        const int top = client.top() + (client.height() - m.h) / 2;
        for (int i = 0; i < FieldCount; ++i) {
            const int left = client.left() + i * (w + m.d);
            fields_[static_cast<std::size_t>(i)]->setGeometry(left, top, w, m.h);
            if (i < FieldCount - 1)
                dots_[static_cast<std::size_t>(i)]->setGeometry(left + w, top, m.d, m.h);
        }
        const int frameX = width() - client.width();
        const int frameY = height() - client.height();
        const int needWidth = 4 * w + 3 * m.d;
        QSize want = size();
        if (autoSize_)
            want = QSize(needWidth + frameX, m.h + frameY);
        else if (client.width() < needWidth)
            want.setWidth(needWidth + frameX);
        else if (client.height() < m.h)
            want.setHeight(m.h + frameY);
        if (want == size())
            break;
        const QSize before = size();
        resize(want);
        if (size() == before)
            break;
    }
    arranging_ = false;
}

QSize TIPEdit::minimumSizeHint() const {
    const TMetrics m = Measure();
    const int frame = 2 * FrameWidth();
    return {4 * m.w + 3 * m.d + frame, m.h + frame};
}

QSize TIPEdit::sizeHint() const {
    if (autoSize_)
        return minimumSizeHint();
    return QSize(125, 20).expandedTo(minimumSizeHint());
}

void TIPEdit::paintEvent(QPaintEvent* /*Event*/) {
    QPainter painter(this);
    QStyleOptionFrame opt;
    opt.initFrom(this);
    opt.lineWidth = FrameWidth();
    opt.midLineWidth = 0;
    opt.state |= QStyle::State_Sunken;
    opt.state.setFlag(QStyle::State_HasFocus, Focused());
    opt.state.setFlag(QStyle::State_ReadOnly, readOnly_);
    if (opt.lineWidth > 0)
        style()->drawPrimitive(QStyle::PE_PanelLineEdit, &opt, &painter, this);
    else
        painter.fillRect(rect(), opt.palette.base());
}

void TIPEdit::resizeEvent(QResizeEvent* Event) {
    QWidget::resizeEvent(Event);
    ArrangeFields();
}

void TIPEdit::changeEvent(QEvent* Event) {
    QWidget::changeEvent(Event);
    if (Event->type() == QEvent::StyleChange)
        UpdateMargins();
    if (Event->type() == QEvent::FontChange || Event->type() == QEvent::StyleChange) {
        updateGeometry();
        ArrangeFields();
    }
}

bool TIPEdit::eventFilter(QObject* Watched, QEvent* Event) {
    // The box draws the focus frame for whichever field has the focus.
    if (Event->type() == QEvent::FocusIn || Event->type() == QEvent::FocusOut)
        update();
    return QWidget::eventFilter(Watched, Event);
}
