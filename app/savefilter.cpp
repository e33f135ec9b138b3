#include "savefilter.h"

#include <QFileInfo>
#include <QStringList>

QString QtNameFilter(const QString& pairs)
{
    const QStringList parts = pairs.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QStringList patterns = parts.value(i + 1).split(u';', Qt::SkipEmptyParts);
        for (QString& p : patterns) {
            p = p.trimmed();
        }
        const QString joined = patterns.join(u' ');
        if (joined.isEmpty()) {
            filters.append(description);
        } else if (description.endsWith(u'(' + joined + u')')) {
            // The description already names its patterns, which is where Qt reads them from.
            filters.append(description);
        } else {
            filters.append(description + QStringLiteral(" (") + joined + u')');
        }
    }
    return filters.join(QStringLiteral(";;"));
}

QString SuffixOf(const QString& defaultExt)
{
    QString suffix = defaultExt.trimmed();
    while (suffix.startsWith(u'*') || suffix.startsWith(u'.')) {
        suffix.remove(0, 1);
    }
    return suffix;
}

QString WithDefaultExtension(const QString& path, const QString& defaultExt)
{
    const QString suffix = SuffixOf(defaultExt);
    if (path.isEmpty() || suffix.isEmpty() || QFileInfo(path).fileName().contains(u'.')) {
        return path;
    }
    return path + u'.' + suffix;
}
