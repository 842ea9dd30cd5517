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
// for the popover; its menu offers Open Dashboard, Settings… and Quit. Menu and tool tip are drawn in
// the theme where Qt draws them. It follows the tray: when the panel that shows it quits, and when one
// is back.
class TrayIcon : public QObject
{
    Q_OBJECT
public:
    // A StatusNotifier item when `bus` has a tray watcher, else the desktop's own tray.
    explicit TrayIcon(DashboardViewModel& dashboardVM, const QDBusConnection& bus = QDBusConnection::sessionBus(),
        QObject* parent = nullptr);
    ~TrayIcon() override;

    // Whether a tray of either kind is there: a watcher on `bus`, or the desktop's own.
    static bool isAvailable(const QDBusConnection& bus = QDBusConnection::sessionBus());
    void show();
    // Whether the tray that shows the icon is still there.
    bool isPresent() const { return m_present; }
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
    void presenceChanged(bool present);

private slots:
    // The X11 tray's window changed: the platform plugin says so only through a signal of its own.
    void checkSystemTray();

private:
    void setPresent(bool present);
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
    bool m_present = true;
};
