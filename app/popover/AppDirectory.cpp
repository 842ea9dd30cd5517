#include "AppDirectory.h"

#include <QCoreApplication>
#include <QFileInfo>

AppDirectory::AppDirectory(QObject* parent)
    : AppDirectory([] { return std::make_shared<platform::DesktopAppRegistry>(); }, parent)
{
}

AppDirectory::AppDirectory(Factory factory, QObject* parent)
    : QObject(parent)
{
    m_work.run(std::move(factory), [this](std::shared_ptr<platform::DesktopAppRegistry> registry) {
        m_registry = std::move(registry);
        m_byPid.clear();
        emit loaded();
        if (m_refreshWanted)
            refreshRunning();
    });
}

std::optional<platform::DesktopEntry> AppDirectory::entryForPid(std::int32_t pid)
{
    if (!m_registry)
        return std::nullopt;
    // Pids are reused rarely within a popover's life; a stale entry only shows an old icon.
    if (m_byPid.size() > 512)
        m_byPid.clear();
    auto it = m_byPid.find(pid);
    if (it == m_byPid.end())
        it = m_byPid.insert(pid, m_registry->entryForPid(pid));
    return *it;
}

QIcon AppDirectory::icon(const platform::DesktopEntry& entry)
{
    if (QFileInfo(entry.icon).isAbsolute())
        return QIcon(entry.icon);
    return QIcon::fromTheme(entry.icon);
}

void AppDirectory::refreshRunning()
{
    if (!m_registry) {
        m_refreshWanted = true;
        return;
    }
    m_refreshWanted = false;
    if (!m_listing.isFinished())
        return;
    m_listing = m_work.run([registry = m_registry] { return registry->runningApplications(); },
        [this](QList<platform::RunningApplication> running) {
            m_running = std::move(running);
            emit runningApplicationsChanged();
        });
}

void AppDirectory::waitForIdle()
{
    // The loading, then the listing it may have started once loaded.
    for (int round = 0; round < 2; ++round) {
        m_work.waitForAll();
        QCoreApplication::processEvents();
    }
}
