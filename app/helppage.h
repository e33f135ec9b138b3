#pragma once

#include <QByteArray>
#include <QString>

// The help page that ships inside the program. "在线帮助" shows it in the user's browser, which can
// only open a file on disk, so the page is written out to a folder of the user's first. That way the
// help works without a network and always matches the program that shows it.
class HelpPage
{
public:
    // `folder` receives the page; it is created when missing.
    explicit HelpPage(QString folder);

    // The user's cache folder for the program.
    static QString defaultFolder();
    // The page as bundled (UTF-8 Html).
    static QByteArray bundled();

    // Writes the bundled page into the folder, replacing an older or edited copy, and returns its
    // path; empty when it could not be written.
    QString writeOut() const;

private:
    QString folder_;
};
