#pragma once

#include "checksettings.h"
#include "regstore.h"

#include <QString>

// The two values the program keeps between runs, under its one key: the settings record ("setting")
// and the site list ("sites").
class ConfigStore
{
public:
    explicit ConfigStore(RegHive hive = RegHive::CurrentUser()) : hive_(std::move(hive)) {}

    static QString keyPath() { return QStringLiteral("Software\\Maroven\\V1.0.0\\Config"); }

    // The stored record, or the default record after writing it when none is stored (a first start).
    QString loadSettingText();
    void saveSettingText(const QString& record);
    QString loadSitesText() const;
    void saveSitesText(const QString& sites);
    // Requests a run keeps in flight, its own value beside the record ("parallel"); the default when none is stored.
    int loadParallel() const;
    void saveParallel(int requests);
    // Whether runs check images, scripts and the like too ("resources", 0 or 1); off when none is stored.
    bool loadResources() const;
    void saveResources(bool on);
    // Whether runs count missing pages in disguise as dead ("contentCheck", 0 or 1); on unless 0 is stored.
    bool loadContentCheck() const;
    void saveContentCheck(bool on);
    // When runs draw pages built by scripts ("render": auto, always or never); automatic when none is stored.
    RenderMode loadRenderMode() const;
    void saveRenderMode(RenderMode mode);
    // Whether dead links are shown in red ("deadInRed", 0 or 1); off when none is stored.
    bool loadDeadInRed() const;
    void saveDeadInRed(bool on);

    static constexpr int kDefaultParallel = ::kDefaultParallel;

    const RegHive& hive() const { return hive_; }

private:
    bool loadFlag(const QString& name, bool fallback) const;
    void saveFlag(const QString& name, bool on);

    RegHive hive_;
};
