#include "SettingsCopies.h"

#include "JsonFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <limits>

namespace settingscopies {

namespace {

// The settings file's "<key>=" line, with the blanks the INI reader allows around the key.
bool isLineOf(const QByteArray& line, const QByteArray& key)
{
    qsizetype at = 0;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
        ++at;
    if (line.mid(at, key.size()) != key)
        return false;
    at += key.size();
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
        ++at;
    return at < line.size() && line[at] == '=';
}

// Copies `in` to `out` without the key's lines; a copy of any size passes in pieces of 64 KiB, and a
// line's first piece holds its key. False when reading or writing failed.
bool copyWithout(QFile& in, QSaveFile& out, const QByteArray& key, bool& found)
{
    bool lineStart = true;
    bool skipping = false;
    while (!in.atEnd()) {
        const QByteArray piece = in.readLine(64 * 1024);
        if (piece.isEmpty())
            return false;
        if (lineStart)
            skipping = isLineOf(piece, key);
        found = found || skipping;
        if (!skipping && out.write(piece) != piece.size())
            return false;
        lineStart = piece.endsWith('\n');
    }
    return in.error() == QFileDevice::NoError;
}

bool removeFrom(const QString& copy, const QByteArray& key)
{
    QFile in(copy);
    QSaveFile out(copy);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return false;
    bool found = false;
    if (!copyWithout(in, out, key, found)) {
        out.cancelWriting();
        return false;
    }
    // A copy without the key is left as it was, down to its time.
    if (!found) {
        out.cancelWriting();
        return true;
    }
    return out.commit();
}

} // namespace

bool removeKey(const QString& settingsFile, const QString& key)
{
    // No file named: no copies (and never the hidden files of the working folder).
    if (settingsFile.isEmpty())
        return true;
    const QFileInfo info(settingsFile);
    const QString prefix = info.fileName() + QLatin1Char('.');
    bool clean = true;
    const auto entries = QDir(info.absolutePath()).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& entry : entries) {
        if (!entry.fileName().startsWith(prefix) || entry.isSymLink())
            continue;
        // Through the checked open first: a FIFO among the copies would hold a plain open for ever.
        if (jsonfile::inspect(entry.filePath(), std::numeric_limits<qint64>::max()) != jsonfile::FileState::regular)
            continue;
        if (!removeFrom(entry.filePath(), key.toUtf8()))
            clean = false;
    }
    return clean;
}

} // namespace settingscopies
