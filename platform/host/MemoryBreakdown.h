#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The memory in use split by what holds it, in bytes:
//   program     AnonPages + Shmem of /proc/meminfo: what programs allocated, shared memory and tmpfs
//               included; where the kernel gives neither, the memory in use less wired
//   wired       Unevictable + SUnreclaim + KernelStack + PageTables, as VmStatistics counts it
//   compressed  what compressed memory occupies: the zswap pool (meminfo's Zswap, while zswap is on or
//               still holds pages) plus mem_used_total of every zram device that is set up; absent on a
//               machine that uses neither
struct MemoryUse
{
    std::uint64_t programBytes = 0;
    std::uint64_t wiredBytes = 0;
    std::optional<std::uint64_t> compressedBytes;

    bool operator==(const MemoryUse&) const = default;
};

// Reads MemoryUse from /proc/meminfo, /sys/module/zswap and /sys/block/zram*.
class MemoryBreakdown
{
public:
    explicit MemoryBreakdown(std::string procRoot = "/proc", std::string sysRoot = "/sys");

    // Nothing when meminfo cannot be read or lacks MemTotal or MemFree.
    std::optional<MemoryUse> read() const;

    // `zramUsedBytes` holds one entry per zram device that is set up (a disksize above 0).
    static std::optional<MemoryUse> parse(
        std::string_view meminfo, bool zswapEnabled, const std::vector<std::uint64_t>& zramUsedBytes);
    // mem_used_total, the third figure of a zram device's mm_stat.
    static std::optional<std::uint64_t> zramMemoryUsed(std::string_view mmStat);

private:
    std::vector<std::uint64_t> zramDevices() const;

    std::string m_proc;
    std::string m_sys;
};

} // namespace platform
