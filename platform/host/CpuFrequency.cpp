#include "CpuFrequency.h"

#include "Sysctl.h"
#include "platform/io/ProcFiles.h"

#include <charconv>
#include <cstdint>

namespace platform {

CpuFrequency::CpuFrequency(std::string procRoot, std::string sysRoot)
    : m_proc(std::move(procRoot))
    , m_sys(std::move(sysRoot))
{
}

std::optional<double> CpuFrequency::averageGHz() const
{
    double sumKHz = 0;
    int counted = 0;
    for (const int cpu : Sysctl(m_proc, m_sys).onlineCpus()) {
        const std::string text = procfiles::readTrimmed(
            m_sys + "/devices/system/cpu/cpu" + std::to_string(cpu) + "/cpufreq/scaling_cur_freq");
        std::uint64_t kHz = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), kHz);
        // A CPU whose driver reports nothing (or 0) is left out rather than counted as stopped.
        if (ec != std::errc() || end != text.data() + text.size() || kHz == 0)
            continue;
        sumKHz += static_cast<double>(kHz);
        ++counted;
    }
    if (counted == 0)
        return std::nullopt;
    return sumKHz / counted / 1e6;
}

} // namespace platform
