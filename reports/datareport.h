#pragma once

#include "checksettings.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

class LinkStore;
class ResultTree;

// A run's results for programs rather than people: one JSON document (the run's settings, the summary
// counts and every link node in tree order) or the same links as CSV rows (RFC 4180, UTF-8, a header
// line). The store is only read.
class DataReport
{
public:
    DataReport(const LinkStore& store, const QString& site, const CheckSettings& settings);

    QByteArray json() const;
    QByteArray csv() const;

    // The fields of every link, in column order. A field added to a link goes here and into link(), and
    // so reaches both formats.
    QStringList linkFields() const;
    QJsonObject link(int index) const;

    // Machine-readable class and the status word shown to people, per status code.
    static QString statusClass(int status);
    static QString statusWord(int status);
    static int excludedCount(const ResultTree& list);

private:
    QJsonObject settingsObject() const;
    QJsonObject summaryObject() const;
    // Node indices of the full result list, depth first: each page followed by the links found on it.
    std::vector<int> treeOrder() const;

    const LinkStore& store_;
    QString site_;
    CheckSettings settings_;
};
