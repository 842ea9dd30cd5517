#include "AppSupport.h"

#include <QDir>
#include <QStandardPaths>

QString appSupportDirectory()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString dir = base + QStringLiteral("/Quorvane");
    QDir().mkpath(dir);
    return dir;
}

QString appSupportFilePath(const QString& fileName)
{
    return appSupportDirectory() + QLatin1Char('/') + fileName;
}
