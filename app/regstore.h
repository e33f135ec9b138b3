#pragma once

#include <QSettings>
#include <QString>
#include <QVariant>

// The per-user settings store, with the operations of a registry: a hive holds keys (paths with "\"
// between the parts), a key holds named values of type text (1) or 32-bit integer (4).
// On Windows the hive is HKEY_CURRENT_USER itself; elsewhere it is one INI file in the user's
// configuration folder. Every write replaces the file through a temporary file and a rename.

enum RegType { RegSz = 1, RegDword = 4 };

// Status codes as the registry gives them.
enum RegStatus { RegOk = 0, RegNotFound = 2, RegWriteFailed = 5 };

struct RegHive
{
    QString location;
    QSettings::Format format = QSettings::IniFormat;

    // The current user's hive of this system.
    static RegHive CurrentUser();
    // An INI file at `path` (tests, other locations).
    static RegHive IniFile(const QString& path) { return {path, QSettings::IniFormat}; }
};

// Creates the key, or opens it when present.
void CreateRegKey(const RegHive& hive, const QString& keyPath);
// Writes a value; nothing is written for a type other than 1 and 4.
void WriteRegValue(const RegHive& hive, const QString& keyPath, const QString& name, const QVariant& value,
                   int type);
// The value, or an invalid QVariant when the key or the value is missing.
QVariant ReadRegValue(const RegHive& hive, const QString& keyPath, const QString& name);

// On an open key (a QSettings positioned at the key's group).
int SetValueOnKey(QSettings& key, const QString& name, int type, const QVariant& value);
int QueryValueOnKey(QSettings& key, const QString& name, QVariant& value);
