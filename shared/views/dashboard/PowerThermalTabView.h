#pragma once

#include <QString>
#include <QWidget>

class DashboardViewModel;
class PowerProfiles;
class Switch;
class ToneSymbol;
class ToneLabel;

// The energy and cooling page: the low-power switch, battery and power cards, the fan card and the
// fan override. Low-power mode switches the power-profiles daemon to "power-saver" and back to the
// profile it had before; where no daemon runs the switch is disabled. No fan can be driven from here,
// so the override stays disabled.
class PowerThermalTabView : public QWidget
{
    Q_OBJECT
public:
    explicit PowerThermalTabView(DashboardViewModel& stats, QWidget* parent = nullptr);
    PowerThermalTabView(DashboardViewModel& stats, PowerProfiles& profiles, QWidget* parent = nullptr);

    Switch* lowPowerSwitch() const { return m_lowPower; }
    Switch* turboSwitch() const { return m_turbo; }
    QString batteryText() const;
    QString chargingText() const;
    QString powerText() const;
    QString fanText() const;
    QString fanCaption() const;
    bool isFanSymbolActive() const;

private:
    // The energy and the cooling sections, parented to `content`.
    QWidget* buildEnergy(QWidget* content);
    QWidget* buildCooling(QWidget* content);
    void refresh();
    void probeProfiles();
    void lowPowerToggled(bool on);

    DashboardViewModel& m_stats;
    PowerProfiles& m_profiles;
    QString m_previousProfile;
    Switch* m_lowPower = nullptr;
    Switch* m_turbo = nullptr;
    ToneLabel* m_battery = nullptr;
    ToneLabel* m_charging = nullptr;
    ToneLabel* m_power = nullptr;
    ToneSymbol* m_fanSymbol = nullptr;
    ToneLabel* m_fan = nullptr;
    ToneLabel* m_fanCaption = nullptr;
};
