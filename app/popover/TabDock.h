#pragma once

#include "ui/Palette.h"

#include <QList>
#include <QWidget>

class PopoverActions;
class PopoverState;
class SymbolButton;
class ThemeManager;

// The row under the tab panel: five tab buttons in a dark capsule, then the settings menu button.
class TabDock : public QWidget
{
    Q_OBJECT
public:
    struct Tab
    {
        const char* icon;
        int tab;
        const char* name; // for screen readers
    };
    // Left to right.
    static const QList<Tab>& tabs();

    TabDock(PopoverState& state, ThemeManager& themes, const PopoverActions& actions, QWidget* parent = nullptr);

    const QList<SymbolButton*>& buttons() const { return m_buttons; }
    SymbolButton* menuButton() const { return m_menuButton; }
    // The button shown selected, or -1 when the stored tab names none.
    int selectedButton() const;

private:
    void refresh();

    PopoverState& m_state;
    Palette m_palette;
    QWidget* m_capsule;
    QList<SymbolButton*> m_buttons;
    SymbolButton* m_menuButton;
};
