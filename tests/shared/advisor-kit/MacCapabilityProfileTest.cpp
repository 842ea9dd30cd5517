#include "advisor-kit/MacCapabilityProfile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using SpeedClass = MacCapabilityProfile::SpeedClass;
using Headroom = MacCapabilityProfile::ThermalHeadroom;

MacCapabilityProfile withMemory(double totalGB, Headroom thermal = Headroom::excellent)
{
    MacCapabilityProfile p = MacCapabilityProfile::defaultProfile();
    p.totalMemoryGB = totalGB;
    p.thermalHeadroom = thermal;
    return p;
}

SpeedClass speedFor(double bandwidth)
{
    MacCapabilityProfile p = MacCapabilityProfile::defaultProfile();
    p.memoryBandwidthGBs = bandwidth;
    return p.estimatedInferenceSpeedClass();
}

std::vector<std::string> names(const std::vector<MacCapabilityProfile::Capability>& rows)
{
    std::vector<std::string> out;
    for (const auto& r : rows)
        out.push_back(r.name + (r.possible ? " +" : " -"));
    return out;
}

} // namespace

TEST(MacCapabilityProfileTest, DefaultProfileDerivations)
{
    const auto& p = MacCapabilityProfile::defaultProfile();
    EXPECT_EQ(p.estimatedInferenceSpeedClass(), SpeedClass::slow);
    EXPECT_EQ(p.maximumModelSizeGB(), 0);
    EXPECT_EQ(p.maximumModelSizeForBuildsGB(), 0);
    const auto rows = p.capabilities();
    EXPECT_EQ(names(rows),
        (std::vector<std::string> {"7B parameter models +", "70B parameter models -", "405B parameter models -",
            "Image generation (SDXL) +", "Real-time voice (Whisper) +", "128K context window -"}));
    EXPECT_EQ(rows[3].quality, "Slow");
    EXPECT_EQ(rows[3].detail, "Possible but slow");
    EXPECT_EQ(rows[5].quality, "Slow");
    EXPECT_EQ(rows[5].icon, "xmark.circle");
    EXPECT_FALSE(rows[1].quality);
}

TEST(MacCapabilityProfileTest, SizeLimitsAtTheirBoundaries)
{
    EXPECT_EQ(withMemory(24, Headroom::tight).maximumModelSizeGB(), 8);
    EXPECT_EQ(withMemory(24, Headroom::adequate).maximumModelSizeGB(), 12);
    EXPECT_EQ(withMemory(24, Headroom::excellent).maximumModelSizeGB(), 16);
    EXPECT_EQ(withMemory(12, Headroom::tight).maximumModelSizeGB(), 0);

    MacCapabilityProfile p = MacCapabilityProfile::defaultProfile();
    p.typicalFreeHeadroomGB = 30;
    EXPECT_EQ(p.maximumModelSizeForBuildsGB(), 6);
    p.typicalFreeHeadroomGB = 20;
    EXPECT_EQ(p.maximumModelSizeForBuildsGB(), 0);
}

TEST(MacCapabilityProfileTest, SpeedClassFromBandwidth)
{
    EXPECT_EQ(speedFor(0), SpeedClass::slow);
    EXPECT_EQ(speedFor(99.99), SpeedClass::slow);
    EXPECT_EQ(speedFor(100), SpeedClass::moderate);
    EXPECT_EQ(speedFor(200), SpeedClass::fast);
    EXPECT_EQ(speedFor(399.9), SpeedClass::fast);
    EXPECT_EQ(speedFor(400), SpeedClass::veryFast);
    EXPECT_EQ(speedFor(800), SpeedClass::veryFast);
    // A failed detection is the slowest class, never the fastest; infinity lies above every bound.
    EXPECT_EQ(speedFor(-1), SpeedClass::slow);
    EXPECT_EQ(speedFor(-std::numeric_limits<double>::infinity()), SpeedClass::slow);
    EXPECT_EQ(speedFor(std::nan("")), SpeedClass::slow);
    EXPECT_EQ(speedFor(std::numeric_limits<double>::infinity()), SpeedClass::veryFast);

    EXPECT_EQ(description(SpeedClass::slow), "8-15 tok/s (M1 base)");
    EXPECT_EQ(rawValue(SpeedClass::veryFast), "veryFast");
}

TEST(MacCapabilityProfileTest, CapabilityRowsFollowTotalMemory)
{
    EXPECT_EQ(withMemory(7.9).capabilities().size(), 5u);
    EXPECT_EQ(withMemory(31.9).capabilities().size(), 7u);
    EXPECT_EQ(withMemory(47.9).capabilities().size(), 8u);
    EXPECT_EQ(withMemory(48).capabilities().size(), 8u);

    const auto at48 = withMemory(48).capabilities();
    EXPECT_EQ(at48[3].name, "70B parameter models");
    EXPECT_TRUE(at48[3].possible);
    EXPECT_EQ(at48[3].detail, "Near-frontier quality locally");
    const auto below48 = withMemory(47.9).capabilities();
    EXPECT_FALSE(below48[3].possible);
    EXPECT_EQ(below48[3].detail, "Needs 48GB+ RAM");

    const auto tiny = withMemory(4).capabilities();
    EXPECT_EQ(tiny[2].name, "Image generation (SDXL)");
    EXPECT_FALSE(tiny[2].possible);
    EXPECT_EQ(tiny[2].icon, "xmark.circle");

    const auto huge = withMemory(192).capabilities();
    EXPECT_EQ(huge[4].icon, "star.circle.fill");
    EXPECT_EQ(huge[4].quality, "Maximum");
    EXPECT_EQ(huge[7].detail, "Handles large codebases well");
    EXPECT_EQ(withMemory(32).capabilities()[7].quality, "Slow");

    // Each read makes new rows.
    EXPECT_NE(withMemory(16).capabilities()[0].id, withMemory(16).capabilities()[0].id);

    // Off Apple silicon what fits still follows memory, but no speed word or quality class is claimed.
    MacCapabilityProfile other = withMemory(24);
    other.appleSilicon = false;
    const auto rows = other.capabilities();
    const auto apple = withMemory(24).capabilities();
    ASSERT_EQ(rows.size(), apple.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].possible, apple[i].possible) << rows[i].name;
        EXPECT_EQ(rows[i].quality.has_value(), apple[i].quality.has_value()) << rows[i].name;
        if (rows[i].quality) {
            EXPECT_EQ(*rows[i].quality, "\u2014") << rows[i].name;
        }
    }
    EXPECT_EQ(rows[4].name, "Image generation (SDXL)");
    EXPECT_EQ(rows[4].detail, "\u2014");
    EXPECT_EQ(rows[2].detail, "Needs 48GB+ RAM"); // a memory fact stays
}

TEST(MacCapabilityProfileTest, EncodesFieldsByName)
{
    const Json j = MacCapabilityProfile::defaultProfile();
    EXPECT_EQ(j.at("chipClass"), "M1");
    EXPECT_EQ(j.at("thermalHeadroom"), "excellent");
    EXPECT_EQ(j.at("memoryBandwidthGBs"), 68.25);
    const auto back = j.get<MacCapabilityProfile>();
    EXPECT_EQ(back.storageFreeSSD, 256);
    EXPECT_FALSE(jsoncodec::decodeText<MacCapabilityProfile>(R"({"chipClass":"m1"})"));
}
