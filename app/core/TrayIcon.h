#pragma once

#include <QDBusConnection>
#include <QImage>
#include <QObject>
#include <QRect>

#include <memory>

class DashboardViewModel;
struct MenuBarFigures;
class MenuBarView;
class QMenu;
class QSystemTrayIcon;

namespace platform {
class StatusNotifierItem;
}

// The program's tray icon: the menu-bar label redrawn as a square for the tray's slot, drawn to read
// on any panel. The label changes every dashboard tick; the tray is sent a new picture or text only
// when it differs from what the tray has, since every change makes the tray's host redraw.
// On a StatusNotifier tray the item's title, and the label beside the icon on hosts that show one,
// carry the CPU and headroom readouts; every tray shows them in the icon's tool tip. A click asks
// for the popover; its menu offers Open Dashboard, Settings… and Quit.
class TrayIcon : public QObject
{
    Q_OBJECT
public:
    // A StatusNotifier item when the session bus has a tray watcher, else the desktop's own tray.
    explicit TrayIcon(DashboardViewModel& dashboardVM, QObject* parent = nullptr);
    // A StatusNotifier item on `bus` (tests give a private bus).
    TrayIcon(DashboardViewModel& dashboardVM, const QDBusConnection& bus, QObject* parent = nullptr);
    ~TrayIcon() override;

    static bool isAvailable();
    void show();
    // The icon's place on the screen, or where the tray last said it was clicked; empty where the tray
    // says neither.
    QRect geometry() const;
    MenuBarView& label() const { return *m_label; }
    QMenu& menu() const { return *m_menu; }
    // The StatusNotifier item, or null on a tray of the other kind.
    platform::StatusNotifierItem* statusNotifierItem() const { return m_item.get(); }
    void showMessage(const QString& title, const QString& message);

    // The pixel sizes a StatusNotifier host is sent: the panels' usual slots, 16 and 22, and 22 at
    // double density (a host scales the nearest one to its own size).
    static const QList<int> itemSizes;

    // What the tray icon draws of the label's figures: everything switched on, and the ring also
    // when nothing else would be drawn, so the icon can always be found.
    static MenuBarFigures trayFigures(const MenuBarFigures& label);
    // The item's title: the program's name and, while the readouts are shown, the readouts.
    static QString titleText(const MenuBarFigures& label);

signals:
    void clicked();
    void dashboardRequested();
    void settingsRequested();
    void quitRequested();

private:
    void buildMenu();
    void useStatusNotifier(const QDBusConnection& bus);
    void useSystemTray();
    void scheduleRepaint();
    void repaint();

    std::unique_ptr<MenuBarView> m_label;
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_tray = nullptr;
    std::unique_ptr<platform::StatusNotifierItem> m_item;
    QImage m_picture; // the icon the tray has, at its largest size
    QRect m_clickedAt;
    bool m_repaintPending = false;
};
