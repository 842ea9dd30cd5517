#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// The thermal throttle counters of x86 processors, under
// /sys/devices/system/cpu/cpuN/thermal_throttle/{core,package}_throttle_count: how often since boot
// a core, or the package it sits in, ran hot enough for the processor to slow itself down. Processors
// without them (AMD, ARM) and most virtual machines give no count at all.
class ThrottleCounters
{
public:
    explicit ThrottleCounters(std::string procRoot = "/proc", std::string sysRoot = "/sys");

    // The largest count any online CPU reports, core or package. Every CPU of a package repeats that
    // package's events, so a sum would count one event once per CPU. Nothing when no CPU has a counter.
    std::optional<std::uint64_t> eventsSinceBoot() const;

private:
    std::string m_proc;
    std::string m_sys;
};

} // namespace platform
