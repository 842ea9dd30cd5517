#include "CpuFrequency.h"

#include "Sysctl.h"
#include "platform/io/ProcFiles.h"
#include "platform/io/TextFields.h"
#include "platform/text/AsciiText.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace platform {

CpuFrequency::CpuFrequency(std::string procRoot, std::string sysRoot)
    : m_proc(std::move(procRoot))
    , m_sys(std::move(sysRoot))
{
}

std::optional<double> CpuFrequency::averageGHz() const
{
    if (auto ghz = cpufreqAverageGHz())
        return ghz;
    if (const auto cpuinfo = procfiles::readText(m_proc + "/cpuinfo"))
        return cpuinfoAverageGHz(*cpuinfo);
    return std::nullopt;
}

std::optional<double> CpuFrequency::cpufreqAverageGHz() const
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

std::optional<double> CpuFrequency::cpuinfoAverageGHz(std::string_view cpuinfo)
{
    double sumMHz = 0;
    int counted = 0;
    while (!cpuinfo.empty()) {
        const std::string_view line = textfields::takeLine(cpuinfo);
        const auto colon = line.find(':');
        if (colon == std::string_view::npos || asciiTrimmed(line.substr(0, colon)) != "cpu MHz")
            continue;
        const std::string_view value = asciiTrimmed(line.substr(colon + 1));
        double mhz = 0;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), mhz);
        // As with cpufreq, a CPU that gives no positive clock is left out.
        if (ec != std::errc() || end != value.data() + value.size() || !std::isfinite(mhz) || mhz <= 0)
            continue;
        sumMHz += mhz;
        ++counted;
    }
    if (counted == 0)
        return std::nullopt;
    return sumMHz / counted / 1e3;
}

} // namespace platform
