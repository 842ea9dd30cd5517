#pragma once

#include "support/PrivateBus.h"

#include <QDBusConnection>
#include <QObject>
#include <QStringList>

#include <optional>

// A stand-in for a StatusNotifier tray's watcher: it keeps the items that register.
class FakeTrayWatcher : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
public:
    QStringList items;
public slots:
    void RegisterStatusNotifierItem(const QString& service) { items << service; }
};

// A panel with a StatusNotifier tray on a private bus, and the way the program's item reaches it.
class FakeTrayPanel
{
public:
    static inline const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

    FakeTrayPanel()
    {
        if (!m_bus.isUp())
            return;
        m_host = m_bus.connect(QStringLiteral("tray-host"));
        m_up = m_host->registerService(watcherService)
            && m_host->registerObject(
                QStringLiteral("/StatusNotifierWatcher"), &m_watcher, QDBusConnection::ExportAllSlots);
    }

    // False without a dbus-daemon to run the bus.
    bool isUp() const { return m_up; }
    QDBusConnection& host() { return *m_host; }
    FakeTrayWatcher& watcher() { return m_watcher; }
    QDBusConnection programBus() { return m_bus.connect(QStringLiteral("tray-item")); }
    // The panel quits: its watcher leaves the bus.
    bool quit() { return m_host->unregisterService(watcherService); }

private:
    PrivateBus m_bus;
    std::optional<QDBusConnection> m_host;
    FakeTrayWatcher m_watcher;
    bool m_up = false;
};
