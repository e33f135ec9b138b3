#include "bannerpane.h"

#include <QFile>

BannerPane::BannerPane(QWidget* parent) : QTextBrowser(parent)
{
    setObjectName(QStringLiteral("wb_bottom"));
    setOpenExternalLinks(true);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFixedHeight(44);
    setSource(QUrl(bundledPage()));
}
