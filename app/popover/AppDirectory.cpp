#include "AppDirectory.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

AppDirectory::AppDirectory(QObject* parent)
    : AppDirectory([] { return std::make_shared<platform::DesktopAppRegistry>(); }, parent)
{
}

AppDirectory::AppDirectory(Factory factory, QObject* parent)
    : QObject(parent)
{
    connect(&m_loading, &QFutureWatcherBase::finished, this, [this] {
        m_registry = m_loading.result();
        m_byPid.clear();
        emit loaded();
        if (m_refreshWanted)
            refreshRunning();
    });
    connect(&m_listing, &QFutureWatcherBase::finished, this, [this] {
        m_running = m_listing.result();
        emit runningApplicationsChanged();
    });
    m_loading.setFuture(QtConcurrent::run(std::move(factory)));
}

AppDirectory::~AppDirectory()
{
    m_loading.waitForFinished();
    m_listing.waitForFinished();
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
    if (m_listing.isRunning())
        return;
    auto registry = m_registry;
    m_listing.setFuture(QtConcurrent::run([registry] { return registry->runningApplications(); }));
}

void AppDirectory::waitForIdle()
{
    m_loading.waitForFinished();
    QCoreApplication::processEvents();
    m_listing.waitForFinished();
    QCoreApplication::processEvents();
}
