#pragma once

#include "PopoverActions.h"
#include "PopoverEngines.h"
#include "ui/Palette.h"

#include <QWidget>

class AppDirectory;
class Clock;
class DashboardViewModel;
class OnboardingView;
class PersonaViewModel;
class PopoverHeader;
class PopoverState;
class PopoverTabPanel;
class RunningAppsStrip;
class TabDock;
class TourOverlay;
class ThemeManager;
class ViewSettings;

// The popover's content, 340 x 620 (shorter on a short screen, where the tab's panel scrolls): the header, the panel of
// the selected tab, the tab dock with the settings menu, and the strip of running applications. Until the user has
// finished the first-run flow it shows that flow instead, and builds nothing of the dashboard. The host window puts it
// inside itself; the dashboard window may host a second one, sharing the selected tab and the finished flow through the
// user defaults.
class PopoverView : public QWidget
{
    Q_OBJECT
public:
    static constexpr QSize kSize {340, 620};

    PopoverView(DashboardViewModel& dashboardVM, PersonaViewModel& personaVM, PopoverHooks hooks,
        PopoverEngines engines, QWidget* parent = nullptr);
    // With every service given (tests and the snapshot program). `apps` may be null: no application
    // icons and no strip.
    PopoverView(DashboardViewModel& dashboardVM, PersonaViewModel& personaVM, PopoverHooks hooks,
        PopoverEngines engines, ViewSettings& settings, ThemeManager& themes, Clock& clock, AppDirectory* apps,
        QWidget* parent = nullptr);
    ~PopoverView() override;

    PopoverState& state() const { return *m_state; }
    // The first-run flow while it is shown, else null; the dashboard's parts below are null until then.
    OnboardingView* onboarding() const { return m_onboarding; }
    PopoverHeader* header() const { return m_header; }
    PopoverTabPanel* tabPanel() const { return m_panel; }
    TabDock* dock() const { return m_dock; }
    RunningAppsStrip* appsStrip() const { return m_strip; }
    TourOverlay* tourOverlay() const { return m_tour; }
    const PopoverActions& actions() const { return *m_actions; }
    const Palette& themePalette() const { return m_palette; }
    const PopoverEngines& engines() const { return m_engines; }

    QSize sizeHint() const override { return kSize; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyTheme(const Palette& palette);
    // The first-run flow until the user has finished it, then the dashboard, built once.
    void showOnboardingOrDashboard();
    void buildOnboarding();
    void placeOnboarding();
    void buildDashboard();
    void finishOnboarding();

    DashboardViewModel& m_dashboardVM;
    PersonaViewModel& m_personaVM;
    ViewSettings& m_settings;
    ThemeManager& m_themes;
    Palette m_palette;
    PopoverEngines m_engines;
    PopoverState* m_state;
    PopoverActions* m_actions;
    AppDirectory* m_apps;
    OnboardingView* m_onboarding = nullptr;
    PopoverHeader* m_header = nullptr;
    PopoverTabPanel* m_panel = nullptr;
    TabDock* m_dock = nullptr;
    RunningAppsStrip* m_strip = nullptr;
    TourOverlay* m_tour = nullptr;
};
