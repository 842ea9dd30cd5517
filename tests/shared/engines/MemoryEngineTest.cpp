#include "engines/MemoryEngine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

#include <sys/sysinfo.h>

using namespace std::chrono_literals;
using platform::VmCounts;
using platform::VmSample;

namespace {

constexpr std::uint64_t GiB = 1ull << 30;
constexpr std::uint64_t pagesPerGB = GiB / 4096;

VmSample sample(double freeGB, double activeGB, double inactiveGB, double wiredGB)
{
    VmSample s;
    s.memTotalBytes = 64 * GiB;
    const auto pages = [](double gb) { return static_cast<std::uint64_t>(gb * pagesPerGB); };
    s.counts = VmCounts {pages(freeGB), pages(activeGB), pages(inactiveGB), pages(wiredGB), 0};
    s.swap = platform::SwapUsage {4 * GiB, 3 * GiB, GiB};
    return s;
}

} // namespace

TEST(MemoryEngineSample, FiguresInGigabytes)
{
    const Date at = Date::fromReferenceDate(1000);
    const auto s = MemoryEngine::makeState(sample(2, 10, 6, 3), 4096, 4, at);
    EXPECT_DOUBLE_EQ(s.totalGB, 64);
    EXPECT_DOUBLE_EQ(s.freeGB, 2);
    EXPECT_DOUBLE_EQ(s.inactiveGB, 6);
    EXPECT_DOUBLE_EQ(s.systemUsedGB, 10 + 3 - 4);
    EXPECT_DOUBLE_EQ(s.aiModelsGB, 4);
    EXPECT_DOUBLE_EQ(s.swapUsedGB, 1);
    EXPECT_EQ(s.timestamp, at);
}

TEST(MemoryEngineSample, SystemUsedNeverNegativeOrNaN)
{
    EXPECT_EQ(MemoryEngine::makeState(sample(2, 1, 6, 1), 4096, 50, {}).systemUsedGB, 0.0);
    EXPECT_EQ(MemoryEngine::makeState(sample(2, 1, 6, 1), 4096, std::nan(""), {}).systemUsedGB, 0.0);
}

TEST(MemoryEngineSample, MissingReadingsGiveZerosForTheirFieldsOnly)
{
    VmSample noCounts = sample(2, 10, 6, 3);
    noCounts.counts.reset();
    const auto s = MemoryEngine::makeState(noCounts, 4096, 1, {});
    EXPECT_EQ(s.freeGB, 0.0);
    EXPECT_EQ(s.inactiveGB, 0.0);
    EXPECT_EQ(s.systemUsedGB, 0.0);
    EXPECT_DOUBLE_EQ(s.totalGB, 64);
    EXPECT_DOUBLE_EQ(s.swapUsedGB, 1);

    const auto empty = MemoryEngine::makeState(VmSample {}, 0, 0, {});
    EXPECT_EQ(empty.totalGB, 0.0);
    EXPECT_EQ(empty.swapUsedGB, 0.0);
}

TEST(MemoryEngineSample, HeadroomThresholdsAreStrict)
{
    const auto eight = MemoryEngine::makeState(sample(4, 10, 4, 3), 4096, 0, {});
    EXPECT_DOUBLE_EQ(eight.headroomGB(), 8.0);
    EXPECT_TRUE(eight.isWarning());
    EXPECT_FALSE(eight.isCritical());
    const auto sixteen = MemoryEngine::makeState(sample(10, 10, 6, 3), 4096, 0, {});
    EXPECT_FALSE(sixteen.isWarning());
    EXPECT_FALSE(sixteen.isCritical());
}

TEST(MemoryEngineSnapshot, FixtureAndThisMachine)
{
    MemoryEngine fixture(std::string(QV_TEST_DATA_DIR) + "/machines/hybrid-intel/proc");
    fixture.updateAIModelsMemory(2.5);
    const auto s = fixture.snapshot();
    EXPECT_NEAR(s.totalGB, 32543820.0 / (1024 * 1024), 1e-9);
    EXPECT_NEAR(s.swapUsedGB, (8388604.0 - 7340028.0) / (1024 * 1024), 1e-9);
    EXPECT_DOUBLE_EQ(s.aiModelsGB, 2.5);
    EXPECT_NEAR(Date::now().timeIntervalSince(s.timestamp), 0, 5);

    struct sysinfo info
    {
    };
    ASSERT_EQ(sysinfo(&info), 0);
    const auto real = MemoryEngine().snapshot();
    EXPECT_NEAR(real.totalGB, static_cast<double>(info.totalram) * info.mem_unit / GiB, 0.001);
    EXPECT_GT(real.freeGB + real.inactiveGB, 0);
    EXPECT_LE(real.freeGB + real.inactiveGB, real.totalGB);
}

TEST(MemoryEngineInterval, OutOfRangeIntervalsAreClamped)
{
    EXPECT_DOUBLE_EQ(MemoryEngine::clampedInterval(2.5), 2.5);
    EXPECT_DOUBLE_EQ(MemoryEngine::clampedInterval(0), 0.1);
    EXPECT_DOUBLE_EQ(MemoryEngine::clampedInterval(-3), 0.1);
    EXPECT_DOUBLE_EQ(MemoryEngine::clampedInterval(-std::numeric_limits<double>::infinity()), 0.1);
    EXPECT_DOUBLE_EQ(MemoryEngine::clampedInterval(std::numeric_limits<double>::infinity()), 86400);
    EXPECT_DOUBLE_EQ(MemoryEngine::clampedInterval(1e300), 86400);
    EXPECT_DOUBLE_EQ(MemoryEngine::clampedInterval(std::nan("")), 3.0);
}

TEST(MemoryEnginePolling, ZeroIntervalPollsWithoutSpinning)
{
    MemoryEngine engine;
    std::atomic<int> samples = 0;
    engine.registerOnUpdate([&](const SystemMemoryState&) { ++samples; });
    engine.startPolling(0);
    EXPECT_DOUBLE_EQ(engine.interval(), 0.1);
    std::this_thread::sleep_for(450ms);
    engine.stopPolling();
    EXPECT_GE(samples.load(), 2);
    EXPECT_LE(samples.load(), 7);
}

TEST(MemoryEnginePolling, RestartLeavesOneLoopAtTheNewInterval)
{
    MemoryEngine engine;
    engine.stopPolling(); // nothing running: harmless
    EXPECT_FALSE(engine.isPolling());
    std::atomic<int> samples = 0;
    engine.registerOnUpdate([&](const SystemMemoryState&) { ++samples; });
    engine.startPolling(0.1);
    std::this_thread::sleep_for(250ms);
    engine.startPolling(60);
    const int beforeRestart = samples.load(); // the fast loop has ended when startPolling returns
    EXPECT_GE(beforeRestart, 2);
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(samples.load(), beforeRestart + 1); // only the new loop's immediate sample
    EXPECT_DOUBLE_EQ(engine.interval(), 60);
    EXPECT_TRUE(engine.isPolling());
    engine.stopPolling();
    EXPECT_FALSE(engine.isPolling());
}

TEST(MemoryEnginePolling, NewHandlerGetsTheNextSampleAndStopEndsDelivery)
{
    MemoryEngine engine;
    std::atomic<int> first = 0;
    std::atomic<int> second = 0;
    engine.registerOnUpdate([&](const SystemMemoryState&) { ++first; });
    engine.startPolling(0.1);
    std::this_thread::sleep_for(150ms);
    engine.registerOnUpdate([&](const SystemMemoryState&) { ++second; });
    const int firstSeen = first.load();
    std::this_thread::sleep_for(250ms);
    engine.stopPolling();
    const int secondSeen = second.load();
    EXPECT_EQ(first.load(), firstSeen);
    EXPECT_GE(secondSeen, 1);
    std::this_thread::sleep_for(250ms);
    EXPECT_EQ(second.load(), secondSeen);
}

TEST(MemoryEnginePolling, HandlerMayStopItsOwnEngine)
{
    MemoryEngine engine;
    std::atomic<int> samples = 0;
    engine.registerOnUpdate([&](const SystemMemoryState&) {
        ++samples;
        engine.stopPolling();
    });
    engine.startPolling(0.1);
    std::this_thread::sleep_for(350ms);
    EXPECT_EQ(samples.load(), 1);
    EXPECT_FALSE(engine.isPolling());
}
