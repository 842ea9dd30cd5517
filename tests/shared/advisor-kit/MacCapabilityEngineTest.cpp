#include "advisor-kit/MacCapabilityEngine.h"
#include "engines/MemoryEngine.h"
#include "engines/ThermalEngine.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

namespace {

class FakeSysctl : public SysctlSource
{
public:
    std::map<std::string, std::string, std::less<>> strings;
    std::map<std::string, std::int64_t, std::less<>> integers;

    std::optional<std::int64_t> integer(std::string_view key) const override
    {
        const auto it = integers.find(key);
        return it == integers.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<std::string> string(std::string_view key) const override
    {
        const auto it = strings.find(key);
        return it == strings.end() ? std::nullopt : std::optional(it->second);
    }
};

ChipClass detect(const std::string& brand, const std::string& model, std::optional<std::int64_t> physicalCpus = {})
{
    auto fake = std::make_shared<FakeSysctl>();
    if (!brand.empty())
        fake->strings["machdep.cpu.brand_string"] = brand;
    if (!model.empty())
        fake->strings["hw.model"] = model;
    if (physicalCpus)
        fake->integers["hw.physicalcpu"] = *physicalCpus;
    return MacCapabilityEngine(fake).detectChipClass();
}

SystemMemoryState memory(double totalGB, double freeGB, double inactiveGB = 0)
{
    SystemMemoryState s;
    s.totalGB = totalGB;
    s.freeGB = freeGB;
    s.inactiveGB = inactiveGB;
    return s;
}

} // namespace

TEST(MacCapabilityEngineTest, DetectsChipClassInRuleOrder)
{
    EXPECT_EQ(detect("Apple M4 Max", ""), ChipClass::m4Max);
    EXPECT_EQ(detect("", "Mac16,6"), ChipClass::m4Max);
    EXPECT_EQ(detect("Apple M4 Pro", ""), ChipClass::m4Pro);
    EXPECT_EQ(detect("", "Mac16,5"), ChipClass::m4Pro);
    EXPECT_EQ(detect("Apple M4", ""), ChipClass::m4Base);
    // An M4 brand wins over the model identifiers of older chips.
    EXPECT_EQ(detect("Apple M4", "Mac13,2", 20), ChipClass::m4Base);

    EXPECT_EQ(detect("Apple M3 Max", "Mac15,9"), ChipClass::m3Max);
    EXPECT_EQ(detect("", "Mac15,11"), ChipClass::m3Max);
    EXPECT_EQ(detect("", "Mac15,6"), ChipClass::m3Pro);
    EXPECT_EQ(detect("Apple M3 Pro", "Mac15,8"), ChipClass::m3Pro);
    EXPECT_EQ(detect("Apple M3 Max", "Mac15,3"), ChipClass::m3Base);

    EXPECT_EQ(detect("", "Mac13,2", 20), ChipClass::m2Ultra);
    EXPECT_EQ(detect("", "Mac13,2", 13), ChipClass::m2Ultra);
    EXPECT_EQ(detect("", "Mac13,2", 12), ChipClass::m1Ultra);
    EXPECT_EQ(detect("", "Mac13,2"), ChipClass::m1Ultra);
    EXPECT_EQ(detect("Apple M2", "Mac13,2", 10), ChipClass::m2Base);
    EXPECT_EQ(detect("", "Mac14,6"), ChipClass::m2Max);
    EXPECT_EQ(detect("Apple M2 Max", "Mac14,5"), ChipClass::m2Base);
    EXPECT_EQ(detect("Apple M2 Pro", ""), ChipClass::m2Pro);

    EXPECT_EQ(detect("Apple M1 Max", "MacBookPro18,4"), ChipClass::m1Base);
    EXPECT_EQ(detect("Apple M1 Max", "MacBookPro18,2"), ChipClass::m1Max);
    EXPECT_EQ(detect("Apple M1 Pro", "MacBookPro18,3"), ChipClass::m1Pro);

    // The tests are case-sensitive; anything unknown ends at the base M1.
    EXPECT_EQ(detect("apple m4 max", ""), ChipClass::m1Base);
    EXPECT_EQ(detect("Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz", "Precision 3630 Tower"), ChipClass::m1Base);
    EXPECT_EQ(detect("", ""), ChipClass::m1Base);
    EXPECT_EQ(MacCapabilityEngine(nullptr).detectChipClass(), ChipClass::m1Base);
}

TEST(MacCapabilityEngineTest, ProfileTakesEachFigureFromItsSource)
{
    auto fake = std::make_shared<FakeSysctl>();
    fake->strings["hw.model"] = "Mac13,2";
    fake->integers["hw.physicalcpu"] = 10;
    fake->integers["hw.perflevel0.logicalcpu"] = 16;
    fake->integers["hw.gpu.count"] = 48;
    const MacCapabilityEngine engine(fake, "/");
    const auto profile = engine.currentProfile(
        [] { return memory(64, 13.5, 8); }, [] { return QVThermalState::forLevel(QVThermalState::Level::warm); });

    EXPECT_EQ(profile.chipClass, ChipClass::m1Ultra);
    EXPECT_EQ(profile.neuralEngineCores, 32);
    EXPECT_EQ(profile.memoryBandwidthGBs, 800);
    EXPECT_EQ(profile.totalMemoryGB, 64);
    // What the kernel can hand out, as the tray counts it: unused plus reclaimable pages.
    EXPECT_EQ(profile.availableMemoryGB, 21.5);
    EXPECT_EQ(profile.typicalFreeHeadroomGB, 21.5);
    EXPECT_EQ(profile.cpuCores, 16);
    EXPECT_EQ(profile.gpuCores, 48);
    EXPECT_EQ(profile.thermalHeadroom, MacCapabilityProfile::ThermalHeadroom::adequate);
    EXPECT_GT(profile.storageFreeSSD, 0);
}

TEST(MacCapabilityEngineTest, FallbacksForMissingSources)
{
    // Values below 1 count as unavailable, like a failed read.
    auto fake = std::make_shared<FakeSysctl>();
    fake->integers["hw.perflevel0.logicalcpu"] = 0;
    const MacCapabilityEngine engine(fake, "/nonexistent/volume");
    const auto profile = engine.currentProfile(
        [] { return memory(8, 3); }, [] { return QVThermalState::forLevel(QVThermalState::Level::critical); });
    EXPECT_EQ(profile.cpuCores, 8);
    EXPECT_EQ(profile.gpuCores, 30);
    EXPECT_EQ(profile.chipClass, ChipClass::m1Base);
    EXPECT_EQ(profile.neuralEngineCores, 16);
    EXPECT_EQ(profile.memoryBandwidthGBs, 68.25);
    EXPECT_EQ(profile.storageFreeSSD, 0);
    EXPECT_EQ(profile.thermalHeadroom, MacCapabilityProfile::ThermalHeadroom::tight);

    using Level = QVThermalState::Level;
    EXPECT_EQ(MacCapabilityEngine::thermalHeadroom(Level::balanced), MacCapabilityProfile::ThermalHeadroom::excellent);
    EXPECT_EQ(MacCapabilityEngine::thermalHeadroom(Level::throttling), MacCapabilityProfile::ThermalHeadroom::tight);

    fake->integers["hw.gpu.count"] = -1;
    EXPECT_EQ(engine.currentProfile({}, {}).gpuCores, 30);
}

TEST(MacCapabilityEngineTest, NoThermalReadingIsNeitherAWideMarginNorAWarning)
{
    // Neither the reserve of a cool machine nor the one of a throttling one.
    using Headroom = MacCapabilityProfile::ThermalHeadroom;
    const MacCapabilityEngine engine(std::make_shared<FakeSysctl>(), "/");
    EXPECT_EQ(engine.currentProfile({}, {}).thermalHeadroom, Headroom::adequate);
    const ThermalEngine zoneless(std::string(QV_TEST_DATA_DIR) + "/machines/no-thermal/sys");
    MemoryEngine memoryEngine(std::string(QV_TEST_DATA_DIR) + "/machines/hybrid-intel/proc");
    EXPECT_EQ(engine.currentProfile(memoryEngine, zoneless).thermalHeadroom, Headroom::adequate);
    EXPECT_EQ(MacCapabilityEngine::thermalHeadroom(QVThermalState::Level::unknown), Headroom::adequate);
}

TEST(MacCapabilityEngineTest, FreeDiskSpaceOfAWritableVolume)
{
    QTemporaryDir dir;
    const double free = MacCapabilityEngine(nullptr, dir.path().toStdString()).freeDiskSpaceGB();
    EXPECT_GT(free, 0);
    // Never more than the volume holds: a sanity bound of 1 PiB.
    EXPECT_LT(free, 1024.0 * 1024);
}

TEST(MacCapabilityEngineTest, AppleSiliconOnlyWhenTheBrandNamesAnAppleChip)
{
    const auto appleSilicon = [](const std::string& brand) {
        auto fake = std::make_shared<FakeSysctl>();
        if (!brand.empty())
            fake->strings["machdep.cpu.brand_string"] = brand;
        return MacCapabilityEngine(fake).detectsAppleSilicon();
    };
    EXPECT_TRUE(appleSilicon("Apple M2 Pro"));
    EXPECT_FALSE(appleSilicon("AMD Ryzen 9 7950X 16-Core Processor"));
    EXPECT_FALSE(appleSilicon(""));
    EXPECT_FALSE(MacCapabilityEngine(nullptr).detectsAppleSilicon());

    // The profile says so, and names the processor the machine has.
    auto fake = std::make_shared<FakeSysctl>();
    fake->strings["machdep.cpu.brand_string"] = " AMD EPYC\n";
    const auto profile = MacCapabilityEngine(fake).currentProfile(
        [] { return memory(24, 20); }, [] { return QVThermalState::forLevel(QVThermalState::Level::balanced); });
    EXPECT_FALSE(profile.appleSilicon);
    EXPECT_EQ(profile.processorName, "AMD EPYC");
}
