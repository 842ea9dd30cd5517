#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace platform {

// Cumulative time of one CPU in clock ticks from a cpuN line of /proc/stat, folded into four counters:
// system includes irq, softirq and steal; idle includes iowait. Guest time is already part of user and nice.
struct CpuTicks
{
    std::uint64_t user = 0;
    std::uint64_t system = 0;
    std::uint64_t idle = 0;
    std::uint64_t nice = 0;

    std::uint64_t total() const { return user + system + idle + nice; }
    bool operator==(const CpuTicks&) const = default;
};

// Per-CPU counters of /proc/stat keyed by CPU number (offline CPUs have no line and no key).
class ProcessorTicks
{
public:
    explicit ProcessorTicks(std::string procRoot = "/proc");

    // Empty when /proc/stat cannot be read or names no CPU.
    std::map<int, CpuTicks> perCore() const;

    static std::map<int, CpuTicks> parse(std::string_view procStat);

private:
    std::string m_root;
};

} // namespace platform
