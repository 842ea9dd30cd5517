#include "platform/host/ProcessorTicks.h"

#include <gtest/gtest.h>

#include <unistd.h>

using platform::CpuTicks;
using platform::ProcessorTicks;

TEST(ProcessorTicksParse, FoldsLinuxCountersIntoFour)
{
    // user nice system idle iowait irq softirq steal guest guest_nice
    const auto cores = ProcessorTicks::parse("cpu  9 9 9 9 9 9 9 9 0 0\ncpu0 100 7 30 4000 50 3 2 1 40 5\n");
    ASSERT_EQ(cores.size(), 1u);
    EXPECT_EQ(cores.at(0), (CpuTicks {100, 30 + 3 + 2 + 1, 4000 + 50, 7}));
}

TEST(ProcessorTicksParse, KeysByCpuNumberWithGapsAndSixtyFourBitCounters)
{
    const auto cores = ProcessorTicks(std::string(QV_TEST_DATA_DIR) + "/machines/hybrid-intel/proc").perCore();
    ASSERT_EQ(cores.size(), 15u);
    EXPECT_FALSE(cores.count(7)); // offline
    EXPECT_EQ(cores.at(9).user, 18446744073709551000ull);
    EXPECT_EQ(cores.at(15), (CpuTicks {12, 3, 405, 0}));
    EXPECT_EQ(cores.rbegin()->first, 15);
}

TEST(ProcessorTicksParse, OldKernelsAndGarbage)
{
    const auto cores = ProcessorTicks::parse("cpu0 1 2 3 4\ncpu1 1 2\ncpux 1 2 3 4\ncpu2 a b c d\nintr 1\n");
    ASSERT_EQ(cores.size(), 1u);
    EXPECT_EQ(cores.at(0), (CpuTicks {1, 3, 4, 2}));
    EXPECT_TRUE(ProcessorTicks("/nonexistent").perCore().empty());
}

TEST(ProcessorTicksMachine, OneEntryPerOnlineCpuAndCountersOnlyGrow)
{
    const ProcessorTicks ticks;
    const auto first = ticks.perCore();
    EXPECT_EQ(static_cast<long>(first.size()), sysconf(_SC_NPROCESSORS_ONLN));
    volatile double spin = 0;
    for (int i = 0; i < 5'000'000; ++i)
        spin = spin + i;
    const auto second = ticks.perCore();
    std::uint64_t before = 0;
    std::uint64_t after = 0;
    for (const auto& [cpu, t] : first) {
        ASSERT_TRUE(second.count(cpu));
        EXPECT_GE(second.at(cpu).total(), t.total());
        before += t.total();
        after += second.at(cpu).total();
    }
    EXPECT_GE(after, before);
}
