#include "desktopcommands.h"

#include "aboutdialog.h"
#include "toolkit.h"
#include "webpages.h"

#include <QUrl>

DesktopCommands::DesktopCommands(Toolkit& toolkit, const LinkStore& store, const QString& helpFolder)
    : toolkit_(toolkit), exports_(toolkit, store), help_(helpFolder)
{
}

void DesktopCommands::openPage(Page page)
{
    if (page == Page::OnlineHelp) {
        const QString path = help_.writeOut();
        if (!path.isEmpty()) {
            toolkit_.OpenUrl(QUrl::fromLocalFile(path).toString(), NoProgramNotice(toolkit_, path));
            return;
        }
        // Nowhere to write the bundled copy to: the maker's help page is the next best thing.
    }
    toolkit_.OpenUrl(PageAddress(page), NoProgramNotice(toolkit_, PageAddress(page)));
}

void DesktopCommands::showAbout(QWidget* owner)
{
    AboutDialog about(owner);
    about.exec();
}

void DesktopCommands::openAddress(const QString& address)
{
    if (IsWebAddress(address)) {
        toolkit_.OpenUrl(address, NoProgramNotice(toolkit_, address));
    }
}

void DesktopCommands::exportReport(Report report, const ResultTree& list)
{
    exports_.exportReport(report, list);
}

bool IsWebAddress(const QString& address)
{
    const QUrl url(address.trimmed());
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == u"http" || scheme == u"https");
}
