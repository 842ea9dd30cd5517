#include "SettingsTour.h"

#include "ui/Clock.h"

#include <QCoreApplication>

const std::array<SettingsTour::Step, SettingsTour::kStepCount>& SettingsTour::steps()
{
    static const std::array<Step, kStepCount> table {{
        {QT_TRANSLATE_NOOP("SettingsTour", "⚙️ Preferences & General"),
            QT_TRANSLATE_NOOP("SettingsTour",
                "Choose autostart launch configuration, manage resource notification triggers, pick tray and theme "
                "styles, and tune active background telemetry intervals.")},
        {QT_TRANSLATE_NOOP("SettingsTour", "📊 System Monitors & Sensors"),
            QT_TRANSLATE_NOOP("SettingsTour",
                "Monitor physical diode temperature sensors, cluster loads, and core history load curves in "
                "detail.")},
        {QT_TRANSLATE_NOOP("SettingsTour", "💻 Diagnostics & Specifications"),
            QT_TRANSLATE_NOOP("SettingsTour",
                "View the premium 2-column hardware diagnostics dashboard detailing chipset specifications, memory "
                "size, and core layout configurations.")},
        {QT_TRANSLATE_NOOP("SettingsTour", "Tour Complete! 🎉"),
            QT_TRANSLATE_NOOP("SettingsTour",
                "You have completed the guided tour of Quorvane. Your local AI co-pilot is fully active, guarding "
                "memory conflicts and optimizing compilation in the background.")},
    }};
    return table;
}

void SettingsTour::setFacts(const Facts& facts)
{
    if (facts == m_facts)
        return;
    m_facts = facts;
    emit changed();
}

QString SettingsTour::text(int step) const
{
    if (step < 0 || step >= kStepCount)
        return {};
    if (step == 1 && !m_facts.hasTemperature)
        return tr("Monitor cluster loads and core history load curves in detail; this machine reports no temperature "
                  "sensor.");
    // The last step claims the background work only where it runs.
    if (step == kStepCount - 1 && !m_facts.canPause)
        return tr("You have completed the guided tour of Quorvane. It shows what your machine is doing, but cannot "
                  "pause background processes without its helper.");
    if (step == kStepCount - 1 && !m_facts.autonomous)
        return tr("You have completed the guided tour of Quorvane. Automatic persona switching is off, so it pauses "
                  "nothing in the background until you turn it on.");
    return QCoreApplication::translate("SettingsTour", steps()[static_cast<std::size_t>(step)].text);
}

int SettingsTour::pageForStep(int step)
{
    switch (step) {
    case 0:
        return 0;
    case 1:
        return 5;
    case 2:
        return 11;
    default:
        return -1;
    }
}

SettingsTour::SettingsTour(Clock& clock, QObject* parent)
    : QObject(parent)
    , m_clock(clock)
    , m_lastStepTime(clock.now())
{
}

void SettingsTour::start()
{
    m_active = true;
    m_step = 0;
    emit tabRequested(0);
    m_lastStepTime = m_clock.now();
    emit changed();
}

void SettingsTour::advance()
{
    if (!m_active)
        return;
    const QDateTime now = m_clock.now();
    if (m_lastStepTime.msecsTo(now) < static_cast<qint64>(kStepSeconds * 1000))
        return;
    m_lastStepTime = now;
    stepForward();
}

void SettingsTour::stepForward()
{
    if (m_step > 2) {
        m_active = false;
        emit changed();
        return;
    }
    ++m_step;
    if (const int page = pageForStep(m_step); page >= 0)
        emit tabRequested(page);
    emit changed();
}

void SettingsTour::stepBack()
{
    if (m_step < 1)
        return;
    --m_step;
    m_lastStepTime = m_clock.now();
    emit tabRequested(pageForStep(m_step));
    emit changed();
}

void SettingsTour::next()
{
    m_lastStepTime = m_clock.now();
    stepForward();
}

void SettingsTour::skip()
{
    m_active = false;
    emit changed();
}
