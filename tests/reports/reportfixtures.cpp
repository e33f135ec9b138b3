#include "reportfixtures.h"

#include <QDir>
#include <QFile>

using namespace Qt::Literals::StringLiterals;

NodeRecord Unprobed(int depth, const QString& url, bool siteLink)
{
    NodeRecord record;
    record.depth = depth;
    record.url = url;
    record.siteLink = siteLink;
    return record;
}

NodeRecord Probed(int depth, const QString& url, qint64 queryTime, const QString& statusText)
{
    NodeRecord record = Unprobed(depth, url);
    record.probed = true;
    record.queryTime = queryTime;
    record.statusText = statusText;
    return record;
}

void Fill(ResultTree& tree, const TreeSpec& spec)
{
    int keyNumber = 1;
    for (const NodeSpec& n : spec) {
        tree.add(n.parent, keyNumber++, n.text, n.status, n.record, n.request);
    }
}

TreeSpec HomePageAlone()
{
    const QString home = u"http://www.example.com"_s;
    return {{0, home, NoStatus, Unprobed(0, home)}};
}

TreeSpec ProbedSite()
{
    const QString home = u"http://www.example.com"_s;
    return {
        {0, home, StatusValid, Probed(0, home, 120, u"OK"_s)},
        {1, u"/a.html"_s, StatusValid, Probed(1, home + u"/a.html", 35, u"OK"_s)},
        {2, u"gone.html"_s, StatusDead, Probed(2, home + u"/gone.html", 235, u"Not Found"_s)},
        {1, u"http://other.example.org/"_s, NoStatus, Unprobed(1, u"http://other.example.org/"_s, false)},
        {2, u"b.html"_s, 7, Probed(2, home + u"/b.html", 40, QString())},
    };
}

TreeSpec ResourceLinks()
{
    const QString home = u"http://www.example.com"_s;
    NodeRecord image = Probed(1, home + u"/a.png", 12, u"Not Found"_s);
    image.kind = LinkKind::Image;
    NodeRecord script = Unprobed(1, home + u"/a.js");
    script.kind = LinkKind::Script;
    return {
        {0, home, StatusValid, Probed(0, home, 88, u"OK"_s)},
        {1, u"a.png"_s, StatusDead, image},
        {1, u"a.js"_s, NoStatus, script},
    };
}

TreeSpec TimedOutLink()
{
    const QString home = u"http://www.example.com"_s;
    return {
        {0, home, StatusValid, Probed(0, home, 88, u"OK"_s)},
        {1, u"slow.php"_s, StatusTimedOut, Probed(1, home + u"/slow.php", 11000, u"查询超时"_s)},
    };
}

TreeSpec DeadLinkList()
{
    const QString home = u"http://www.example.com"_s;
    return {
        {0, u"/news.html(新闻中心)"_s, StatusValid, Probed(1, home + u"/news.html", 60, u"OK"_s)},
        {1, u"old.html"_s, StatusDead, Probed(2, home + u"/old.html", 12, u"Not Found"_s)},
        {0, u"/about.html"_s, StatusValid, Probed(1, home + u"/about.html", 70, u"OK"_s)},
        {3, u"http://gone.example.net/"_s, StatusDead, Probed(2, u"http://gone.example.net/"_s, 3000, QString())},
    };
}

TreeSpec HomePageProbedIn(qint64 queryTime)
{
    const QString home = u"http://www.example.com"_s;
    return {{0, home, StatusValid, Probed(0, home, queryTime, u"OK"_s)}};
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList FilesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

ReadOnlyFolder::ReadOnlyFolder(const QString& folder) : folder_(folder)
{
    QFile(folder).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QFile probe(QDir(folder).filePath(u"probe"_s));
    holds_ = !probe.open(QIODevice::WriteOnly);
    if (!holds_) {
        probe.remove();
    }
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    QFile(folder_).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}
