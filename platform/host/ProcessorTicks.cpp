#include "ProcessorTicks.h"

#include "platform/io/ProcFiles.h"
#include "platform/io/TextFields.h"

#include <charconv>

namespace platform {

ProcessorTicks::ProcessorTicks(std::string procRoot)
    : m_root(std::move(procRoot))
{
}

std::map<int, CpuTicks> ProcessorTicks::parse(std::string_view procStat)
{
    std::map<int, CpuTicks> cores;
    while (!procStat.empty()) {
        const std::string_view line = textfields::takeLine(procStat);
        if (line.size() < 4 || line.substr(0, 3) != "cpu" || line[3] < '0' || line[3] > '9')
            continue;

        const char* p = line.data() + 3;
        const char* const last = line.data() + line.size();
        int cpu = 0;
        auto r = std::from_chars(p, last, cpu);
        if (r.ec != std::errc())
            continue;
        p = r.ptr;
        // user nice system idle iowait irq softirq steal guest guest_nice; old kernels stop after idle.
        std::uint64_t v[8] = {};
        int count = 0;
        while (count < 8) {
            while (p < last && *p == ' ')
                ++p;
            if (p == last)
                break;
            r = std::from_chars(p, last, v[count]);
            if (r.ec != std::errc())
                break;
            p = r.ptr;
            ++count;
        }
        if (count < 4)
            continue;
        cores[cpu] = CpuTicks {v[0], v[2] + v[5] + v[6] + v[7], v[3] + v[4], v[1]};
    }
    return cores;
}

std::map<int, CpuTicks> ProcessorTicks::perCore() const
{
    const auto text = procfiles::readText(m_root + "/stat");
    if (!text)
        return {};
    return parse(*text);
}

} // namespace platform
