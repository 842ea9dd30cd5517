#pragma once

#include <QObject>
#include <QRect>

#include <memory>

class DashboardViewModel;
struct MenuBarFigures;
class MenuBarView;
class QMenu;
class QSystemTrayIcon;

// The program's tray icon: the menu-bar label's drawing at tray size, repainted whenever the label
// changes (every dashboard tick), with the label's readouts as its tool tip. A click asks for the
// popover; its menu offers Quit.
class TrayIcon : public QObject
{
    Q_OBJECT
public:
    explicit TrayIcon(DashboardViewModel& dashboardVM, QObject* parent = nullptr);
    ~TrayIcon() override;

    static bool isAvailable();
    void show();
    // The icon's place on the screen; empty where the tray does not say (StatusNotifier hosts).
    QRect geometry() const;
    QSystemTrayIcon& systemTrayIcon() const { return *m_tray; }
    MenuBarView& label() const { return *m_label; }
    void showMessage(const QString& title, const QString& message);
    // What the tray icon draws of the label's figures.
    static MenuBarFigures trayFigures(const MenuBarFigures& label);

signals:
    void clicked();
    void quitRequested();

private:
    void repaint();

    std::unique_ptr<MenuBarView> m_label;
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_tray = nullptr;
    bool m_repaintPending = false;
};
