#pragma once

#include <QTextBrowser>

// The banner at the bottom of the window. It shows the banner page that comes with the program, so
// it needs no network and never shows an error page; its links open in the user's browser.
class BannerPane : public QTextBrowser
{
    Q_OBJECT
public:
    explicit BannerPane(QWidget* parent = nullptr);

    static QString bundledPage() { return QStringLiteral("qrc:/kelvara/banner.html"); }
};
