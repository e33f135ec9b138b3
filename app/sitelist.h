#pragma once

#include <QObject>
#include <QStringList>

class SiteListView;
class Toolkit;

// Why `text` cannot be the address of a site to check, as the message that says so; empty when it can.
// A site is a host, with a port and a path or not, and with "http://" or "https://" in front or not.
QString SiteAddressProblem(const QString& text);

// The user's sites: add, delete, edit in place, check and click, with the messages of each, and the
// position of the checked site. Whatever must be stored is asked for through the two signals.
class SiteList : public QObject
{
    Q_OBJECT
public:
    SiteList(SiteListView& view, Toolkit& toolkit, QObject* parent = nullptr);

    // Start-up filling: the sites in order, the one at `checkedIndex` (1-based) checked, not selected.
    void load(const QStringList& sites, int checkedIndex);
    QStringList sites() const;
    // The first checked site's text; empty when none is checked.
    QString checkedSite(bool* found) const;
    int checkedSiteIndex() const { return checkedSiteIndex_; }
    void setCheckedSiteIndex(int index) { checkedSiteIndex_ = index; }

    void add();    // Command3
    void remove(); // Command4
    bool edit(int row, const QString& newText);
    void check(int row);
    void click(int row);

signals:
    void saveSitesRequested();
    void saveSettingsRequested();
    // Site `site` was deleted from the list.
    void siteRemoved(const QString& site);
    // The user ticked a site, or cleared the tick.
    void tickChanged();

private:
    bool anyChecked() const;
    // Shows why `text` cannot be a site's address, if it cannot.
    bool refuses(const QString& text);
    void select(int row);

    SiteListView& view_;
    Toolkit& toolkit_;
    int checkedSiteIndex_ = 0;
};
