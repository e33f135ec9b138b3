#include "sitelist.h"

#include "maintexts.h"
#include "siteaddress.h"
#include "sitelistview.h"
#include "textops.h"
#include "toolkit.h"
#include "urlops.h"

QString SiteAddressProblem(const QString& text)
{
    switch (FindSiteAddressFault(text)) {
    case SiteAddressFault::Blank:
        return MainText::siteBlank();
    case SiteAddressFault::Scheme:
        return MainText::siteScheme();
    case SiteAddressFault::Port:
        return MainText::sitePort();
    case SiteAddressFault::NoHost:
        return MainText::siteNoHost();
    case SiteAddressFault::None:
        break;
    }
    return {};
}

SiteList::SiteList(SiteListView& view, Toolkit& toolkit, QObject* parent)
    : QObject(parent), view_(view), toolkit_(toolkit)
{
    view_.setEditJudge([this](int row, const QString& text) { return edit(row, text); });
    connect(&view_, &SiteListView::checkToggled, this, &SiteList::check);
    connect(&view_, &SiteListView::rowClicked, this, &SiteList::click);
}

void SiteList::load(const QStringList& sites, int checkedIndex)
{
    view_.clear();
    for (const QString& site : sites) {
        view_.appendSite(site);
    }
    if (checkedIndex >= 1 && checkedIndex <= view_.count()) {
        view_.setChecked(checkedIndex - 1, true);
    }
}

QStringList SiteList::sites() const
{
    QStringList list;
    for (int row = 0; row < view_.count(); ++row) {
        list.append(view_.siteText(row));
    }
    return list;
}

QString SiteList::checkedSite(bool* found) const
{
    for (int row = 0; row < view_.count(); ++row) {
        if (view_.isChecked(row)) {
            *found = true;
            return view_.siteText(row);
        }
    }
    *found = false;
    return {};
}

bool SiteList::anyChecked() const
{
    bool found = false;
    checkedSite(&found);
    return found;
}

bool SiteList::refuses(const QString& text)
{
    const QString problem = text.contains(u'$') ? MainText::noDollar() : SiteAddressProblem(text);
    if (problem.isEmpty()) {
        return false;
    }
    toolkit_.MsgBox(problem, MsgButtons::Ok, MsgIcon::Information, MainText::notice());
    return true;
}

void SiteList::select(int row)
{
    view_.setCurrentItem(view_.topLevelItem(row));
}

void SiteList::add()
{
    const QString answer = toolkit_.InputBox(MainText::addPrompt(), MainText::addTitle(), QString());
    // A cancelled box gives a null text, an empty entry an empty one, which is refused with a reason.
    if (!answer.isNull() && !refuses(answer)) {
        if (!SiteExists(answer, sites())) {
            view_.appendSite(TrimSpaces(answer));
            view_.showNew(view_.count() - 1);
        } else {
            toolkit_.MsgBox(MainText::addDuplicate(), MsgButtons::Ok, MsgIcon::Information, MainText::notice());
        }
    }
    emit saveSitesRequested();
}

void SiteList::remove()
{
    if (!anyChecked()) {
        toolkit_.MsgBox(MainText::chooseToDelete(), MsgButtons::Ok, MsgIcon::Information, MainText::notice());
        return;
    }
    bool removed = false;
    int row = 0;
    while (row < view_.count()) {
        if (view_.isChecked(row) &&
            toolkit_.MsgBox(MainText::reallyDelete(), MsgButtons::YesNoCancel, MsgIcon::None, MainText::appTitle()) ==
                MsgResult::Yes) {
            const QString site = view_.siteText(row);
            delete view_.takeTopLevelItem(row);
            removed = true;
            emit siteRemoved(site);
            row = 0;
            continue;
        }
        ++row;
    }
    if (!removed) {
        return;
    }
    emit saveSitesRequested();
    // Only checked sites are deleted: keeping the old position would check its successor next time.
    checkedSiteIndex_ = 0;
    emit saveSettingsRequested();
}

bool SiteList::edit(int row, const QString& newText)
{
    if (newText == view_.siteText(row)) {
        return false; // nothing changed: no duplicate to report, nothing to store
    }
    if (refuses(newText)) {
        return false;
    }
    if (SiteExists(newText, sites())) {
        toolkit_.MsgBox(MainText::editDuplicate(), MsgButtons::Ok, MsgIcon::Information, MainText::notice());
        return false;
    }
    QTreeWidgetItem* item = view_.topLevelItem(row);
    if (!item) {
        return false;
    }
    item->setText(0, newText);
    emit saveSitesRequested();
    return true;
}

void SiteList::check(int row)
{
    const bool nowChecked = view_.isChecked(row);
    for (int other = 0; other < view_.count(); ++other) {
        if (other != row) {
            view_.setChecked(other, false);
        }
    }
    select(row);
    checkedSiteIndex_ = nowChecked ? row + 1 : 0;
    emit saveSettingsRequested();
    emit tickChanged();
}

void SiteList::click(int row)
{
    if (row < 0 || row >= view_.count()) {
        return;
    }
    for (int other = 0; other < view_.count(); ++other) {
        view_.setChecked(other, other == row);
    }
    checkedSiteIndex_ = row + 1;
    emit saveSettingsRequested();
    emit tickChanged();
}
