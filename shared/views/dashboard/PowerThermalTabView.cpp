#include "PowerThermalTabView.h"

#include "PageStyle.h"
#include "engines/DashboardViewModel.h"
#include "platform/desktop/PowerProfiles.h"
#include "ui/NumberText.h"
#include "ui/Switch.h"

#include <QHBoxLayout>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

using PageStyle::Tone;

QHBoxLayout* PowerThermalTabView::switchRow(
    QWidget* parent, const QString& title, const QString& caption, SwitchRow& row)
{
    auto* layout = new QHBoxLayout;
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    row.title = new ToneLabel(title, PageStyle::headline(), Tone::primary, parent);
    texts->addWidget(row.title);
    auto* small = new ToneLabel(caption, PageStyle::caption(), Tone::secondary, parent);
    small->setWordWrap(true);
    texts->addWidget(small);
    row.reason = new ToneLabel({}, PageStyle::caption(), Tone::orange, parent);
    row.reason->setWordWrap(true);
    row.reason->hide();
    texts->addWidget(row.reason);
    layout->addLayout(texts, 1);
    row.toggle = new Switch(parent);
    row.toggle->setAccessibleName(title);
    layout->addWidget(row.toggle, 0, Qt::AlignVCenter);
    return layout;
}

void PowerThermalTabView::setUnavailable(SwitchRow& row, const QString& reason)
{
    const bool unavailable = !reason.isEmpty();
    row.toggle->setEnabled(!unavailable);
    row.toggle->setToolTip(reason);
    row.title->setTone(Tone::primary, unavailable ? 0.45 : 1.0);
    row.reason->setText(reason);
    row.reason->setVisible(unavailable);
}

QString PowerThermalTabView::reasonOf(const SwitchRow& row)
{
    return row.reason->isHidden() ? QString() : row.reason->text();
}

QString PowerThermalTabView::lowPowerReason() const
{
    return reasonOf(m_lowPowerRow);
}

QString PowerThermalTabView::turboReason() const
{
    return reasonOf(m_turboRow);
}

PowerThermalTabView::PowerThermalTabView(DashboardViewModel& stats, PowerProfiles& profiles, QWidget* parent)
    : QWidget(parent)
    , m_stats(stats)
    , m_profiles(profiles)
{
    auto* content = new QWidget;
    content->setAutoFillBackground(false);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(20);
    column->addWidget(new ToneLabel(tr("Power & Thermal Management"), PageStyle::title2(), Tone::primary, content));

    column->addWidget(buildEnergy(content));
    column->addWidget(buildCooling(content));
    column->addStretch();
    PageStyle::scrollingPage(this, content);

    // No fan of this machine can be driven from a user program.
    setUnavailable(m_turboRow, tr("Fan control is not available on this machine"));
    m_lowPowerRow.toggle->setEnabled(false);
    connect(m_lowPowerRow.toggle, &Switch::toggled, this, &PowerThermalTabView::lowPowerToggled);

    repaintOnThemeChange(this);
    connect(&m_stats, &DashboardViewModel::figuresChanged, this, &PowerThermalTabView::refresh);
    connect(&m_stats, &DashboardViewModel::isLowPowerModeEnabledChanged, this, &PowerThermalTabView::refresh);
    connect(&m_stats, &DashboardViewModel::forceTurboCoolingChanged, this, &PowerThermalTabView::refresh);
    refresh();
    probeProfiles();
}

QWidget* PowerThermalTabView::buildEnergy(QWidget* content)
{
    QVBoxLayout* energy = nullptr;
    auto* section = PageStyle::sectionPanel(content, energy, 12, 14);
    energy->addWidget(new ToneLabel(tr("Energy & Battery"), PageStyle::headline(), Tone::primary, content));
    energy->addLayout(switchRow(content, tr("Energy Saving / Low Power Mode"),
        tr("Scales down CPU/GPU clocks to maximize laptop battery life."), m_lowPowerRow));
    auto* cards = new QHBoxLayout;
    cards->setSpacing(16);
    QVBoxLayout* battery = nullptr;
    cards->addWidget(PageStyle::sectionPanel(content, battery, 10, 4), 1);
    battery->addWidget(new ToneLabel(tr("Battery Charge"), PageStyle::caption(), Tone::secondary, content));
    m_battery = new ToneLabel(NumberText::dash, PageStyle::title2(), Tone::primary, content);
    battery->addWidget(m_battery);
    m_charging = new ToneLabel({}, PageStyle::caption(), Tone::green, content);
    battery->addWidget(m_charging);
    QVBoxLayout* power = nullptr;
    cards->addWidget(PageStyle::sectionPanel(content, power, 10, 4), 1);
    power->addWidget(new ToneLabel(tr("Power Draw"), PageStyle::caption(), Tone::secondary, content));
    m_power = new ToneLabel(NumberText::dash, PageStyle::title2(), Tone::primary, content);
    power->addWidget(m_power);
    m_powerCaption = new ToneLabel({}, PageStyle::caption(), Tone::secondary, content);
    power->addWidget(m_powerCaption);
    energy->addLayout(cards);

    return section;
}

QWidget* PowerThermalTabView::buildCooling(QWidget* content)
{
    QVBoxLayout* cooling = nullptr;
    auto* section = PageStyle::sectionPanel(content, cooling, 12, 14);
    cooling->addWidget(new ToneLabel(tr("Thermal & Active Cooling"), PageStyle::headline(), Tone::primary, content));
    auto* fanCard = PageStyle::panel(0.04, 10, content);
    auto* fanRow = new QHBoxLayout(fanCard);
    fanRow->setContentsMargins(16, 16, 16, 16);
    fanRow->setSpacing(20);
    m_fanSymbol = new ToneSymbol(QStringLiteral("fanblades.fill"), Tone::secondary, 36, fanCard);
    fanRow->addWidget(m_fanSymbol);
    auto* fanTexts = new QVBoxLayout;
    fanTexts->setSpacing(4);
    m_fan = new ToneLabel({}, PageStyle::title3(), Tone::primary, fanCard);
    m_fanCaption = new ToneLabel({}, PageStyle::caption(), Tone::green, fanCard);
    fanTexts->addWidget(m_fan);
    fanTexts->addWidget(m_fanCaption);
    fanRow->addLayout(fanTexts);
    fanRow->addStretch();
    cooling->addWidget(fanCard);
    cooling->addLayout(switchRow(content, tr("Manual Turbofan Override Mode"),
        tr("Immediately spool up cooling fans to maximum capacity. Recommended before heavy compiles."), m_turboRow));
    return section;
}

void PowerThermalTabView::probeProfiles()
{
    m_profiles.activeProfile(this, [this](std::optional<QString> active) {
        if (!active) {
            setUnavailable(m_lowPowerRow, tr("Low-power mode needs power-profiles-daemon, which is not running"));
            return;
        }
        setUnavailable(m_lowPowerRow, {});
        // The system may already save power: the switch shows what is in force.
        m_stats.setIsLowPowerModeEnabled(*active == PowerProfiles::powerSaver);
    });
}

void PowerThermalTabView::lowPowerToggled(bool on)
{
    if (on == m_stats.isLowPowerModeEnabled())
        return;
    m_lowPowerRow.toggle->setEnabled(false);
    auto settle = [this](bool enabled) {
        m_stats.setIsLowPowerModeEnabled(enabled);
        m_lowPowerRow.toggle->setEnabled(true);
        refresh();
    };
    if (!on) {
        const QString back = m_previousProfile.isEmpty() ? PowerProfiles::balanced : m_previousProfile;
        m_profiles.setActiveProfile(back, this, [settle](bool ok) { settle(!ok); });
        return;
    }
    // Remember the profile in force now, so turning the mode off restores it.
    m_profiles.activeProfile(this, [this, settle](std::optional<QString> active) {
        if (!active) {
            settle(false);
            return;
        }
        if (*active != PowerProfiles::powerSaver)
            m_previousProfile = *active;
        m_profiles.setActiveProfile(PowerProfiles::powerSaver, this, [settle](bool ok) { settle(ok); });
    });
}

void PowerThermalTabView::refresh()
{
    {
        const QSignalBlocker blocker(m_lowPowerRow.toggle);
        m_lowPowerRow.toggle->setChecked(m_stats.isLowPowerModeEnabled());
    }
    m_turboRow.toggle->setChecked(m_stats.forceTurboCooling());

    const MeasuredFigures& measured = m_stats.measured();
    if (measured.battery) {
        m_battery->setText(QString::number(m_stats.batteryPercentage()) + QStringLiteral("%"));
        m_charging->setText(m_stats.batteryIsCharging() ? tr("Charging") : tr("Discharging"));
        m_charging->setTone(Tone::green);
    } else {
        m_battery->setText(NumberText::dash);
        m_charging->setText(tr("No battery found"));
        m_charging->setTone(Tone::secondary);
    }
    m_power->setText(PageStyle::figure(measured.powerDraw, "%.2f W", m_stats.powerDraw()));
    m_powerCaption->setText(measured.powerDraw ? tr("Live SoC Consumption") : tr("No power reading on this machine"));

    const QList<double> fans = m_stats.fanRPMs();
    const bool fanKnown = measured.fans && !fans.isEmpty();
    const bool spinning = fanKnown && fans.first() > 0;
    m_fanSymbol->setTone(spinning ? Tone::blue : Tone::secondary);
    m_fan->setText(tr("Fan Speed: ")
        + (fanKnown ? PageStyle::wholeFigure(true, fans.first(), QStringLiteral(" RPM")) : NumberText::dash));
    const bool turbo = m_stats.forceTurboCooling();
    // Without a fan reading nothing is known of how the fans are driven.
    if (turbo) {
        m_fanCaption->setText(tr("TURBO OVERRIDE ACTIVE"));
        m_fanCaption->setTone(Tone::orange);
    } else if (fanKnown) {
        m_fanCaption->setText(tr("Firmware Dynamic System Control"));
        m_fanCaption->setTone(Tone::green);
    } else {
        m_fanCaption->setText(tr("No fan sensor found on this machine"));
        m_fanCaption->setTone(Tone::secondary);
    }
}

QString PowerThermalTabView::batteryText() const
{
    return m_battery->text();
}

QString PowerThermalTabView::chargingText() const
{
    return m_charging->text();
}

QString PowerThermalTabView::powerText() const
{
    return m_power->text();
}

QString PowerThermalTabView::fanText() const
{
    return m_fan->text();
}

QString PowerThermalTabView::powerCaption() const
{
    return m_powerCaption->text();
}

QString PowerThermalTabView::fanCaption() const
{
    return m_fanCaption->text();
}

bool PowerThermalTabView::isFanSymbolActive() const
{
    return m_fanSymbol->tone() == Tone::blue;
}
