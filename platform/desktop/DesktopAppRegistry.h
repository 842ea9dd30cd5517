#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace platform {

// One installed application as its .desktop entry describes it.
struct DesktopEntry
{
    QString id; // file name without ".desktop", e.g. "org.gnome.Nautilus"
    QString name;
    QString icon; // a theme icon name or an absolute path
    QString execName; // the basename of the program Exec starts
    QString wmClass; // StartupWMClass, may be empty
    bool dbusActivatable = false;

    bool operator==(const DesktopEntry&) const = default;
};

// One running application: the first (lowest) pid of the user's processes that belong to it.
struct RunningApplication
{
    std::int32_t pid = 0;
    DesktopEntry entry;
};

// Matches the user's own processes to installed applications: by the basename of the executable or
// the process name against an entry's Exec program or StartupWMClass. Only entries of Type=Application
// that are shown (not NoDisplay, not Hidden) and have an Icon count. The roots are given so tests feed
// fixture trees; reading is plain file I/O, so callers keep it off the GUI thread.
class DesktopAppRegistry
{
public:
    DesktopAppRegistry(QString procRoot = QStringLiteral("/proc"),
        QStringList applicationDirs = defaultApplicationDirs(), std::optional<unsigned> uid = std::nullopt,
        std::optional<std::int32_t> selfPid = std::nullopt);

    // $XDG_DATA_HOME/applications, then each of $XDG_DATA_DIRS/applications (earlier folders win).
    static QStringList defaultApplicationDirs();
    // The entry a .desktop file's text describes, when it is a shown application with an icon.
    static std::optional<DesktopEntry> parseEntry(const QString& text, const QString& id);

    // Reads the application folders again.
    void reload();
    const QList<DesktopEntry>& entries() const { return m_entries; }

    // The application a process of the user belongs to.
    std::optional<DesktopEntry> entryForPid(std::int32_t pid) const;
    // Every running application once, ordered by pid; this program is left out.
    QList<RunningApplication> runningApplications() const;

    // Brings a running application forward through org.freedesktop.Application.Activate when its entry
    // is D-Bus activatable; false (and nothing started) otherwise. The call is sent without waiting.
    static bool activate(const DesktopEntry& entry);

private:
    std::optional<DesktopEntry> match(const QString& exeName, const QString& processName) const;
    bool ownedByUser(std::int32_t pid) const;

    QString m_procRoot;
    QStringList m_applicationDirs;
    unsigned m_uid;
    std::int32_t m_selfPid;
    QList<DesktopEntry> m_entries;
};

} // namespace platform
