#include "statusicons.h"

#include "resulttree.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>

namespace {

void drawTick(QPainter& p, qreal s)
{
    QPainterPath path;
    path.moveTo(0.27 * s, 0.52 * s);
    path.lineTo(0.44 * s, 0.69 * s);
    path.lineTo(0.74 * s, 0.33 * s);
    p.drawPath(path);
}

void drawCross(QPainter& p, qreal s)
{
    p.drawLine(QPointF(0.32 * s, 0.32 * s), QPointF(0.68 * s, 0.68 * s));
    p.drawLine(QPointF(0.68 * s, 0.32 * s), QPointF(0.32 * s, 0.68 * s));
}

void drawClock(QPainter& p, qreal s)
{
    p.drawLine(QPointF(0.5 * s, 0.5 * s), QPointF(0.5 * s, 0.26 * s));
    p.drawLine(QPointF(0.5 * s, 0.5 * s), QPointF(0.7 * s, 0.6 * s));
}

QColor discColour(int code)
{
    switch (code) {
    case StatusDead:
        return QColor(214, 40, 40);
    case StatusValid:
        return QColor(46, 160, 67);
    case StatusTimedOut:
        return QColor(230, 150, 20);
    default:
        return {};
    }
}

} // namespace

QPixmap StatusIcons::pixmap(int statusCode, int size)
{
    const QColor disc = discColour(statusCode);
    if (!disc.isValid() || size <= 0) {
        return {};
    }
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    p.setPen(QPen(disc.darker(130), qMax(1.0, s / 16)));
    p.setBrush(disc);
    p.drawEllipse(QRectF(0.06 * s, 0.06 * s, 0.88 * s, 0.88 * s));
    QPen mark(Qt::white, qMax(1.5, s / 8), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(mark);
    p.setBrush(Qt::NoBrush);
    if (statusCode == StatusValid) {
        drawTick(p, s);
    } else if (statusCode == StatusDead) {
        drawCross(p, s);
    } else {
        drawClock(p, s);
    }
    return pm;
}

QIcon StatusIcons::icon(int statusCode)
{
    static QHash<int, QIcon> cache;
    const auto it = cache.constFind(statusCode);
    if (it != cache.constEnd()) {
        return *it;
    }
    QIcon icon;
    for (int size : {16, 24, 32, 48}) {
        const QPixmap pm = pixmap(statusCode, size);
        if (!pm.isNull()) {
            icon.addPixmap(pm);
        }
    }
    cache.insert(statusCode, icon);
    return icon;
}
