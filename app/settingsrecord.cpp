#include "settingsrecord.h"

#include "textops.h"

namespace {

std::optional<int> intField(const QStringList& fields, int i, int lowest, int highest)
{
    int value = 0;
    if (i >= fields.size() || !ParseInt(fields[i], &value) || value < lowest || value > highest) {
        return std::nullopt;
    }
    return value;
}

std::optional<bool> boxField(const QStringList& fields, int i)
{
    const std::optional<int> v = intField(fields, i, 0, 1);
    return v ? std::optional<bool>(*v == 1) : std::nullopt;
}

QString box(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

SettingsRecord SettingsRecord::parse(const QString& text)
{
    const QStringList fields = text.split(u'|');
    SettingsRecord r;
    r.depth = intField(fields, 0, 0, 5);
    r.subdomains = boxField(fields, 1);
    r.noRepeats = boxField(fields, 2);
    r.linkText = boxField(fields, 3);
    if (fields.size() > 4) {
        r.timeout = fields[4];
    }
    r.checkedSite = intField(fields, 5, 0, 32767);
    return r;
}

QString SettingsRecord::format() const
{
    const QChar bar = u'|';
    return QString::number(depth.value_or(1)) + bar + box(subdomains.value_or(false)) + bar +
           box(noRepeats.value_or(true)) + bar + box(linkText.value_or(false)) + bar +
           timeout.value_or(QStringLiteral("10")) + bar + QString::number(checkedSite.value_or(0));
}

QString EncodeSites(const QStringList& sites)
{
    QString text;
    for (const QString& site : sites) {
        text += u'$' + site;
    }
    return text;
}

QStringList DecodeSites(const QString& text)
{
    if (text.isEmpty()) {
        return {};
    }
    QStringList parts = text.split(u'$');
    parts.removeFirst();
    return parts;
}
