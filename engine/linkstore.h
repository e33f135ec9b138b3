#pragma once

#include "resulttree.h"
#include "runchange.h"

#include <QObject>
#include <QString>

#include <array>
#include <vector>

// A drop-down list of URLs whose entries point back at nodes of the full result list.
class UrlList : public QObject
{
    Q_OBJECT
public:
    struct Entry
    {
        QString url;
        qint32 data = 0; // index of the node in the full result list
    };

    explicit UrlList(QObject* parent = nullptr) : QObject(parent) {}

    int count() const { return static_cast<int>(entries_.size()); }
    const Entry& entry(int row) const { return entries_[static_cast<size_t>(row)]; }
    const std::vector<Entry>& entries() const { return entries_; }
    void add(const QString& url, qint32 data);
    void clear();

signals:
    void entryAdded(int row);
    void cleared();

private:
    std::vector<Entry> entries_;
};

// Everything a check run knows about the links of the site under check: the full result list, the
// dead-link list, the timeout and dead URL lists, the resume positions and the five status-bar texts.
// The check run is the only writer; views and reports read it and follow its change signals.
class LinkStore : public QObject
{
    Q_OBJECT
public:
    enum Resume { Badlink1, Badlink2, Badlink3, Badlinkdep };

    explicit LinkStore(QObject* parent = nullptr);

    ResultTree& full() { return full_; }
    const ResultTree& full() const { return full_; }
    ResultTree& dead() { return dead_; }
    const ResultTree& dead() const { return dead_; }
    UrlList& timeouts() { return timeouts_; } // Combo1
    const UrlList& timeouts() const { return timeouts_; }
    UrlList& deads() { return deads_; } // Combo2
    const UrlList& deads() const { return deads_; }

    // Status-bar panels, numbered 1 to 5.
    QString panel(int number) const;
    void setPanel(int number, const QString& text);

    // What the run waits for beside the panels: a server that asked it to slow down; empty when nothing.
    QString waitNote() const { return waitNote_; }
    void setWaitNote(const QString& text);

    // Links tested so far: the number panel 3 shows, 0 when it shows none.
    qint64 testedCount() const;

    QString resume(Resume which) const { return resume_[which]; }
    void setResume(Resume which, const QString& text);
    void emptyResume();

    // Index of the first node of the full result list requested as `url` (trimmed); 0 when none.
    int checktext(QStringView url) const;
    int checktext(const QString& url) const { return full_.findUrl(url); }
    // True when a node of the dead-link list has the key `key` (both trimmed of spaces).
    bool checkkey(QStringView key) const;

    // 1. Starts the full result list with the home page of `site`.
    void startList(const QString& site);
    // 2. Adds a link node under page node `page`; returns its index, or 0 when `page` is gone. `request`
    // is the address a browser requests for it, when that differs from `url`.
    int addLinkNode(int page, const QString& text, int depth, const QString& url, bool siteLink,
                    const QString& anchorText = {}, const QString& request = {}, LinkKind kind = LinkKind::Page);
    // 3. Records a probe outcome on node `n`: status code, and the probe fields unless it has them.
    void recordProbe(int n, int status, qint64 queryTime, const QString& statusText, int httpStatus = 0,
                     bool contentDead = false);
    // Gives node `n` the verdict node `from` already has (status, probe fields, dead-link entry), so that
    // a repeated URL is not probed again; false when `from` has none.
    bool copyVerdict(int n, int from);
    // 5. Adds dead node `n` of the full result list to the dead-link list, page node first.
    void addDeadLink(int n);
    // 6. Marks node `n` crawled.
    void markCrawled(int n);
    // Node `n`'s page was drawn by the browser (or, with a `failure`, could not be: see ResultTree).
    void markRendered(int n, const QString& failure = {});
    // Pages drawn by the browser in this run.
    int renderedCount() const { return rendered_; }
    // 8. Clears both tree lists (the URL lists are cleared through timeouts() and deads()).
    void clearTrees();
    // Everything a "clear results" empties, in that order.
    void clearResults();
    // How many times the results were cleared: an answer that was awaited across a change of it belongs
    // to results that are gone.
    quint64 clearCount() const { return clearCount_; }

    // What the finished run changed since the last check of the site; empty until a run has finished
    // with an earlier one to compare with, and again once the trees are cleared.
    const RunChange& change() const { return change_; }
    void setChange(const RunChange& change);

    // "http://" + site, unless the site text already names its scheme.
    static QString homeUrl(const QString& site);

signals:
    void panelChanged(int number, const QString& text);
    void resumeChanged();
    void waitNoteChanged(const QString& text);
    void renderedChanged(int count);
    void changeChanged();

private:
    ResultTree full_;
    ResultTree dead_;
    UrlList timeouts_;
    UrlList deads_;
    std::array<QString, 5> panels_;
    QString waitNote_;
    int rendered_ = 0;
    std::array<QString, 4> resume_;
    quint64 clearCount_ = 0;
    RunChange change_;
};
