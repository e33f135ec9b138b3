#include "configstore.h"

#include "settingsrecord.h"

namespace {
const QString kSetting = QStringLiteral("setting");
const QString kSites = QStringLiteral("sites");
const QString kParallel = QStringLiteral("parallel");
const QString kResources = QStringLiteral("resources");
const QString kContentCheck = QStringLiteral("contentCheck");
const QString kRender = QStringLiteral("render");
const QString kDeadInRed = QStringLiteral("deadInRed");
} // namespace

QString ConfigStore::loadSettingText()
{
    const QString text = ReadRegValue(hive_, keyPath(), kSetting).toString();
    if (!text.isEmpty()) {
        return text;
    }
    CreateRegKey(hive_, keyPath());
    saveSettingText(SettingsRecord::defaultText());
    return SettingsRecord::defaultText();
}

void ConfigStore::saveSettingText(const QString& record)
{
    WriteRegValue(hive_, keyPath(), kSetting, record, RegSz);
}

QString ConfigStore::loadSitesText() const
{
    return ReadRegValue(hive_, keyPath(), kSites).toString();
}

void ConfigStore::saveSitesText(const QString& sites)
{
    WriteRegValue(hive_, keyPath(), kSites, sites, RegSz);
}

int ConfigStore::loadParallel() const
{
    bool ok = false;
    const int n = ReadRegValue(hive_, keyPath(), kParallel).toInt(&ok);
    return ok && n >= 1 && n <= kMaxParallel ? n : kDefaultParallel;
}

void ConfigStore::saveParallel(int requests)
{
    WriteRegValue(hive_, keyPath(), kParallel, requests, RegDword);
}

bool ConfigStore::loadFlag(const QString& name, bool fallback) const
{
    bool ok = false;
    const int value = ReadRegValue(hive_, keyPath(), name).toInt(&ok);
    return ok && (value == 0 || value == 1) ? value == 1 : fallback;
}

void ConfigStore::saveFlag(const QString& name, bool on)
{
    WriteRegValue(hive_, keyPath(), name, on ? 1 : 0, RegDword);
}

// Off unless stored: the described behaviour stays the default.
bool ConfigStore::loadResources() const
{
    return loadFlag(kResources, false);
}

void ConfigStore::saveResources(bool on)
{
    saveFlag(kResources, on);
}

// On unless stored off: a missing page in disguise is a dead link to the site's owner.
bool ConfigStore::loadContentCheck() const
{
    return loadFlag(kContentCheck, true);
}

void ConfigStore::saveContentCheck(bool on)
{
    saveFlag(kContentCheck, on);
}

bool ConfigStore::loadDeadInRed() const
{
    return loadFlag(kDeadInRed, false);
}

void ConfigStore::saveDeadInRed(bool on)
{
    saveFlag(kDeadInRed, on);
}

RenderMode ConfigStore::loadRenderMode() const
{
    return ParseRenderMode(ReadRegValue(hive_, keyPath(), kRender).toString()).value_or(RenderMode::Auto);
}

void ConfigStore::saveRenderMode(RenderMode mode)
{
    WriteRegValue(hive_, keyPath(), kRender, RenderModeName(mode), RegSz);
}
