#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Page counts from /proc/meminfo and /proc/vmstat, taken by what the memory is for rather than by the
// kernel's LRU lists (those mix program memory with file cache, and without swap an inactive anonymous
// page cannot be handed out at all):
//   free        MemFree
//   inactive    MemAvailable - MemFree, never below 0: cache and reclaimable memory the kernel can hand
//               out again on demand
//   wired       Unevictable + SUnreclaim + KernelStack + PageTables: memory that can neither be paged out
//               nor dropped, capped at what is in use
//   active      MemTotal - MemAvailable - wired: the rest of the memory in use
//   compressed  nr_zspages of vmstat: pages holding compressed data of zram and zswap (0 without them)
// So free + inactive is MemAvailable and active + wired is what procps' `free` reports as used. A kernel
// without MemAvailable (before 3.14) counts nothing as reclaimable. Linux has no speculative or purgeable
// pages.
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
