#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// What a finished check changed against the last finished check of the same site with the same settings.
struct RunChange
{
    QString previous;    // when that earlier check finished, ISO 8601; empty when there was none
    QStringList newDead; // dead now, not dead then
    QStringList fixed;   // dead then, valid now or no longer linked

    bool isEmpty() const { return previous.isEmpty(); }
    // When the earlier check finished, as the user's clock reads it.
    QString previousShown() const
    {
        const QDateTime at = QDateTime::fromString(previous, Qt::ISODate);
        return at.isValid() ? at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : previous;
    }
};
