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

    ViewSettings& settings() const { return m_settings; }
    Clock& clock() const { return m_clock; }

signals:
    void selectedTabChanged(int tab);
    void tourChanged();

private:
    ViewSettings& m_settings;
    Clock& m_clock;
    bool m_tourActive = false;
    int m_tourStep = 0;
    double m_logoScale = 1.0;
    QDateTime m_lastStepTime;
};
