#include "AppSupport.h"

#include <QDir>
#include <QStandardPaths>

QString appSupportDirectoryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Quorvane");
}

QString appSupportDirectory()
{
    const QString dir = appSupportDirectoryPath();
    QDir().mkpath(dir);
    return dir;
}

QString appSupportFilePath(const QString& fileName)
{
    return appSupportDirectory() + QLatin1Char('/') + fileName;
}
