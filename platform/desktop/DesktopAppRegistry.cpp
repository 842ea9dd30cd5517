#include "DesktopAppRegistry.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QVariantMap>

#include <algorithm>

#include <unistd.h>

namespace platform {

namespace {

QString readText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(1 << 20));
}

bool isTrue(const QString& value)
{
    return value.trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

// The program an Exec line starts: its first word, past an "env VAR=value" prefix, as a basename.
QString execProgram(const QString& exec)
{
    QStringList words = exec.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (!words.isEmpty() && QFileInfo(words.first()).fileName() == QLatin1String("env")) {
        words.removeFirst();
        while (!words.isEmpty() && words.first().contains(QLatin1Char('=')))
            words.removeFirst();
    }
    if (words.isEmpty())
        return {};
    QString program = words.first();
    program.remove(QLatin1Char('"'));
    return QFileInfo(program).fileName();
}

} // namespace

DesktopAppRegistry::DesktopAppRegistry(
    QString procRoot, QStringList applicationDirs, std::optional<unsigned> uid, std::optional<std::int32_t> selfPid)
    : m_procRoot(std::move(procRoot))
    , m_applicationDirs(std::move(applicationDirs))
    , m_uid(uid.value_or(::getuid()))
    , m_selfPid(selfPid.value_or(::getpid()))
{
    reload();
}

QStringList DesktopAppRegistry::defaultApplicationDirs()
{
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty())
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty())
        dataDirs = QStringLiteral("/usr/local/share:/usr/share");
    QStringList dirs {dataHome + QStringLiteral("/applications")};
    for (const QString& dir : dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        dirs << dir + QStringLiteral("/applications");
    return dirs;
}

std::optional<DesktopEntry> DesktopAppRegistry::parseEntry(const QString& text, const QString& id)
{
    QHash<QString, QString> keys;
    bool inMain = false;
    for (const QString& raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inMain = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!inMain || eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        if (!keys.contains(key)) // the first of a repeated key holds
            keys.insert(key, line.mid(eq + 1).trimmed());
    }
    if (keys.value(QStringLiteral("Type")) != QLatin1String("Application")
        || isTrue(keys.value(QStringLiteral("NoDisplay"))) || isTrue(keys.value(QStringLiteral("Hidden")))
        || keys.value(QStringLiteral("Icon")).isEmpty())
        return std::nullopt;
    DesktopEntry entry;
    entry.id = id;
    entry.name = keys.value(QStringLiteral("Name"));
    entry.icon = keys.value(QStringLiteral("Icon"));
    entry.execName = execProgram(keys.value(QStringLiteral("Exec")));
    entry.wmClass = keys.value(QStringLiteral("StartupWMClass"));
    entry.dbusActivatable = isTrue(keys.value(QStringLiteral("DBusActivatable")));
    if (entry.execName.isEmpty() && entry.wmClass.isEmpty())
        return std::nullopt;
    return entry;
}

void DesktopAppRegistry::reload()
{
    m_entries.clear();
    QSet<QString> seen;
    for (const QString& dir : std::as_const(m_applicationDirs)) {
        const QDir folder(dir);
        const QStringList files = folder.entryList({QStringLiteral("*.desktop")}, QDir::Files, QDir::Name);
        for (const QString& file : files) {
            QString id = file;
            id.chop(int(sizeof(".desktop") - 1));
            // An entry in an earlier folder (the user's own) hides the same id in later ones.
            if (seen.contains(id))
                continue;
            seen.insert(id);
            if (auto entry = parseEntry(readText(folder.filePath(file)), id))
                m_entries.append(*entry);
        }
    }
}

std::optional<DesktopEntry> DesktopAppRegistry::match(const QString& exeName, const QString& processName) const
{
    for (const DesktopEntry& e : m_entries) {
        if (!exeName.isEmpty() && e.execName == exeName)
            return e;
    }
    for (const DesktopEntry& e : m_entries) {
        if (e.wmClass.isEmpty())
            continue;
        if (e.wmClass.compare(exeName, Qt::CaseInsensitive) == 0
            || e.wmClass.compare(processName, Qt::CaseInsensitive) == 0)
            return e;
    }
    for (const DesktopEntry& e : m_entries) {
        if (!processName.isEmpty() && e.execName == processName)
            return e;
    }
    return std::nullopt;
}

bool DesktopAppRegistry::ownedByUser(std::int32_t pid) const
{
    const QFileInfo info(m_procRoot + QLatin1Char('/') + QString::number(pid));
    return info.exists() && info.ownerId() == m_uid;
}

std::optional<DesktopEntry> DesktopAppRegistry::entryForPid(std::int32_t pid) const
{
    if (pid <= 0 || !ownedByUser(pid))
        return std::nullopt;
    const QString dir = m_procRoot + QLatin1Char('/') + QString::number(pid);
    const QString exe = QFileInfo(QFile::symLinkTarget(dir + QStringLiteral("/exe"))).fileName();
    const QString comm = readText(dir + QStringLiteral("/comm")).trimmed();
    if (exe.isEmpty() && comm.isEmpty())
        return std::nullopt;
    return match(exe, comm);
}

QList<RunningApplication> DesktopAppRegistry::runningApplications() const
{
    QList<std::int32_t> pids;
    for (const QString& name : QDir(m_procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool ok = false;
        const int pid = name.toInt(&ok);
        if (ok && pid > 0)
            pids << pid;
    }
    std::sort(pids.begin(), pids.end());
    const std::optional<DesktopEntry> self = entryForPid(m_selfPid);
    QList<RunningApplication> out;
    QSet<QString> shown;
    for (std::int32_t pid : std::as_const(pids)) {
        if (pid == m_selfPid)
            continue;
        const auto entry = entryForPid(pid);
        if (!entry || shown.contains(entry->id) || (self && self->id == entry->id))
            continue;
        shown.insert(entry->id);
        out.append({pid, *entry});
    }
    return out;
}

bool DesktopAppRegistry::activate(const DesktopEntry& entry)
{
    if (!entry.dbusActivatable || entry.id.isEmpty())
        return false;
    QString path = QLatin1Char('/') + entry.id;
    path.replace(QLatin1Char('.'), QLatin1Char('/')).replace(QLatin1Char('-'), QLatin1Char('_'));
    QDBusMessage call = QDBusMessage::createMethodCall(
        entry.id, path, QStringLiteral("org.freedesktop.Application"), QStringLiteral("Activate"));
    call << QVariantMap();
    return QDBusConnection::sessionBus().send(call);
}

} // namespace platform
