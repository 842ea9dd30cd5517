#include "JsonFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace jsonfile {

bool writeAtomically(const QString& path, const std::string& bytes, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

std::optional<std::string> readAll(const QString& path)
{
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray data = file.readAll();
    return std::string(data.constData(), static_cast<std::size_t>(data.size()));
}

QString setAside(const QString& path)
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    QString target = path + QStringLiteral(".corrupt-") + QString::number(now);
    for (int n = 1; QFileInfo::exists(target); ++n)
        target = path + QStringLiteral(".corrupt-") + QString::number(now) + QLatin1Char('-') + QString::number(n);
    return QFile::rename(path, target) ? target : QString();
}

bool removeCopies(const QString& path)
{
    const QFileInfo info(path);
    const QString prefix = info.fileName() + QLatin1Char('.');
    bool removed = true;
    // Links are removed themselves, never followed.
    const auto entries
        = QDir(info.absolutePath()).entryInfoList(QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        if (entry.fileName().startsWith(prefix) && !QFile::remove(entry.filePath()))
            removed = false;
    }
    return removed;
}

bool removeWithCopies(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink())
        QFile::remove(path);
    const bool copiesRemoved = removeCopies(path);
    const QFileInfo after(path);
    return copiesRemoved && !after.exists() && !after.isSymLink();
}

} // namespace jsonfile
