#include "HomeRelativePath.h"

#include <QDir>

QString homeRelativePath(const QString& path)
{
    return homeRelativePath(path, QDir::homePath());
}

QString homeRelativePath(const QString& path, const QString& home)
{
    const QString full = QDir::cleanPath(path);
    const QString base = QDir::cleanPath(home);
    // A home of "/" would turn every path into one under "~".
    if (home.isEmpty() || base == QStringLiteral("/"))
        return full;
    if (full == base)
        return QStringLiteral("~");
    if (full.startsWith(base + QLatin1Char('/')))
        return QStringLiteral("~") + full.mid(base.size());
    return full;
}
