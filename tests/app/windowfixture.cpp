#include "windowfixture.h"

#include "networkprober.h"

WindowFixture::WindowFixture()
    : config(std::make_unique<ConfigStore>(RegHive::IniFile(dir.filePath(QStringLiteral("Kelvara.ini")))))
{
}

void WindowFixture::store(const QString& name, const QString& text)
{
    WriteRegValue(config->hive(), ConfigStore::keyPath(), name, text, RegSz);
}

bool WindowFixture::hasStored(const QString& name) const
{
    return ReadRegValue(config->hive(), ConfigStore::keyPath(), name).isValid();
}

QString WindowFixture::stored(const QString& name) const
{
    return ReadRegValue(config->hive(), ConfigStore::keyPath(), name).toString();
}

QString WindowFixture::storedField(int number) const
{
    return stored(QStringLiteral("setting")).split(u'|').value(number - 1);
}

MainWindow& WindowFixture::open()
{
    window = std::make_unique<MainWindow>(toolkit, *config, [] { return MakeNetworkProber(); });
    window->load();
    return *window;
}

QStringList WindowFixture::shownTexts() const
{
    QStringList texts;
    for (const auto& m : toolkit.messages()) {
        texts.append(m.text);
    }
    return texts;
}
