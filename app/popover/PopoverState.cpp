#include "PopoverState.h"

#include "core/NotificationCenter.h"
#include "core/Notifications.h"
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
    scheduleTick();
}

void PopoverState::setTourActive(bool active)
{
    if (m_tourActive == active)
        return;
    m_tourActive = active;
    emit tourChanged();
    scheduleTick();
}

int PopoverState::tabForTourStep(int step)
{
    switch (step) {
    case 3:
        return memory;
    case 4:
        return cpu;
    case 5:
        return actions;
    default:
        return -1;
    }
}

void PopoverState::setTourStep(int step)
{
    if (const int tab = tabForTourStep(step); tab >= 0)
        setSelectedTab(tab);
    m_tourStep = step;
    emit tourChanged();
}

void PopoverState::tourNext()
{
    // A second press on a card that is fading out must not end the tour (and open settings) twice.
    if (!m_tourActive)
        return;
    m_lastStepTime = m_clock.now();
    if (m_tourStep < kTourSteps - 1) {
        setTourStep(m_tourStep + 1);
        return;
    }
    setTourActive(false);
    // The window opens once the popover has finished this event; the settings tour starts when that
    // window has had time to show.
    m_clock.singleShot(0, this, [this] {
        emit settingsWindowRequested();
        m_clock.singleShot(
            kHandOverMs, this, [] { NotificationCenter::defaultCenter().post(Notifications::startSettingsTour); });
    });
}

void PopoverState::tourBack()
{
    if (!m_tourActive || m_tourStep < 1)
        return;
    setTourStep(m_tourStep - 1);
    m_lastStepTime = m_clock.now();
}

void PopoverState::tourSkip()
{
    setTourActive(false);
}

void PopoverState::tourTick()
{
    if (m_tourActive && m_lastStepTime.msecsTo(m_clock.now()) >= kStepMs)
        tourNext();
}

void PopoverState::scheduleTick()
{
    // One pending tick at a time, whatever starts and stops the tour in between, so the pace stays one
    // check a second.
    if (!m_tourActive || m_tickPending)
        return;
    m_tickPending = true;
    m_clock.singleShot(kTickMs, this, [this] {
        m_tickPending = false;
        tourTick();
        scheduleTick();
    });
}
