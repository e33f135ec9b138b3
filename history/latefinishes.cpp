#include "latefinishes.h"

#include "historydb.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace {

QString prefix(const QString& historyPath)
{
    return QFileInfo(historyPath).fileName() + u".finished-"_s;
}

QJsonObject toJson(const FinishedCheck& c)
{
    return {{u"run"_s, c.run},
            {u"owner"_s, c.owner},
            {u"site"_s, c.site},
            {u"settings"_s, HistoryDb::settingsText(c.settings)},
            {u"finished"_s, c.finished},
            {u"dead"_s, QJsonArray::fromStringList(c.dead)},
            {u"view"_s, QString::fromLatin1(c.view.toBase64())}};
}

bool fromJson(const QByteArray& bytes, FinishedCheck* c)
{
    const QJsonObject o = QJsonDocument::fromJson(bytes).object();
    if (!o.value(u"site"_s).isString() || !o.value(u"finished"_s).isString()) {
        return false;
    }
    c->run = o.value(u"run"_s).toInteger();
    c->owner = o.value(u"owner"_s).toString();
    c->site = o.value(u"site"_s).toString();
    c->settings = HistoryDb::parseSettings(o.value(u"settings"_s).toString());
    c->finished = o.value(u"finished"_s).toString();
    c->view = QByteArray::fromBase64(o.value(u"view"_s).toString().toLatin1());
    for (const QJsonValue& v : o.value(u"dead"_s).toArray()) {
        c->dead << v.toString();
    }
    return true;
}

} // namespace

namespace LateFinishes {

QString Keep(const QString& historyPath, const FinishedCheck& check, QString* error)
{
    const QString name = QFileInfo(historyPath).absolutePath() + u'/' + prefix(historyPath) +
                         QUuid::createUuid().toString(QUuid::WithoutBraces) + u".json"_s;
    QSaveFile file(name);
    // The URLs checked are the user's business alone, as in the history itself.
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(QJsonDocument(toJson(check)).toJson(QJsonDocument::Compact)) < 0 || !file.commit()) {
        *error = u"cannot write "_s + name + u": "_s + file.errorString();
        return {};
    }
    return name;
}

QList<Kept> Waiting(const QString& historyPath)
{
    QList<Kept> kept;
    const QDir folder = QFileInfo(historyPath).absoluteDir();
    const QStringList names =
        folder.entryList({prefix(historyPath) + u"*.json"_s}, QDir::Files, QDir::Time | QDir::Reversed);
    for (const QString& name : names) {
        QFile file(folder.filePath(name));
        Kept k{file.fileName(), {}};
        if (file.open(QIODevice::ReadOnly) && fromJson(file.readAll(), &k.check)) {
            kept << k;
        }
    }
    return kept;
}

} // namespace LateFinishes
