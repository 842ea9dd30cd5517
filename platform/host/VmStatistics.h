#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Page counts in the sense of the Mach VM statistics, derived from /proc/meminfo and /proc/vmstat:
//   free        MemFree
//   active      Active (anonymous and file pages on the active LRU lists)
//   inactive    Inactive (pages the kernel reclaims first)
//   wired       Unevictable + SUnreclaim + KernelStack + PageTables: memory that can neither be paged
//               out nor dropped, the part of kernel memory that Mach would count as wired
//   compressed  nr_zspages of vmstat: pages holding compressed data of zram and zswap (0 without them)
// Linux has no speculative or purgeable pages.
struct VmCounts
{
    std::uint64_t free = 0;
    std::uint64_t active = 0;
    std::uint64_t inactive = 0;
    std::uint64_t wired = 0;
    std::uint64_t compressed = 0;

    bool operator==(const VmCounts&) const = default;
};

// Swap in bytes as vm.swapusage gives it: used = SwapTotal - SwapFree (zram swap included).
struct SwapUsage
{
    std::uint64_t total = 0;
    std::uint64_t available = 0;
    std::uint64_t used = 0;

    bool operator==(const SwapUsage&) const = default;
};

struct VmSample
{
    std::optional<std::uint64_t> memTotalBytes; // hw.memsize
    std::optional<VmCounts> counts;
    std::optional<SwapUsage> swap;
};

class VmStatistics
{
public:
    explicit VmStatistics(std::string procRoot = "/proc", std::uint64_t pageSize = systemPageSize());

    // One reading of both files. A missing file or figure leaves the part that needs it absent.
    VmSample read() const;
    std::uint64_t pageSize() const { return m_pageSize; }

    // sysconf(_SC_PAGESIZE), 4096 when it cannot answer.
    static std::uint64_t systemPageSize();
    static VmSample parse(std::string_view meminfo, std::string_view vmstat, std::uint64_t pageSize);
    // The value of a "Key:  123 kB" line of meminfo in bytes (a line without unit is taken as is).
    static std::optional<std::uint64_t> meminfoBytes(std::string_view meminfo, std::string_view key);

private:
    std::string m_root;
    std::uint64_t m_pageSize;
};

} // namespace platform
