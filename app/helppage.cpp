#include "helppage.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

HelpPage::HelpPage(QString folder) : folder_(std::move(folder)) {}

QString HelpPage::defaultFolder()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return (cache.isEmpty() ? QDir::tempPath() + QStringLiteral("/kelvara") : cache) + QStringLiteral("/help");
}

QByteArray HelpPage::bundled()
{
    QFile page(QStringLiteral(":/kelvara/help.html"));
    return page.open(QIODevice::ReadOnly) ? page.readAll() : QByteArray();
}

QString HelpPage::writeOut() const
{
    const QByteArray page = bundled();
    if (page.isEmpty() || !QDir().mkpath(folder_)) {
        return {};
    }
    const QString path = QDir(folder_).absoluteFilePath(QStringLiteral("kelvara-help.html"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(page) != page.size() || !file.commit()) {
        return {};
    }
    return path;
}
