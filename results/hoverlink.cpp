#include "hoverlink.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

QCursor LinkCursor()
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath arrow;
    arrow.moveTo(1, 1);
    arrow.lineTo(1, 19);
    arrow.lineTo(6, 14);
    arrow.lineTo(10, 22);
    arrow.lineTo(13, 20);
    arrow.lineTo(9, 13);
    arrow.lineTo(15, 13);
    arrow.closeSubpath();
    p.setPen(QPen(Qt::black, 1.2));
    p.setBrush(Qt::white);
    p.drawPath(arrow);
    // Two interlocked rings: a chain link.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(192, 64, 0), 2.2));
    p.drawEllipse(QRectF(15, 19, 9, 6));
    p.drawEllipse(QRectF(21, 23, 9, 6));
    p.end();
    return QCursor(pm, 1, 1);
}

HoverLinkLabel::HoverLinkLabel(const QString& objectName, const QString& text, Style style, QWidget* parent)
    : QLabel(text, parent), style_(style)
{
    setObjectName(objectName);
    setCursor(LinkCursor());
    setPlain();
}

void HoverLinkLabel::setLook(const QColor& colour, bool italic, bool underline)
{
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, colour);
    setPalette(pal);
    QFont f = font();
    f.setItalic(italic);
    f.setUnderline(underline);
    setFont(f);
}

void HoverLinkLabel::setPlain()
{
    hovered_ = false;
    if (style_ == Style::RedItalic) {
        setLook(QColor(192, 64, 0), false, false);
    } else {
        setLook(QColor(0, 0, 128), false, false);
    }
}

void HoverLinkLabel::setHovered()
{
    hovered_ = true;
    if (style_ == Style::RedItalic) {
        setLook(QColor(255, 0, 0), true, false);
    } else {
        setLook(QColor(0, 0, 128), false, true);
        setToolTip(text());
    }
}

void HoverLinkLabel::enterEvent(QEnterEvent* event)
{
    setHovered();
    QLabel::enterEvent(event);
}

void HoverLinkLabel::leaveEvent(QEvent* event)
{
    setPlain();
    QLabel::leaveEvent(event);
}

void HoverLinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
    }
    QLabel::mouseReleaseEvent(event);
}
