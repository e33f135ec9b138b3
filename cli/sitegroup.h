#pragma once

#include "options.h"
#include "overviewreport.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>

#include <vector>

class QProcess;

// Checks the sites of a group side by side, each in a kelvara-check process of its own: a process has
// its own event loop, so the waits of one site never hold up another, and a site whose pages break the
// check ends its own process, not the group. Each site gets an even share of --parallel, its own pacing,
// history, comparison and --notify post. Sites start in list order as places free up.
class SiteGroupRun : public QObject
{
    Q_OBJECT
public:
    SiteGroupRun(const CliOptions& options, const QStringList& sites, const QString& program,
                 QObject* parent = nullptr);
    ~SiteGroupRun() override;

    void start();
    // Starts no further site and asks the running ones to stop at their next stop point.
    void stop();

    const QList<SiteOutcome>& outcomes() const { return outcomes_; }
    // The JSON document of the `index`-th site on one line (a failed site's names the failure).
    const QByteArray& document(int index) const { return documents_[size_t(index)]; }
    qint64 elapsedMs() const { return clock_.elapsed(); }

    // The arguments of the process that checks `site` with `parallel` requests in flight, writing its
    // Html report to `report` (none when empty).
    static QStringList childArguments(const CliOptions& options, const QString& site, int parallel,
                                      const QString& report);

signals:
    void siteFinished(int index);
    void finished();

private:
    struct Child
    {
        QProcess* process = nullptr;
        QElapsedTimer clock;
        QByteArray pending; // its standard error not passed on yet: the start of a line
        QString lastLine;   // the last line it said there, which names why a child failed
    };

    void launchNext();
    void onChildFinished(int index);
    void passOnErrors(int index, bool all);
    void judge(int index, const QByteArray& output, bool exitedNormally, int code);

    CliOptions options_;
    QList<SiteOutcome> outcomes_;
    std::vector<QByteArray> documents_;
    std::vector<Child> children_;
    QString program_;
    int next_ = 0;
    int running_ = 0;
    int share_ = 1;
    bool stopping_ = false;
    QElapsedTimer clock_;
};
