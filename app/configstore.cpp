#include "configstore.h"

#include "settingsrecord.h"

namespace {
const QString kSetting = QStringLiteral("setting");
const QString kSites = QStringLiteral("sites");
const QString kParallel = QStringLiteral("parallel");
const QString kResources = QStringLiteral("resources");
const QString kContentCheck = QStringLiteral("contentCheck");
const QString kRender = QStringLiteral("render");
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

bool ConfigStore::loadResources() const
{
    // Anything but a stored 1 is off: the described behaviour stays the default.
    bool ok = false;
    const int value = ReadRegValue(hive_, keyPath(), kResources).toInt(&ok);
    return ok && value == 1;
}

void ConfigStore::saveResources(bool on)
{
    WriteRegValue(hive_, keyPath(), kResources, on ? 1 : 0, RegDword);
}

bool ConfigStore::loadContentCheck() const
{
    // On unless a 0 is stored: a missing page in disguise is a dead link to the site's owner.
    bool ok = false;
    const int value = ReadRegValue(hive_, keyPath(), kContentCheck).toInt(&ok);
    return !(ok && value == 0);
}

void ConfigStore::saveContentCheck(bool on)
{
    WriteRegValue(hive_, keyPath(), kContentCheck, on ? 1 : 0, RegDword);
}

RenderMode ConfigStore::loadRenderMode() const
{
    return ParseRenderMode(ReadRegValue(hive_, keyPath(), kRender).toString()).value_or(RenderMode::Auto);
}

void ConfigStore::saveRenderMode(RenderMode mode)
{
    WriteRegValue(hive_, keyPath(), kRender, RenderModeName(mode), RegSz);
}
