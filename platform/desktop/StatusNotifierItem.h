#pragma once

#include "DBusMenuExporter.h"
#include "DBusTrayTypes.h"

#include <QDBusConnection>
#include <QObject>
#include <QPoint>

class QDBusServiceWatcher;

namespace platform {

// The program's item in a StatusNotifier tray (KDE Plasma, GNOME with the AppIndicator extension,
// Xfce and most other panels), over D-Bus: an icon given as images, a title, a short label for the
// hosts that show one beside the icon, a tool tip and a flat menu. It registers with the tray's
// watcher, and again whenever the watcher restarts; it tells when the watcher goes and comes back.
class StatusNotifierItem : public QObject
{
    Q_OBJECT
public:
    static inline const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
    static inline const QString itemPath = QStringLiteral("/StatusNotifierItem");
    static inline const QString menuPath = QStringLiteral("/MenuBar");

    StatusNotifierItem(const QString& id, QDBusConnection bus, QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    // Whether `bus` has a tray to show items in.
    static bool isWatcherRegistered(const QDBusConnection& bus);

    // Claims the item's bus name, exports the item and its menu and registers with the watcher.
    bool registerItem();
    QString serviceName() const { return m_service; }

    QString id() const { return m_id; }
    QString title() const { return m_title; }
    QString label() const { return m_label; }
    QString labelGuide() const { return m_labelGuide; }
    const TrayPixmapList& iconPixmaps() const { return m_icon; }
    const TrayToolTip& toolTip() const { return m_toolTip; }
    DBusMenuExporter& menu() { return m_menu; }

    void setIcon(const TrayPixmapList& pixmaps);
    void setTitle(const QString& title);
    // The text beside the icon on hosts that show one; `guide` is its longest form, so the host can
    // keep the label's width steady.
    void setLabel(const QString& label, const QString& guide);
    void setToolTip(const QString& title, const QString& body = {});

    // Called by the host through D-Bus.
    void activate(const QPoint& at);
    void secondaryActivate(const QPoint& at);
    void contextMenu(const QPoint& at);

signals:
    void activated(QPoint at);
    void secondaryActivated(QPoint at);
    void contextMenuRequested(QPoint at);
    // Once registered: the tray's watcher left the bus (the panel quit), or is back.
    void watcherPresenceChanged(bool present);

    // For the D-Bus adaptor.
    void newIcon();
    void newTitle();
    void newToolTip();
    void newLabel(const QString& label, const QString& guide);

private:
    void registerWithWatcher();

    QDBusConnection m_bus;
    QString m_id;
    QString m_service;
    QString m_title;
    QString m_label;
    QString m_labelGuide;
    TrayPixmapList m_icon;
    TrayToolTip m_toolTip;
    DBusMenuExporter m_menu;
    QDBusServiceWatcher* m_watcher = nullptr;
    bool m_registered = false;
};

} // namespace platform
