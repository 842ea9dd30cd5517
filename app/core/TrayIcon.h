#pragma once

#include "ui/Palette.h"

#include <QDBusConnection>
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

// The program's tray icon: the menu-bar label redrawn as a square for the tray's slot, in colours
// that stand out on the tray's panel, repainted whenever the label changes (every dashboard tick).
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

    // What the tray icon draws of the label's figures: everything switched on, and the ring also
    // when nothing else would be drawn, so the icon can always be found.
    static MenuBarFigures trayFigures(const MenuBarFigures& label);
    // Whether the tray's panel is light. GNOME Shell's top bar is dark whatever the theme; an icon
    // theme named for a dark or light look says which panel it is drawn for; otherwise the
    // platform's window colour tells.
    static bool panelIsLight(const QString& desktop, const QString& iconTheme, const QColor& window);
    // The colours the icon is drawn in for this desktop's panel.
    static Palette panelPalette();
    // The item's title: the program's name and, while the readouts are shown, the readouts.
    static QString titleText(const MenuBarFigures& label);

signals:
    void clicked();
    void dashboardRequested();
    void settingsRequested();
    void quitRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

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
    Palette m_panel;
    QRect m_clickedAt;
    bool m_repaintPending = false;
};
