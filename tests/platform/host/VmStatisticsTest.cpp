#include "platform/host/VmStatistics.h"

#include <gtest/gtest.h>

#include <sys/sysinfo.h>

using platform::SwapUsage;
using platform::VmStatistics;

namespace {

std::string machineProc(const std::string& name)
{
    return std::string(QV_TEST_DATA_DIR) + "/machines/" + name + "/proc";
}

constexpr std::uint64_t KiB = 1024;

} // namespace

TEST(VmStatisticsFixtures, HybridMachineMapsEveryFigure)
{
    const auto s = VmStatistics(machineProc("hybrid-intel"), 4096).read();
    EXPECT_EQ(s.memTotalBytes, 32543820 * KiB);
    ASSERT_TRUE(s.counts);
    EXPECT_EQ(s.counts->free, 8123456 * KiB / 4096);
    // MemAvailable - MemFree: cache the kernel hands out again, whatever LRU list it sits on.
    EXPECT_EQ(s.counts->inactive, (20123456 - 8123456) * KiB / 4096);
    // Unevictable + SUnreclaim + KernelStack + PageTables, each rounded down to whole pages.
    const std::uint64_t wired
        = (65536 * KiB / 4096) + (300000 * KiB / 4096) + (24000 * KiB / 4096) + (80000 * KiB / 4096);
    EXPECT_EQ(s.counts->wired, wired);
    // MemTotal - MemAvailable is in use; what is not wired of it is active.
    EXPECT_EQ(s.counts->active + s.counts->wired, (32543820 - 20123456) * KiB / 4096);
    EXPECT_EQ(s.counts->compressed, 51200u); // nr_zspages, not nr_zspages_extra
    ASSERT_TRUE(s.swap);
    EXPECT_EQ(*s.swap, (SwapUsage {8388604 * KiB, 7340028 * KiB, (8388604 - 7340028) * KiB}));
}

TEST(VmStatisticsParse, CountsFollowAvailableMemoryNotTheLruLists)
{
    // A machine without swap holding 6 GiB of anonymous memory on the inactive list and 3 GiB of file
    // cache on the active list: the anonymous memory is in use, the cache is not.
    const std::string meminfo = "MemTotal: 16777216 kB\nMemFree: 4194304 kB\nMemAvailable: 7340032 kB\n"
                                "Active: 3145728 kB\nInactive: 6291456 kB\nUnevictable: 0 kB\nSUnreclaim: 102400 kB\n"
                                "KernelStack: 10240 kB\nPageTables: 40960 kB\nSwapTotal: 0 kB\nSwapFree: 0 kB\n";
    const auto s = VmStatistics::parse(meminfo, "", 4096);
    ASSERT_TRUE(s.counts);
    const auto bytes = [](std::uint64_t pages) { return pages * 4096; };
    EXPECT_EQ(bytes(s.counts->free + s.counts->inactive), 7340032 * KiB); // headroom is MemAvailable
    EXPECT_EQ(bytes(s.counts->active + s.counts->wired), (16777216 - 7340032) * KiB); // used as `free` shows it
    EXPECT_EQ(bytes(s.counts->wired), (102400 + 10240 + 40960) * KiB);

    // MemAvailable can fall below MemFree (reserves held back): nothing is reclaimable then.
    const auto tight = VmStatistics::parse("MemTotal: 1000 kB\nMemFree: 400 kB\nMemAvailable: 300 kB\n", "", 4096);
    ASSERT_TRUE(tight.counts);
    EXPECT_EQ(tight.counts->inactive, 0u);
    EXPECT_EQ(tight.counts->active, 700u / 4);

    // Wired counters beyond what is in use (they overlap) never make active wrap around.
    const auto locked = VmStatistics::parse(
        "MemTotal: 1000 kB\nMemFree: 100 kB\nMemAvailable: 900 kB\nUnevictable: 800 kB\n", "", 4096);
    ASSERT_TRUE(locked.counts);
    EXPECT_EQ(locked.counts->active, 0u);
    EXPECT_EQ(locked.counts->wired, 100u / 4);
}

TEST(VmStatisticsFixtures, WithoutMemAvailableOnlyFreeMemoryIsHeadroom)
{
    const auto s = VmStatistics(machineProc("arm"), 4096).read();
    ASSERT_TRUE(s.counts);
    EXPECT_EQ(s.counts->inactive, 0u);
    EXPECT_EQ(s.counts->free, 2000000 * KiB / 4096);
    EXPECT_EQ(s.counts->active + s.counts->wired, (7990000 - 2000000) * KiB / 4096);
}

TEST(VmStatisticsFixtures, PageSizeScalesCounts)
{
    const auto small = VmStatistics(machineProc("plain"), 4096).read();
    const auto large = VmStatistics(machineProc("plain"), 16384).read();
    ASSERT_TRUE(small.counts && large.counts);
    EXPECT_EQ(small.counts->free, large.counts->free * 4);
    EXPECT_EQ(small.counts->compressed, 0u); // no vmstat file
    EXPECT_EQ(small.swap, (SwapUsage {0, 0, 0}));
    EXPECT_EQ(VmStatistics(machineProc("plain"), 0).pageSize(), 4096u);
}

TEST(VmStatisticsFixtures, MissingFiguresLeaveOnlyTheirPartAbsent)
{
    // meminfo with MemFree only: no total, no swap lines.
    const auto s = VmStatistics(machineProc("no-thermal")).read();
    EXPECT_FALSE(s.memTotalBytes);
    EXPECT_FALSE(s.counts);
    EXPECT_FALSE(s.swap);

    const auto counts
        = VmStatistics::parse("MemFree: 4 kB\nMemAvailable: 8 kB\nSwapTotal: 100 kB\nSwapFree: 90 kB\n", "", 4096);
    EXPECT_FALSE(counts.counts);
    ASSERT_TRUE(counts.swap);
    EXPECT_EQ(counts.swap->used, 10 * KiB);

    const auto nothing = VmStatistics("/nonexistent").read();
    EXPECT_FALSE(nothing.memTotalBytes || nothing.counts || nothing.swap);
}

TEST(VmStatisticsParse, KeysMatchWholeNamesOnly)
{
    const std::string meminfo = "Active(anon):  100 kB\nActive:  300 kB\nInactive(file): 5 kB\nHugePages_Total:  7\n";
    EXPECT_EQ(VmStatistics::meminfoBytes(meminfo, "Active"), 300 * KiB);
    EXPECT_FALSE(VmStatistics::meminfoBytes(meminfo, "Inactive"));
    EXPECT_EQ(VmStatistics::meminfoBytes(meminfo, "HugePages_Total"), 7u);
    EXPECT_FALSE(VmStatistics::meminfoBytes("MemFree: lots kB\n", "MemFree"));
}

TEST(VmStatisticsParse, SwapFreeAboveTotalIsNotNegative)
{
    const auto s = VmStatistics::parse("SwapTotal: 100 kB\nSwapFree: 120 kB\n", "", 4096);
    ASSERT_TRUE(s.swap);
    EXPECT_EQ(s.swap->used, 0u);
}

TEST(VmStatisticsMachine, AgreesWithSysinfo)
{
    struct sysinfo info
    {
    };
    ASSERT_EQ(sysinfo(&info), 0);
    const auto s = VmStatistics().read();
    ASSERT_TRUE(s.memTotalBytes && s.counts && s.swap);
    const double unit = info.mem_unit;
    EXPECT_NEAR(static_cast<double>(*s.memTotalBytes), info.totalram * unit, 1024.0);
    EXPECT_NEAR(static_cast<double>(s.swap->total), info.totalswap * unit, 1024.0);
    const double page = static_cast<double>(VmStatistics::systemPageSize());
    // Free memory moves between the two readings; a few MiB of slack.
    EXPECT_NEAR(s.counts->free * page, info.freeram * unit, 64.0 * 1024 * 1024);
    EXPECT_LE((s.counts->free + s.counts->inactive) * page, *s.memTotalBytes);
    EXPECT_NEAR((s.counts->free + s.counts->inactive + s.counts->active + s.counts->wired) * page,
        static_cast<double>(*s.memTotalBytes), 4 * page);
}
