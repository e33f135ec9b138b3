#pragma once

#include "exportcommands.h"
#include "helppage.h"
#include "webcommands.h"

class LinkStore;
class Toolkit;

// The window's web-page, about and export commands on the desktop: pages open in the user's browser
// through the toolkit, the online help from the copy bundled with the program, the about window
// modally, and the exports through the export commands.
class DesktopCommands : public WebCommands
{
public:
    DesktopCommands(Toolkit& toolkit, const LinkStore& store, const QString& helpFolder = HelpPage::defaultFolder());

    void openPage(Page page) override;
    void showAbout(QWidget* owner) override;
    // Only web addresses are handed to the desktop: the text comes from a crawled page, and a file
    // path or another scheme in it must not start a program on the user's machine.
    void openAddress(const QString& address) override;
    void exportReport(Report report, const ResultTree& list) override;

private:
    Toolkit& toolkit_;
    ExportCommands exports_;
    HelpPage help_;
};

// Whether `address` is an http or https address that a browser can be asked to open.
bool IsWebAddress(const QString& address);
