#include "platform/sensors/SensorMonitor.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using platform::SensorClass;
using platform::SensorMonitor;

namespace {

std::string fixture(const std::string& name)
{
    return std::string(QV_TEST_DATA_DIR) + "/sensors/" + name;
}

void writeFile(const std::filesystem::path& path, const std::string& text)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

} // namespace

TEST(SensorMonitorTest, LaptopMapsIntelPackageNvmeAndAcpiAndReadsFans)
{
    auto monitor = SensorMonitor::create(fixture("laptop"));
    ASSERT_TRUE(monitor);
    EXPECT_EQ(monitor->readTemperature(SensorClass::chip), 63.0); // coretemp package, not a core or the zone
    EXPECT_EQ(monitor->readTemperature(SensorClass::ssd), 38.85); // Composite, not "Sensor 1"
    EXPECT_EQ(monitor->readTemperature(SensorClass::ambient), 41.0);
    EXPECT_FALSE(monitor->readTemperature(SensorClass::gpu)); // no GPU sensor: nothing, never the chip's value
    // hwmon10 sorts after hwmon3; a stopped fan reads 0.
    EXPECT_EQ(monitor->fanRPMs(), (std::vector<double> {2900.0, 0.0}));
    EXPECT_FALSE(monitor->gpuBusyPercent());
}

TEST(SensorMonitorTest, AmdDesktopMapsTctlEdgeDrivetempAndGpuLoad)
{
    auto monitor = SensorMonitor::create(fixture("amd-desktop"));
    ASSERT_TRUE(monitor);
    EXPECT_EQ(monitor->readTemperature(SensorClass::chip), 71.25);
    EXPECT_EQ(monitor->readTemperature(SensorClass::gpu), 51.0); // edge, although junction is listed first
    EXPECT_EQ(monitor->readTemperature(SensorClass::ssd), 33.0);
    EXPECT_FALSE(monitor->readTemperature(SensorClass::ambient));
    EXPECT_EQ(monitor->fanRPMs(), std::vector<double> {1100.0});
    EXPECT_EQ(monitor->gpuBusyPercent(), 37.0); // the busier of two cards
}

TEST(SensorMonitorTest, ThermalZoneNamesWithDashesMatchTheTable)
{
    auto monitor = SensorMonitor::create(fixture("raspberry-pi"));
    ASSERT_TRUE(monitor);
    EXPECT_NEAR(*monitor->readTemperature(SensorClass::chip), 48.312, 1e-9);
    EXPECT_TRUE(monitor->fanRPMs().empty());
    EXPECT_FALSE(monitor->hasFans());
}

TEST(SensorMonitorTest, UnlabelledGpuInputCountsAndADeadPackageSensorBorrowsNothing)
{
    auto monitor = SensorMonitor::create(fixture("nouveau-broken"));
    ASSERT_TRUE(monitor);
    EXPECT_EQ(monitor->readTemperature(SensorClass::gpu), 45.0);
    // "Package id 0" reads 0: the chip has no reading rather than a core's or the GPU's.
    EXPECT_FALSE(monitor->readTemperature(SensorClass::chip));
}

TEST(SensorMonitorTest, MachineWithoutSensorsHasNoMonitor)
{
    QTemporaryDir dir;
    EXPECT_FALSE(SensorMonitor::create(dir.path().toStdString()));
    EXPECT_FALSE(SensorMonitor::create(dir.path().toStdString() + "/missing"));
}

TEST(SensorMonitorTest, ReadingsFollowTheFilesBetweenReads)
{
    QTemporaryDir dir;
    const std::filesystem::path root = dir.path().toStdString();
    writeFile(root / "class/hwmon/hwmon0/name", "k10temp\n");
    writeFile(root / "class/hwmon/hwmon0/temp1_label", "Tctl\n");
    writeFile(root / "class/hwmon/hwmon0/temp1_input", "50000\n");
    auto monitor = SensorMonitor::create(root.string());
    ASSERT_TRUE(monitor);
    EXPECT_EQ(monitor->readTemperature(SensorClass::chip), 50.0);
    writeFile(root / "class/hwmon/hwmon0/temp1_input", "garbage\n");
    EXPECT_FALSE(monitor->readTemperature(SensorClass::chip));
    std::filesystem::remove(root / "class/hwmon/hwmon0/temp1_input");
    EXPECT_FALSE(monitor->readTemperature(SensorClass::chip));
}

TEST(SensorMonitorTest, MillidegreeParsing)
{
    EXPECT_EQ(platform::parseMillidegrees("45500\n"), 45.5);
    EXPECT_FALSE(platform::parseMillidegrees("0"));
    EXPECT_FALSE(platform::parseMillidegrees("-5000"));
    EXPECT_FALSE(platform::parseMillidegrees(""));
    EXPECT_FALSE(platform::parseMillidegrees("12a"));
}
