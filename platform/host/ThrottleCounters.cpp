#include "ThrottleCounters.h"

#include "Sysctl.h"
#include "platform/io/ProcFiles.h"

#include <algorithm>
#include <charconv>

namespace platform {

ThrottleCounters::ThrottleCounters(std::string procRoot, std::string sysRoot)
    : m_proc(std::move(procRoot))
    , m_sys(std::move(sysRoot))
{
}

std::optional<std::uint64_t> ThrottleCounters::eventsSinceBoot() const
{
    std::optional<std::uint64_t> largest;
    for (const int cpu : Sysctl(m_proc, m_sys).onlineCpus()) {
        const std::string folder = m_sys + "/devices/system/cpu/cpu" + std::to_string(cpu) + "/thermal_throttle/";
        for (const char* counter : {"core_throttle_count", "package_throttle_count"}) {
            const std::string text = procfiles::readTrimmed(folder + counter);
            std::uint64_t count = 0;
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), count);
            if (ec == std::errc() && end == text.data() + text.size())
                largest = std::max(largest.value_or(0), count);
        }
    }
    return largest;
}

} // namespace platform
