#include "ViewSettings.h"

#include "core/UserDefaults.h"

ViewSettings& ViewSettings::shared()
{
    static ViewSettings* settings = new ViewSettings(UserDefaults::standard());
    return *settings;
}

ViewSettings::ViewSettings(UserDefaults& defaults, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
{
    // Queued where the write came from another thread, direct on the GUI thread.
    connect(&m_defaults, &UserDefaults::valueChanged, this, [this](const QString& key) {
        emit valueChanged(key);
        if (key == showMenuBarSparklineKey || key == showMenuBarCPURingKey || key == showMenuBarTextReadoutsKey)
            emit menuBarSettingsChanged();
    });
}

bool ViewSettings::boolValue(const QString& key, bool fallback) const
{
    return m_defaults.boolValue(key, fallback);
}

void ViewSettings::setBool(const QString& key, bool value)
{
    m_defaults.setBool(key, value);
}

int ViewSettings::intValue(const QString& key, int fallback) const
{
    bool ok = false;
    const int n = m_defaults.value(key).toInt(&ok);
    return ok ? n : fallback;
}

void ViewSettings::setInt(const QString& key, int value)
{
    m_defaults.setValue(key, value);
}

bool ViewSettings::showMenuBarSparkline() const
{
    return boolValue(showMenuBarSparklineKey, true);
}

bool ViewSettings::showMenuBarCPURing() const
{
    return boolValue(showMenuBarCPURingKey, true);
}

bool ViewSettings::showMenuBarTextReadouts() const
{
    return boolValue(showMenuBarTextReadoutsKey, true);
}

bool ViewSettings::hasFinishedOnboarding() const
{
    return boolValue(hasFinishedOnboardingKey, false);
}

bool ViewSettings::useTelemetryCharts() const
{
    return boolValue(useTelemetryChartsKey, false);
}

int ViewSettings::popoverSelectedTab() const
{
    return intValue(popoverSelectedTabKey, 1);
}

void ViewSettings::setShowMenuBarSparkline(bool on)
{
    setBool(showMenuBarSparklineKey, on);
}

void ViewSettings::setShowMenuBarCPURing(bool on)
{
    setBool(showMenuBarCPURingKey, on);
}

void ViewSettings::setShowMenuBarTextReadouts(bool on)
{
    setBool(showMenuBarTextReadoutsKey, on);
}

void ViewSettings::setHasFinishedOnboarding(bool done)
{
    setBool(hasFinishedOnboardingKey, done);
}

void ViewSettings::setUseTelemetryCharts(bool on)
{
    setBool(useTelemetryChartsKey, on);
}

void ViewSettings::setPopoverSelectedTab(int tab)
{
    setInt(popoverSelectedTabKey, tab);
}
