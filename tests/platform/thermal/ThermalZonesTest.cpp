#include "platform/thermal/ThermalZones.h"

#include <gtest/gtest.h>

using platform::ThermalZone;
using platform::ThermalZones;
using platform::TripPoint;

namespace {

std::vector<ThermalZone> zonesOf(const std::string& machine)
{
    return ThermalZones(std::string(QV_TEST_DATA_DIR) + "/machines/" + machine + "/sys").read();
}

} // namespace

TEST(ThermalZonesFixtures, ReadsZonesInNumericOrderWithTheirTrips)
{
    const auto zones = zonesOf("hybrid-intel");
    ASSERT_EQ(zones.size(), 3u);
    EXPECT_EQ(zones[0], (ThermalZone {0, "acpitz", 52.0, {{"critical", 105.0}, {"active", 60.0}}}));
    // An unset trip point (0) is dropped, the set one kept.
    EXPECT_EQ(zones[1], (ThermalZone {1, "x86_pkg_temp", 83.0, {{"passive", 95.0}}}));
    EXPECT_EQ(zones[2].index, 10); // zone 10 after zone 1, not after zone 0
    EXPECT_DOUBLE_EQ(zones[2].celsius, 47.5);
    EXPECT_TRUE(zones[2].trips.empty());
}

TEST(ThermalZonesFixtures, LeavesOutDisabledAndUnreadableZones)
{
    const auto plain = zonesOf("plain");
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(plain[0].type, "acpitz");

    const auto arm = zonesOf("arm");
    ASSERT_EQ(arm.size(), 2u); // gpu-thermal has no temp
    EXPECT_EQ(arm[0].type, "soc-thermal");
    EXPECT_EQ(arm[1].type, "npu-thermal");
    EXPECT_DOUBLE_EQ(arm[1].celsius, -2.0);

    EXPECT_TRUE(zonesOf("no-thermal").empty());
    EXPECT_TRUE(ThermalZones("/nonexistent").read().empty());
}

TEST(ThermalZonesParse, Millidegrees)
{
    EXPECT_EQ(ThermalZones::parseMillidegrees("45123\n"), 45.123);
    EXPECT_EQ(ThermalZones::parseMillidegrees("-500"), -0.5);
    EXPECT_FALSE(ThermalZones::parseMillidegrees(""));
    EXPECT_FALSE(ThermalZones::parseMillidegrees("45.1"));
}
