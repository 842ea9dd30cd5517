#include "JsonFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

// A descriptor closed on every way out.
struct Descriptor
{
    int fd = -1;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

FileState stateOf(const struct stat& st, qint64 maxBytes)
{
    if (!S_ISREG(st.st_mode))
        return FileState::notAFile;
    return st.st_size > maxBytes ? FileState::tooLarge : FileState::regular;
}

// The checked open itself: what stands at the path, looked at before it is opened (so no device is
// ever opened) and again through the descriptor (so what was opened is what was looked at).
FileState checkedOpen(const QString& path, qint64 maxBytes, Descriptor& file)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st
    {
    };
    if (::stat(name.constData(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? FileState::missing : FileState::unreadable;
    if (const FileState before = stateOf(st, maxBytes); before != FileState::regular)
        return before;
    file.fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file.fd < 0)
        return errno == ENOENT ? FileState::missing : FileState::unreadable;
    if (::fstat(file.fd, &st) != 0)
        return FileState::unreadable;
    return stateOf(st, maxBytes);
}

} // namespace

FileState inspect(const QString& path, qint64 maxBytes)
{
    Descriptor file;
    return checkedOpen(path, maxBytes, file);
}

BoundedRead readAtMost(const QString& path, qint64 maxBytes)
{
    Descriptor file;
    BoundedRead result;
    result.state = checkedOpen(path, maxBytes, file);
    if (result.state != FileState::regular)
        return result;
    // The file may grow while it is read: never more than one byte beyond the bound.
    std::string bytes;
    char buffer[64 * 1024];
    while (static_cast<qint64>(bytes.size()) <= maxBytes) {
        const ssize_t got = ::read(file.fd, buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            result.state = FileState::unreadable;
            return result;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    if (static_cast<qint64>(bytes.size()) > maxBytes) {
        result.state = FileState::tooLarge;
        return result;
    }
    result.bytes = std::move(bytes);
    return result;
}

std::optional<std::string> readAll(const QString& path)
{
    return readAtMost(path, kDefaultMaxBytes).bytes;
}

bool setAsideRefused(const QString& path, FileState state, qint64 maxBytes)
{
    if (state != FileState::tooLarge && state != FileState::notAFile)
        return false;
    const QString aside = setAside(path);
    const QString what = state == FileState::tooLarge
        ? QStringLiteral("is larger than %1 bytes, more than Quorvane Pro ever writes there").arg(maxBytes)
        : QStringLiteral("is no regular file (a pipe, device, socket or folder), which Quorvane Pro never writes");
    std::fprintf(stderr, "%s %s; %s\n", qPrintable(path), qPrintable(what),
        aside.isEmpty() ? "it was left unread" : qPrintable(QStringLiteral("it was set aside as ") + aside));
    return !aside.isEmpty();
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
