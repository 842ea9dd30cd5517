#pragma once

#include <optional>
#include <string>

namespace platform {

// The current clock of the online CPUs, from cpufreq's scaling_cur_freq (kHz) under
// /sys/devices/system/cpu/cpuN/cpufreq, averaged over the CPUs that report one. A machine without
// cpufreq (most virtual machines) has no figure.
class CpuFrequency
{
public:
    explicit CpuFrequency(std::string procRoot = "/proc", std::string sysRoot = "/sys");

    std::optional<double> averageGHz() const;

private:
    std::string m_proc;
    std::string m_sys;
};

} // namespace platform
