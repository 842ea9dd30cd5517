#pragma once

#include "ConfigurationPage.h"

class QCheckBox;
class QLabel;
class QSlider;

// The Automation page: the memory-pressure threshold, unloading local models under pressure, the
// throttling aggressiveness and the applications never to suspend.
class AutomationSection : public ConfigurationPage
{
    Q_OBJECT
public:
    explicit AutomationSection(SettingsView& view, QWidget* parent = nullptr);

    QSlider* ramSlider() const { return m_ram; }
    QLabel* ramValue() const { return m_ramValue; }
    QCheckBox* autoUnload() const { return m_autoUnload; }
    QSlider* aggressivenessSlider() const { return m_aggressiveness; }
    QLabel* aggressivenessValue() const { return m_aggressivenessValue; }
    const ListEditor& whitelist() const { return m_whitelist; }

protected:
    void showConfiguration(const PersonaConfiguration& configuration) override;

private:
    QSlider* m_ram;
    QLabel* m_ramValue;
    QCheckBox* m_autoUnload;
    QSlider* m_aggressiveness;
    QLabel* m_aggressivenessValue;
    ListEditor m_whitelist;
};
