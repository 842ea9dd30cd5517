#pragma once

#include <QDateTime>
#include <QObject>

class Clock;
class ViewSettings;

// The view state one popover's parts share: the selected tab (kept in the user defaults, so both hosts
// and the next launch see it) and the guided tour's fields.
class PopoverState : public QObject
{
    Q_OBJECT
public:
    enum Tab { memory = 0, cpu = 1, actions = 2, storage = 3, network = 4 };

    PopoverState(ViewSettings& settings, Clock& clock, QObject* parent = nullptr);

    // As stored; a value outside 0-4 is kept as it is (and shown as the CPU tab).
    int selectedTab() const;
    void setSelectedTab(int tab);
    // A dock click: the tab, and the tour's step time renewed.
    void selectFromDock(int tab);
    // The history control: tab 1 from tab 2, tab 2 from any other.
    void toggleHistory();

    bool tourActive() const { return m_tourActive; }
    int tourStep() const { return m_tourStep; }
    double logoScale() const { return m_logoScale; }
    QDateTime lastStepTime() const { return m_lastStepTime; }
    void startTour();
    void setTourActive(bool active);

    // The welcome pulse writes the logo's scale back here; nothing redraws from it.
    void setLogoScale(double scale) { m_logoScale = scale; }
    // One step on (Next, or the clock after 4 s): steps 3, 4 and 5 select the memory, CPU and actions tabs;
    // past step 6 the tour ends and hands over to the settings window.
    void tourNext();
    // One step back from step 1 or later; landing on 3, 4 or 5 selects that step's tab again.
    void tourBack();
    // Ends the tour where it stands, without the settings window.
    void tourSkip();
    // The tour clock's check, once a second while the tour runs: a step shown 4 s or more moves on.
    void tourTick();
    // The tab a step selects when entered, or -1 for a step that leaves the tab alone.
    static int tabForTourStep(int step);

    static constexpr int kTourSteps = 7;
    static constexpr int kStepMs = 4000;
    static constexpr int kTickMs = 1000;
    static constexpr int kHandOverMs = 600;

    ViewSettings& settings() const { return m_settings; }
    Clock& clock() const { return m_clock; }

signals:
    void selectedTabChanged(int tab);
    void tourChanged();
    // The tour ran to its end: the host opens the settings window now ("StartSettingsTour" follows
    // 600 ms later).
    void settingsWindowRequested();

private:
    void scheduleTick();
    void setTourStep(int step);

    ViewSettings& m_settings;
    Clock& m_clock;
    bool m_tourActive = false;
    int m_tourStep = 0;
    double m_logoScale = 1.0;
    QDateTime m_lastStepTime;
    bool m_tickPending = false;
};
