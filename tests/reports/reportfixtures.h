#pragma once

#include "resulttree.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

// One node to add to a result list: under `parent` (0: top level), with the next key number.
struct NodeSpec
{
    int parent = 0;
    QString text;
    int status = NoStatus;
    NodeRecord record;
    QString request = {}; // what a browser requests, when it differs from record.url
};
using TreeSpec = QList<NodeSpec>;
Q_DECLARE_METATYPE(TreeSpec)

NodeRecord Unprobed(int depth, const QString& url, bool siteLink = true);
NodeRecord Probed(int depth, const QString& url, qint64 queryTime, const QString& statusText);
void Fill(ResultTree& tree, const TreeSpec& spec);

// Result lists that the report tests share.
TreeSpec HomePageAlone();
TreeSpec ProbedSite();   // valid pages, a dead link two levels down, an unprobed link, an odd code
TreeSpec TimedOutLink(); // the home page and one link whose probe timed out
TreeSpec ResourceLinks(); // the home page, a dead image and an unprobed script
TreeSpec DeadLinkList(); // two top-level pages, each with a dead link
TreeSpec HomePageProbedIn(qint64 queryTime);

QByteArray ReadAll(const QString& path);
bool WriteBytes(const QString& path, const QByteArray& bytes);
QStringList FilesIn(const QString& folder); // hidden ones included

// Takes the write permission of a folder away for its lifetime.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString& folder);
    ~ReadOnlyFolder();
    Q_DISABLE_COPY_MOVE(ReadOnlyFolder)
    // False when the current user writes there all the same (root does).
    bool holds() const { return holds_; }

private:
    QString folder_;
    bool holds_ = false;
};
