#include "appicon.h"

#include <QDir>
#include <QGuiApplication>

QIcon AppIcon()
{
    // Each PNG is read for its own size, so the icon offers every bundled size.
    QIcon icon;
    const QDir folder(QStringLiteral(":/kelvara/icons"));
    for (const QString& name : folder.entryList({QStringLiteral("*.png")}, QDir::Files)) {
        icon.addFile(folder.filePath(name));
    }
    return icon;
}

void ApplyDesktopIdentity()
{
    QGuiApplication::setWindowIcon(AppIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral(KELVARA_APP_ID));
}
