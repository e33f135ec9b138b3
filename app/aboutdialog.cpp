#include "aboutdialog.h"

#include "abouttexts.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {

QLabel* line(const QString& objectName, const QString& text)
{
    auto* label = new QLabel(text);
    label->setObjectName(objectName);
    label->setWordWrap(true);
    return label;
}

void drawPage(QPainter& p, qreal s)
{
    QPainterPath page;
    page.moveTo(0.18 * s, 0.08 * s);
    page.lineTo(0.62 * s, 0.08 * s);
    page.lineTo(0.78 * s, 0.24 * s);
    page.lineTo(0.78 * s, 0.90 * s);
    page.lineTo(0.18 * s, 0.90 * s);
    page.closeSubpath();
    p.setPen(QPen(QColor(0, 0, 128), 0.025 * s));
    p.setBrush(QColor(245, 248, 255));
    p.drawPath(page);
    p.setPen(QPen(QColor(170, 180, 210), 0.02 * s));
    for (qreal y : {0.30, 0.40, 0.50}) {
        p.drawLine(QPointF(0.28 * s, y * s), QPointF(0.68 * s, y * s));
    }
}

void drawChain(QPainter& p, qreal s)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0, 128, 64), 0.045 * s, Qt::SolidLine, Qt::RoundCap));
    p.drawRoundedRect(QRectF(0.22 * s, 0.60 * s, 0.22 * s, 0.12 * s), 0.06 * s, 0.06 * s);
    p.drawRoundedRect(QRectF(0.36 * s, 0.66 * s, 0.22 * s, 0.12 * s), 0.06 * s, 0.06 * s);
    // The last ring is broken open: the dead link.
    p.setPen(QPen(QColor(220, 0, 0), 0.045 * s, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(0.52 * s, 0.60 * s, 0.22 * s, 0.12 * s), 30 * 16, 260 * 16);
}

void drawGlass(QPainter& p, qreal s)
{
    p.setPen(QPen(QColor(192, 64, 0), 0.06 * s, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(0.80 * s, 0.80 * s), QPointF(0.94 * s, 0.94 * s));
    p.setPen(QPen(QColor(192, 64, 0), 0.04 * s));
    p.setBrush(QColor(255, 255, 255, 90));
    p.drawEllipse(QPointF(0.66 * s, 0.66 * s), 0.17 * s, 0.17 * s);
}

} // namespace

QPixmap AboutPicture(int size)
{
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    drawPage(p, s);
    drawChain(p, s);
    drawGlass(p, s);
    return picture;
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("about"));
    setWindowTitle(AboutText::title());
    setModal(true);

    auto* image = new QLabel;
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(AboutPicture(96));
    image->setAlignment(Qt::AlignTop);

    QLabel* product = line(QStringLiteral("Label1"), AboutText::product());
    QFont big = product->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    product->setFont(big);

    auto* rule = new QFrame;
    rule->setObjectName(QStringLiteral("Line1"));
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);

    auto* text = new QVBoxLayout;
    text->addWidget(product);
    text->addWidget(line(QStringLiteral("Label2"), AboutText::thanks()));
    text->addWidget(rule);
    text->addWidget(line(QStringLiteral("Label3"), AboutText::legal()));
    text->addWidget(line(QStringLiteral("Label4"), AboutText::maker()));
    text->addStretch(1);

    auto* row = new QHBoxLayout(this);
    row->addWidget(image);
    row->addLayout(text, 1);
    setMinimumWidth(460);
}
