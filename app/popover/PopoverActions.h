#pragma once

#include <QObject>

#include <functional>

class QAction;
class QMenu;
class QWidget;

// What the popover hands to the application: opening the settings window and quitting. An empty
// function does nothing (a host without a settings window).
struct PopoverHooks
{
    std::function<void()> openSettings;
    std::function<void()> requestQuit;
};

// The two commands of the settings menus with their shortcuts (Ctrl+, and Ctrl+Q). The actions live on
// the popover, so the shortcuts work while it has focus, and both menus show the same actions.
class PopoverActions : public QObject
{
    Q_OBJECT
public:
    PopoverActions(QWidget* owner, PopoverHooks hooks);

    QAction* settings() const { return m_settings; }
    QAction* quit() const { return m_quit; }
    // A new menu: "Settings & Preferences...", a divider, "Quit Quorvane".
    QMenu* makeMenu(QWidget* parent) const;
    // "Quit Quorvane (Ctrl+Q)" with the shortcut as the desktop shows it.
    QString quitToolTip() const;

private:
    PopoverHooks m_hooks;
    QAction* m_settings;
    QAction* m_quit;
};
