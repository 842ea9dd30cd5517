#include "platform/host/MemoryBreakdown.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using platform::MemoryBreakdown;

namespace {

constexpr const char* kMeminfo = "MemTotal: 100000 kB\nMemFree: 40000 kB\nMemAvailable: 60000 kB\n"
                                 "AnonPages: 4000 kB\nShmem: 1000 kB\nUnevictable: 100 kB\nSUnreclaim: 200 kB\n"
                                 "KernelStack: 50 kB\nPageTables: 150 kB\n";

void writeFile(const std::filesystem::path& path, const std::string& text)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

} // namespace

TEST(MemoryBreakdownTest, ProgramWiredAndCompressedByWhatHoldsThem)
{
    const std::string meminfo = kMeminfo;
    const auto use = MemoryBreakdown::parse(meminfo + "Zswap: 300 kB\n", true, {2048});
    ASSERT_TRUE(use);
    EXPECT_EQ(use->programBytes, 5000u * 1024); // AnonPages + Shmem
    EXPECT_EQ(use->wiredBytes, 500u * 1024);
    EXPECT_EQ(use->compressedBytes, 300u * 1024 + 2048); // zswap pool and zram together

    // zswap built in but off and empty, no zram in use: no figure at all, not a measured 0.
    EXPECT_FALSE(MemoryBreakdown::parse(meminfo + "Zswap: 0 kB\n", false, {})->compressedBytes);
    // Switched off while it still holds pages, it still counts.
    EXPECT_EQ(MemoryBreakdown::parse(meminfo + "Zswap: 300 kB\n", false, {})->compressedBytes, 300u * 1024);
    // A kernel that names no program memory: the memory in use less wired.
    const auto old = MemoryBreakdown::parse(
        "MemTotal: 100000 kB\nMemFree: 40000 kB\nMemAvailable: 60000 kB\nUnevictable: 500 kB\n", false, {});
    EXPECT_EQ(old->programBytes, (40000u - 500) * 1024);
    EXPECT_FALSE(MemoryBreakdown::parse("garbage", true, {}));

    EXPECT_EQ(MemoryBreakdown::zramMemoryUsed("  4096  1024  2048 0 2048 0 0 0 0\n"), 2048u);
    EXPECT_FALSE(MemoryBreakdown::zramMemoryUsed("4096 1024"));
}

TEST(MemoryBreakdownTest, OnlyZramDevicesThatAreSetUpCount)
{
    // The virtual machine these figures come from has an unused zram0 and zswap off.
    const std::string vm = std::string(QV_TEST_DATA_DIR) + "/machines/vm";
    const auto none = MemoryBreakdown(vm + "/proc", vm + "/sys").read();
    ASSERT_TRUE(none);
    EXPECT_EQ(none->programBytes, (4505832ull + 10520) * 1024);
    EXPECT_FALSE(none->compressedBytes);

    QTemporaryDir dir;
    const std::filesystem::path root = dir.path().toStdString();
    writeFile(root / "proc/meminfo", kMeminfo);
    writeFile(root / "sys/block/zram0/disksize", "8589934592\n");
    writeFile(root / "sys/block/zram0/mm_stat", "1000000 300000 327680 0 327680 12 0 0 0\n");
    writeFile(root / "sys/block/zram1/disksize", "0\n");
    writeFile(root / "sys/block/zram1/mm_stat", "0 0 4096 0 0 0 0 0 0\n");
    const auto zram = MemoryBreakdown((root / "proc").string(), (root / "sys").string()).read();
    ASSERT_TRUE(zram);
    EXPECT_EQ(zram->compressedBytes, 327680u);
}
