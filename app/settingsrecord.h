#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The settings record: six fields joined by "|" (depth, subdomains, no repeats, link text, timeout
// text, position of the checked site). Reading keeps what parses and leaves the rest unset, so a
// short or damaged record still gives what it can.
struct SettingsRecord
{
    std::optional<int> depth;       // 0 to 5
    std::optional<bool> subdomains; // check box values 0 or 1
    std::optional<bool> noRepeats;
    std::optional<bool> linkText;
    std::optional<QString> timeout; // the timeout box's text, verbatim
    std::optional<int> checkedSite; // 1-based, 0 for none

    static QString defaultText() { return QStringLiteral("1|0|1|0|10|0"); }
    static SettingsRecord parse(const QString& text);
    // The record of six fields; an unset field is written with its default.
    QString format() const;
};

// The stored site list: "$" before every site, the empty text for no site.
QString EncodeSites(const QStringList& sites);
QStringList DecodeSites(const QString& text);
