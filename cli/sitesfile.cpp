#include "sitesfile.h"

#include "urlops.h"

#include <QFile>

using namespace Qt::StringLiterals;

bool ReadSitesFile(const QString& fileName, QStringList* sites, QString* error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = u"cannot read the sites file "_s + fileName + u": "_s + file.errorString();
        return false;
    }
    QString text = QString::fromUtf8(file.readAll());
    if (text.startsWith(QChar::ByteOrderMark)) {
        text.remove(0, 1); // as editors on Windows write UTF-8
    }
    const QStringList lines = text.split(u'\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QString site = lines[n];
        if (const qsizetype comment = site.indexOf(u" #"_s); comment >= 0) {
            site.truncate(comment);
        }
        site = site.trimmed();
        if (site.isEmpty() || site.startsWith(u'#')) {
            continue;
        }
        if ((site.contains(u"://") && !IsHttpUrl(site)) || site.contains(QChar::Space)) {
            *error = fileName + u":"_s + QString::number(n + 1) + u": not a site address: \""_s + site + u'"';
            return false;
        }
        sites->append(site);
    }
    if (sites->isEmpty()) {
        *error = u"the sites file "_s + fileName + u" lists no site"_s;
        return false;
    }
    return true;
}

QStringList ShardOf(const QStringList& sites, int index, int count)
{
    QStringList part;
    for (qsizetype i = index; i < sites.size(); i += count) {
        part << sites[i];
    }
    return part;
}
