#include "platform/host/Sysctl.h"

#include <gtest/gtest.h>

#include <sys/sysinfo.h>
#include <unistd.h>

using platform::Sysctl;

namespace {

Sysctl machine(const std::string& name)
{
    const std::string base = std::string(QV_TEST_DATA_DIR) + "/machines/" + name;
    return Sysctl(base + "/proc", base + "/sys");
}

std::vector<int> range(int first, int last)
{
    std::vector<int> v;
    for (int i = first; i <= last; ++i)
        v.push_back(i);
    return v;
}

} // namespace

TEST(SysctlCpuList, ParsesKernelLists)
{
    EXPECT_EQ(Sysctl::parseCpuList("0-3,8,10-11\n"), (std::vector<int> {0, 1, 2, 3, 8, 10, 11}));
    EXPECT_EQ(Sysctl::parseCpuList("5"), (std::vector<int> {5}));
    EXPECT_EQ(Sysctl::parseCpuList("\n"), std::vector<int> {});
    EXPECT_FALSE(Sysctl::parseCpuList("3-1"));
    EXPECT_FALSE(Sysctl::parseCpuList("0-"));
    EXPECT_FALSE(Sysctl::parseCpuList("a,b"));
    EXPECT_FALSE(Sysctl::parseCpuList("0-999999999"));
}

TEST(SysctlMachines, HybridIntelKeepsTheActualCoreLists)
{
    const auto s = machine("hybrid-intel");
    // cpu7, a P-core thread, is offline.
    EXPECT_EQ(s.performanceCpus(), range(0, 6));
    EXPECT_EQ(s.efficiencyCpus(), range(8, 15));
    EXPECT_EQ(s.integer("hw.perflevel0.logicalcpu"), 7);
    EXPECT_EQ(s.integer("hw.perflevel1.logicalcpu"), 8);
    EXPECT_EQ(s.integer("hw.logicalcpu"), 15);
    EXPECT_EQ(s.integer("hw.ncpu"), 16);
    EXPECT_EQ(s.integer("hw.physicalcpu"), 12);
    EXPECT_EQ(s.integer("hw.memsize"), 32543820LL * 1024);
    EXPECT_EQ(s.integer("hw.gpu.count"), 1);
    EXPECT_EQ(s.string("machdep.cpu.brand_string"), "12th Gen Intel(R) Core(TM) i7-1260P");
    EXPECT_EQ(s.string("hw.model"), "XPS 13 9320");
}

TEST(SysctlMachines, PlainMachineHasOneLevel)
{
    const auto s = machine("plain");
    EXPECT_EQ(s.performanceCpus(), range(0, 7));
    EXPECT_TRUE(s.efficiencyCpus().empty());
    EXPECT_EQ(s.integer("hw.perflevel0.logicalcpu"), 8);
    EXPECT_FALSE(s.integer("hw.perflevel1.logicalcpu"));
    EXPECT_EQ(s.integer("hw.physicalcpu"), 4);
    EXPECT_FALSE(s.integer("hw.gpu.count")); // no DRM at all
    EXPECT_EQ(s.string("machdep.cpu.brand_string"), "AMD Ryzen 7 5800X 8-Core Processor");
    EXPECT_EQ(s.string("hw.model"), "MS-7C02");
}

TEST(SysctlMachines, ArmSplitsByCapacity)
{
    const auto s = machine("arm");
    EXPECT_EQ(s.performanceCpus(), range(4, 7));
    EXPECT_EQ(s.efficiencyCpus(), range(0, 3));
    EXPECT_EQ(s.integer("hw.perflevel1.logicalcpu"), 4);
    EXPECT_EQ(s.integer("hw.physicalcpu"), 8);
    EXPECT_EQ(s.integer("hw.gpu.count"), 2);
    EXPECT_EQ(s.string("hw.model"), "Radxa ROCK 5B"); // device tree wins over DMI, its NUL dropped
    EXPECT_FALSE(s.string("machdep.cpu.brand_string"));
}

TEST(SysctlMachines, MissingSourcesGiveNoAnswer)
{
    const auto s = machine("no-thermal");
    // No sysfs CPU files: the CPUs of /proc/stat.
    EXPECT_EQ(s.onlineCpus(), range(0, 1));
    EXPECT_EQ(s.integer("hw.logicalcpu"), 2);
    EXPECT_EQ(s.integer("hw.ncpu"), 2);
    EXPECT_FALSE(s.integer("hw.memsize")); // meminfo without MemTotal
    EXPECT_FALSE(s.string("hw.model"));
    EXPECT_FALSE(s.string("machdep.cpu.brand_string"));
    EXPECT_FALSE(s.integer("hw.unknown.key"));
    EXPECT_FALSE(s.string("hw.memsize"));

    const Sysctl nothing("/nonexistent/proc", "/nonexistent/sys");
    EXPECT_FALSE(nothing.integer("hw.logicalcpu"));
    EXPECT_FALSE(nothing.integer("hw.perflevel0.logicalcpu"));
    EXPECT_TRUE(nothing.performanceCpus().empty());
}

TEST(SysctlThisMachine, AgreesWithTheKernel)
{
    const Sysctl s;
    struct sysinfo info
    {
    };
    ASSERT_EQ(sysinfo(&info), 0);
    const auto memsize = s.integer("hw.memsize");
    ASSERT_TRUE(memsize);
    // MemTotal is in whole KiB.
    EXPECT_NEAR(static_cast<double>(*memsize), static_cast<double>(info.totalram) * info.mem_unit, 1024.0);

    EXPECT_EQ(s.integer("hw.logicalcpu"), sysconf(_SC_NPROCESSORS_ONLN));
    const auto p0 = s.integer("hw.perflevel0.logicalcpu").value_or(0);
    const auto p1 = s.integer("hw.perflevel1.logicalcpu").value_or(0);
    EXPECT_EQ(p0 + p1, sysconf(_SC_NPROCESSORS_ONLN));
    EXPECT_GE(s.integer("hw.physicalcpu").value_or(0), 1);
    EXPECT_LE(s.integer("hw.physicalcpu").value_or(0), sysconf(_SC_NPROCESSORS_ONLN));
}
