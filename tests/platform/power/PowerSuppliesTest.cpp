#include "platform/power/PowerSupplies.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using platform::BatteryStatus;
using platform::PowerSupplies;

namespace {

std::string fixture(const std::string& name)
{
    return std::string(QV_TEST_DATA_DIR) + "/power/" + name;
}

void writeFile(const std::filesystem::path& path, const std::string& text)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << text << '\n';
}

} // namespace

TEST(PowerSuppliesTest, LaptopOnBatteryReadsCapacityAndMinutesLeft)
{
    auto battery = PowerSupplies(fixture("laptop-on-battery")).internalBattery();
    ASSERT_TRUE(battery);
    EXPECT_EQ(battery->percentage(), 57); // capacity wins over the energy ratio (57 either way here)
    EXPECT_FALSE(battery->isCharging);
    EXPECT_EQ(battery->timeToEmptyMinutes, 180); // 28.5 Wh at 9.5 W
    EXPECT_TRUE(battery->onBattery);
}

TEST(PowerSuppliesTest, ChargingFromUsbWithChargeCounters)
{
    auto battery = PowerSupplies(fixture("laptop-charging-usb")).internalBattery();
    ASSERT_TRUE(battery);
    EXPECT_EQ(battery->currentCapacity, 4500000);
    EXPECT_EQ(battery->maxCapacity, 5000000);
    EXPECT_EQ(battery->percentage(), 90);
    EXPECT_TRUE(battery->isCharging);
    EXPECT_EQ(battery->timeToEmptyMinutes, 0); // charging: no time to empty
    EXPECT_FALSE(battery->onBattery); // USB-C online although the barrel adapter is not
}

TEST(PowerSuppliesTest, DesktopWithAMouseBatteryHasNoInternalBattery)
{
    EXPECT_FALSE(PowerSupplies(fixture("desktop")).internalBattery());
    QTemporaryDir empty;
    EXPECT_FALSE(PowerSupplies(empty.path().toStdString()).internalBattery());
}

TEST(PowerSuppliesTest, ZeroFullCapacityGivesNoPercentage)
{
    auto battery = PowerSupplies(fixture("worn-out-gauge")).internalBattery();
    ASSERT_TRUE(battery);
    EXPECT_EQ(battery->maxCapacity, 0);
    EXPECT_FALSE(battery->percentage());
    // No AC adapter at all: the battery's own "Discharging" says the machine runs on it.
    EXPECT_TRUE(battery->onBattery);
}

TEST(PowerSuppliesTest, PercentageArithmetic)
{
    EXPECT_EQ((BatteryStatus {57, 100}.percentage()), 57);
    EXPECT_EQ((BatteryStatus {4500, 5000}.percentage()), 90);
    EXPECT_EQ((BatteryStatus {2, 3}.percentage()), 66); // truncated, not rounded
    EXPECT_FALSE((BatteryStatus {10, -1}.percentage()));
}

TEST(PowerSuppliesTest, DriverEstimateAndMissingRateAndDeviceScopeOrder)
{
    QTemporaryDir dir;
    const std::filesystem::path ps = std::filesystem::path(dir.path().toStdString()) / "class/power_supply";
    // Sorts before BAT0 but belongs to a device.
    writeFile(ps / "AAA-keyboard/type", "Battery");
    writeFile(ps / "AAA-keyboard/scope", "Device");
    writeFile(ps / "AAA-keyboard/capacity", "12");
    writeFile(ps / "BAT0/type", "Battery");
    writeFile(ps / "BAT0/status", "Discharging");
    writeFile(ps / "BAT0/capacity", "40");
    writeFile(ps / "BAT0/power_now", "0");
    writeFile(ps / "BAT0/energy_now", "20000000");
    PowerSupplies supplies(dir.path().toStdString());
    ASSERT_TRUE(supplies.internalBattery());
    EXPECT_EQ(supplies.internalBattery()->percentage(), 40);
    EXPECT_EQ(supplies.internalBattery()->timeToEmptyMinutes, 0); // zero draw: no estimate, no division
    writeFile(ps / "BAT0/time_to_empty_now", "5430");
    EXPECT_EQ(supplies.internalBattery()->timeToEmptyMinutes, 90);
}
