#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The current clock of the online CPUs, from cpufreq's scaling_cur_freq (kHz) under
// /sys/devices/system/cpu/cpuN/cpufreq, averaged over the CPUs that report one. A machine without
// cpufreq (most virtual machines) answers with the "cpu MHz" lines of /proc/cpuinfo instead; one
// with neither has no figure.
class CpuFrequency
{
public:
    explicit CpuFrequency(std::string procRoot = "/proc", std::string sysRoot = "/sys");

    std::optional<double> averageGHz() const;

    // The average of the "cpu MHz" lines of a /proc/cpuinfo text, in GHz; nothing without one.
    static std::optional<double> cpuinfoAverageGHz(std::string_view cpuinfo);

private:
    std::optional<double> cpufreqAverageGHz() const;

    std::string m_proc;
    std::string m_sys;
};

} // namespace platform
