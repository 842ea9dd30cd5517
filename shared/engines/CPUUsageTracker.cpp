#include "CPUUsageTracker.h"

#include <algorithm>

namespace {

double difference(std::uint64_t now, std::uint64_t before)
{
    return now >= before ? static_cast<double>(now - before) : 0.0;
}

} // namespace

CpuLoad CpuLoad::between(
    const CpuTickSample& previous, const CpuTickSample& current, const std::set<int>& efficiencyCpus)
{
    CpuLoad load;
    for (const auto& [cpu, now] : current) {
        const auto before = previous.find(cpu);
        if (before == previous.end())
            continue;
        const double user = difference(now.user, before->second.user);
        const double system = difference(now.system, before->second.system);
        const double idle = difference(now.idle, before->second.idle);
        const double nice = difference(now.nice, before->second.nice);
        const double busy = user + system + nice;
        const double total = busy + idle;
        const double fraction = std::clamp(total > 0 ? busy / total : busy, 0.0, 1.0);
        load.perCore.push_back(fraction);
        load.userTicks += user;
        load.systemTicks += system;
        load.totalTicks += total;
        (efficiencyCpus.count(cpu) ? load.efficiencySum : load.performanceSum) += fraction;
    }
    return load;
}

CPUUsageTracker::CPUUsageTracker(platform::ProcessorTicks source)
    : m_source(std::move(source))
{
}

double CPUUsageTracker::getCPUUsage()
{
    CpuTickSample current = m_source.perCore();
    if (current.empty())
        return 0.0;
    double result = 0.0;
    if (m_previous) {
        const CpuLoad load = CpuLoad::between(*m_previous, current, {});
        if (!load.perCore.empty())
            result = load.performanceSum / static_cast<double>(load.perCore.size()) * 100.0;
    }
    m_previous = std::move(current);
    return result;
}
