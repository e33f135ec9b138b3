#include "regstore.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// QSettings separates groups with "/"; the registry's key paths use "\".
QString groupOf(const QString& keyPath)
{
    QString group = keyPath;
    group.replace(u'\\', u'/');
    return group;
}

class OpenKey
{
public:
    OpenKey(const RegHive& hive, const QString& keyPath) : settings_(hive.location, hive.format)
    {
        settings_.beginGroup(groupOf(keyPath));
    }
    QSettings& settings() { return settings_; }

private:
    QSettings settings_;
};

} // namespace

RegHive RegHive::CurrentUser()
{
#ifdef Q_OS_WIN
    return {QStringLiteral("HKEY_CURRENT_USER"), QSettings::NativeFormat};
#else
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return IniFile(folder + QStringLiteral("/Maroven/Kelvara.ini"));
#endif
}

void CreateRegKey(const RegHive& hive, const QString&)
{
    // A key of an INI hive exists with its first value; the folder of the file must exist for that.
    if (hive.format == QSettings::IniFormat) {
        QDir().mkpath(QFileInfo(hive.location).absolutePath());
    }
}

void WriteRegValue(const RegHive& hive, const QString& keyPath, const QString& name, const QVariant& value, int type)
{
    OpenKey key(hive, keyPath);
    SetValueOnKey(key.settings(), name, type, value);
}

QVariant ReadRegValue(const RegHive& hive, const QString& keyPath, const QString& name)
{
    OpenKey key(hive, keyPath);
    QVariant value;
    QueryValueOnKey(key.settings(), name, value);
    return value;
}

int SetValueOnKey(QSettings& key, const QString& name, int type, const QVariant& value)
{
    if (type == RegSz) {
        key.setValue(name, value.toString());
    } else if (type == RegDword) {
        key.setValue(name, static_cast<qint32>(value.toLongLong()));
    } else {
        return RegOk;
    }
    key.sync();
    return key.status() == QSettings::NoError ? RegOk : RegWriteFailed;
}

int QueryValueOnKey(QSettings& key, const QString& name, QVariant& value)
{
    if (!key.contains(name)) {
        return RegNotFound;
    }
    value = key.value(name);
    return RegOk;
}
