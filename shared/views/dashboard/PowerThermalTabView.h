#pragma once

#include <QString>
#include <QWidget>

class DashboardViewModel;
class QHBoxLayout;
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
    PowerThermalTabView(DashboardViewModel& stats, PowerProfiles& profiles, QWidget* parent = nullptr);

    Switch* lowPowerSwitch() const { return m_lowPowerRow.toggle; }
    Switch* turboSwitch() const { return m_turboRow.toggle; }
    // Why the switch is out of use, as shown below it; empty while it can be used.
    QString lowPowerReason() const;
    QString turboReason() const;
    QString batteryText() const;
    QString chargingText() const;
    QString powerText() const;
    QString fanText() const;
    QString fanCaption() const;
    QString powerCaption() const;
    bool isFanSymbolActive() const;

private:
    // A switch with its headline, and the line below that says why it is out of use.
    struct SwitchRow
    {
        Switch* toggle = nullptr;
        ToneLabel* title = nullptr;
        ToneLabel* reason = nullptr;
    };
    static QHBoxLayout* switchRow(QWidget* parent, const QString& title, const QString& caption, SwitchRow& row);
    // Puts the switch out of use with `reason` shown below it, or back in use for an empty reason.
    static void setUnavailable(SwitchRow& row, const QString& reason);
    static QString reasonOf(const SwitchRow& row);

    // The energy and the cooling sections, parented to `content`.
    QWidget* buildEnergy(QWidget* content);
    QWidget* buildCooling(QWidget* content);
    void refresh();
    void probeProfiles();
    void lowPowerToggled(bool on);

    DashboardViewModel& m_stats;
    PowerProfiles& m_profiles;
    QString m_previousProfile;
    SwitchRow m_lowPowerRow;
    SwitchRow m_turboRow;
    ToneLabel* m_battery = nullptr;
    ToneLabel* m_charging = nullptr;
    ToneLabel* m_power = nullptr;
    ToneSymbol* m_fanSymbol = nullptr;
    ToneLabel* m_fan = nullptr;
    ToneLabel* m_powerCaption = nullptr;
    ToneLabel* m_fanCaption = nullptr;
};
