#pragma once

#include "records/AutoPersona.h"
#include "ui/Palette.h"

#include <set>

#include <QWidget>

class ElidedLabel;
class PersonaViewModel;
class PopoverActions;
class PopoverState;
class QLabel;
class QMenu;
class SymbolButton;
class ThemeManager;

// The popover's top row: logo, "Quorvane" over the persona status, and the tour, history, settings,
// theme and quit controls.
class PopoverHeader : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kStatusMaxWidth = 130;

    PopoverHeader(PopoverState& state, PersonaViewModel& personaVM, ThemeManager& themes, const PopoverActions& actions,
        QWidget* parent = nullptr);

    // The status line as shown: "System balanced ✓" or "Active: " and the persona names.
    QString statusText() const;
    static QString statusText(const std::set<AutoPersona>& activePersonas);
    SymbolButton* tourButton() const { return m_tour; }
    SymbolButton* historyButton() const { return m_history; }
    SymbolButton* settingsButton() const { return m_settings; }
    SymbolButton* themeButton() const { return m_theme; }
    SymbolButton* quitButton() const { return m_quit; }
    QMenu* themeMenu() const { return m_themeMenu; }
    // True when the header draws the product image, false when it shows the shield symbol instead.
    bool hasLogoImage() const { return !m_logo.isNull(); }

private:
    // The buttons' looks for the selected tab and the status, in the current palette.
    void redraw();
    void updateStatus();
    void fillThemeMenu();

    PopoverState& m_state;
    PersonaViewModel& m_personaVM;
    ThemeManager& m_themes;
    Palette m_palette;
    QPixmap m_logo;
    QWidget* m_logoSlot;
    QLabel* m_title;
    ElidedLabel* m_status;
    SymbolButton* m_tour;
    SymbolButton* m_history;
    SymbolButton* m_settings;
    SymbolButton* m_theme;
    SymbolButton* m_quit;
    QMenu* m_themeMenu;
};
