// The settings record, the site list and the INI file that holds them are read back at every start,
// whatever a crash, an editor or a full disk left in them: reading must take anything, what it makes
// of a record must be stable, and saving one value must keep the others as they were read.
#include "fuzzinput.h"

#include "configstore.h"
#include "settingsrecord.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

void checkRecord(const QString& text)
{
    const QString once = SettingsRecord::parse(text).format();
    FUZZ_CHECK(once.count(u'|') == 5);
    FUZZ_CHECK(SettingsRecord::parse(once).format() == once);
}

void checkSites(const QString& text)
{
    const QStringList sites = DecodeSites(text);
    if (text.isEmpty() || text.startsWith(u'$')) {
        FUZZ_CHECK(EncodeSites(sites) == text);
    }
    FUZZ_CHECK(DecodeSites(EncodeSites(sites)) == sites);
}

// The input as the INI file of the store: read both values, save the site list, read again.
void checkIniFile(const QByteArray& bytes)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Kelvara.ini"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        return;
    }
    file.close();

    ConfigStore store(RegHive::IniFile(path));
    const QString setting = store.loadSettingText();
    checkRecord(setting);
    checkSites(store.loadSitesText());
    store.saveSitesText(QStringLiteral("$www.example.com"));
    ConfigStore again(RegHive::IniFile(path));
    FUZZ_CHECK(again.loadSitesText() == QStringLiteral("$www.example.com"));
    FUZZ_CHECK(again.loadSettingText() == setting);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const uint8_t mode = in.byte();
    if (mode & 1) {
        checkIniFile(in.restBytes());
        return 0;
    }
    const QString record = in.line();
    checkRecord(record);
    checkSites(in.rest());
    return 0;
}
