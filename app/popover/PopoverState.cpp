#include "PopoverState.h"

#include "ui/Clock.h"
#include "ui/ViewSettings.h"

PopoverState::PopoverState(ViewSettings& settings, Clock& clock, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_clock(clock)
    , m_lastStepTime(clock.now())
{
    // The other host, or anything else writing the key, moves this popover too.
    connect(&settings, &ViewSettings::valueChanged, this, [this](const QString& key) {
        if (key == ViewSettings::popoverSelectedTabKey)
            emit selectedTabChanged(selectedTab());
    });
}

int PopoverState::selectedTab() const
{
    return m_settings.popoverSelectedTab();
}

void PopoverState::setSelectedTab(int tab)
{
    // Written even when unchanged; selectedTabChanged follows from the settings' change signal.
    m_settings.setPopoverSelectedTab(tab);
}

void PopoverState::selectFromDock(int tab)
{
    setSelectedTab(tab);
    m_lastStepTime = m_clock.now();
}

void PopoverState::toggleHistory()
{
    setSelectedTab(selectedTab() == actions ? cpu : actions);
}

void PopoverState::startTour()
{
    m_tourActive = true;
    m_tourStep = 0;
    m_logoScale = 1.0;
    m_lastStepTime = m_clock.now();
    emit tourChanged();
}

void PopoverState::setTourActive(bool active)
{
    if (m_tourActive == active)
        return;
    m_tourActive = active;
    emit tourChanged();
}
