#include "views/dashboard/PowerThermalTabView.h"

#include "shared/engines/DashboardTestSupport.h"

#include "support/doubles/FakePowerProfiles.h"
#include "ui/Switch.h"

#include <QImage>

#include <gtest/gtest.h>

TEST(PowerThermalTabViewTest, LowPowerSwitchesTheProfileAndRestoresThePreviousOne)
{
    FakeMachine machine;
    auto model = makeModel(machine);
    FakePowerProfiles daemon(true, QStringLiteral("performance"));
    PowerThermalTabView view(*model, daemon);
    ASSERT_TRUE(view.lowPowerSwitch()->isEnabled());
    EXPECT_FALSE(view.lowPowerSwitch()->isChecked());

    view.lowPowerSwitch()->click();
    EXPECT_EQ(daemon.active, "power-saver");
    EXPECT_TRUE(model->isLowPowerModeEnabled());
    EXPECT_TRUE(view.lowPowerSwitch()->isChecked());

    view.lowPowerSwitch()->click();
    EXPECT_EQ(daemon.active, "performance"); // what was in force before, not a fixed profile
    EXPECT_FALSE(model->isLowPowerModeEnabled());
    EXPECT_EQ(daemon.changes, 2);
}

TEST(PowerThermalTabViewTest, SwitchShowsAPowerSaverAlreadyInForce)
{
    FakeMachine machine;
    auto model = makeModel(machine);
    FakePowerProfiles daemon(true, QStringLiteral("power-saver"));
    PowerThermalTabView view(*model, daemon);
    EXPECT_TRUE(view.lowPowerSwitch()->isChecked());
    view.lowPowerSwitch()->click();
    EXPECT_EQ(daemon.active, "balanced");
}

TEST(PowerThermalTabViewTest, WithoutDaemonOrFanControlTheSwitchesAreDisabled)
{
    FakeMachine machine;
    auto model = makeModel(machine);
    FakePowerProfiles none(false);
    PowerThermalTabView view(*model, none);
    EXPECT_FALSE(view.lowPowerSwitch()->isEnabled());
    EXPECT_FALSE(view.lowPowerSwitch()->toolTip().isEmpty());
    view.lowPowerSwitch()->click(); // a disabled switch does nothing
    EXPECT_FALSE(model->isLowPowerModeEnabled());
    EXPECT_FALSE(view.turboSwitch()->isEnabled());
    EXPECT_EQ(view.turboSwitch()->toolTip(), "Fan control is not available on this machine");
    // The reasons show below the switches, not only in their tool tips.
    EXPECT_EQ(view.turboReason(), "Fan control is not available on this machine");
    EXPECT_EQ(view.lowPowerReason(), "Low-power mode needs power-profiles-daemon, which is not running");

    FakePowerProfiles daemon(true, QStringLiteral("balanced"));
    PowerThermalTabView usable(*model, daemon);
    EXPECT_TRUE(usable.lowPowerSwitch()->isEnabled());
    EXPECT_EQ(usable.lowPowerReason(), QString());
}

TEST(PowerThermalTabViewTest, ASwitchOutOfUseFadesItsKnobToo)
{
    Switch toggle;
    toggle.resize(toggle.sizeHint());
    // Drawn on nothing, so that what the switch paints is seen apart from any background.
    const auto knob = [&toggle] {
        QImage image(toggle.size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        toggle.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image.pixelColor(11, 11); // the knob's centre while off
    };
    const QColor enabled = knob();
    toggle.setEnabled(false);
    const QColor disabled = knob();
    EXPECT_LT(disabled.alpha() * disabled.lightnessF(), 0.6 * enabled.alpha() * enabled.lightnessF());
}

TEST(PowerThermalTabViewTest, FanAndBatteryCards)
{
    FakeMachine machine;
    auto model = makeModel(machine);
    FakePowerProfiles none(false);
    PowerThermalTabView view(*model, none);
    model->publishSample({});
    EXPECT_EQ(view.fanText(), "Fan Speed: —"); // no fan readings: no invented speed
    EXPECT_FALSE(view.isFanSymbolActive());
    EXPECT_EQ(view.batteryText(), "—");
    EXPECT_EQ(view.powerText(), "—"); // an estimate, not a reading
    // Nothing is claimed of fans or consumption the machine gives no reading of.
    EXPECT_EQ(view.fanCaption(), "No fan sensor found on this machine");
    EXPECT_EQ(view.powerCaption(), "No power reading on this machine");

    DashboardSample s;
    s.fanRPMs = {0.0};
    platform::BatteryStatus battery;
    battery.currentCapacity = 64;
    s.battery = battery;
    model->publishSample(s);
    EXPECT_EQ(view.fanText(), "Fan Speed: 0 RPM");
    EXPECT_FALSE(view.isFanSymbolActive());
    EXPECT_EQ(view.fanCaption(), "Firmware Dynamic System Control"); // a fan that reads 0 is still a fan
    s.power = DashboardSample::Power {4.5, 0.5};
    model->publishSample(s);
    EXPECT_EQ(view.powerText(), "5.00 W");
    EXPECT_EQ(view.powerCaption(), "Live SoC Consumption");
    s.power.reset();
    EXPECT_EQ(view.batteryText(), "64%");
    EXPECT_EQ(view.chargingText(), "Discharging");

    s.fanRPMs = {1450.7, 3000.0};
    model->publishSample(s);
    EXPECT_EQ(view.fanText(), "Fan Speed: 1450 RPM");
    EXPECT_TRUE(view.isFanSymbolActive());
    EXPECT_EQ(view.fanCaption(), "Firmware Dynamic System Control");
}
