#pragma once

#include <QString>
#include <QStringList>

// What a finished check changed against the last finished check of the same site with the same settings.
struct RunChange
{
    QString previous;    // when that earlier check finished, ISO 8601; empty when there was none
    QStringList newDead; // dead now, not dead then
    QStringList fixed;   // dead then, valid now or no longer linked

    bool isEmpty() const { return previous.isEmpty(); }
};
