#pragma once

#include "platform/desktop/DesktopAppRegistry.h"

#include "core/PendingWork.h"

#include <QFuture>
#include <QHash>
#include <QIcon>
#include <QObject>

#include <memory>
#include <optional>

// The installed applications for the popover's process rows and application strip. The .desktop
// folders are read once on a worker thread; until then no process has an application. The running
// applications are listed on a worker thread too, one listing at a time.
class AppDirectory : public QObject
{
    Q_OBJECT
public:
    using Factory = std::function<std::shared_ptr<platform::DesktopAppRegistry>()>;

    // The registry over the real /proc and XDG folders.
    explicit AppDirectory(QObject* parent = nullptr);
    // A registry made by `factory` (fixture roots in tests), made on a worker thread.
    explicit AppDirectory(Factory factory, QObject* parent = nullptr);

    bool isLoaded() const { return m_registry != nullptr; }
    // The application a process belongs to; nothing before loading or for a process of no application.
    std::optional<platform::DesktopEntry> entryForPid(std::int32_t pid);
    static QIcon icon(const platform::DesktopEntry& entry);

    // Starts a listing unless one is running; runningApplicationsChanged follows.
    void refreshRunning();
    const QList<platform::RunningApplication>& runningApplications() const { return m_running; }

    // Waits for the loading and any listing (tests and the snapshot program).
    void waitForIdle();

signals:
    void loaded();
    void runningApplicationsChanged();

private:
    std::shared_ptr<platform::DesktopAppRegistry> m_registry;
    QFuture<void> m_listing; // the last listing, until its result is in
    bool m_refreshWanted = false;
    QHash<std::int32_t, std::optional<platform::DesktopEntry>> m_byPid;
    QList<platform::RunningApplication> m_running;
    PendingWork m_work {this};
};
