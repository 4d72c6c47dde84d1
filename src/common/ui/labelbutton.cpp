#include "labelbutton.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace velmira {

LabelButton::LabelButton(const QString &text, QWidget *parent)
    : QAbstractButton(parent), m_fill(192, 220, 192)
{
    setText(text);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void LabelButton::setFill(const QColor &fill)
{
    m_fill = fill;
    update();
}

void LabelButton::setBoldItalic(bool on)
{
    QFont f = font();
    f.setBold(on);
    f.setItalic(on);
    setFont(f);
}

void LabelButton::setFlat(bool on)
{
    m_flat = on;
    update();
}

QSize LabelButton::sizeHint() const
{
    const QFontMetrics fm(font());
    return {fm.horizontalAdvance(text()) + 24, fm.height() + 8};
}

void LabelButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QColor fill = m_fill;
    if (isDown())
        fill = fill.darker(115);
    else if (underMouse() && isEnabled())
        fill = fill.lighter(106);
    if (!m_flat) {
        p.setPen(QPen(palette().color(QPalette::Dark), 1));
        p.setBrush(fill);
        p.drawRoundedRect(box, 7, 7);
    }
    p.setPen(isEnabled() ? QColor(Qt::black) : palette().color(QPalette::Disabled, QPalette::WindowText));
    p.setFont(font());
    p.drawText(rect(), m_flat ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter, text());
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, this);
    }
}

} // namespace velmira
