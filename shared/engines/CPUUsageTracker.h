#pragma once

#include "platform/host/ProcessorTicks.h"

#include <map>
#include <optional>
#include <set>
#include <vector>

using CpuTickSample = std::map<int, platform::CpuTicks>;

// Load between two samples of the per-CPU counters, over the CPUs both samples hold (CPUs can go
// offline and come back between ticks). Differences are 64-bit; a counter that went backwards adds 0.
struct CpuLoad
{
    std::vector<double> perCore; // busy fraction 0 to 1 per shared CPU, ascending CPU number
    double userTicks = 0;
    double systemTicks = 0;
    double totalTicks = 0;
    double efficiencySum = 0; // sum of the fractions of efficiency CPUs
    double performanceSum = 0; // of all other CPUs

    static CpuLoad between(
        const CpuTickSample& previous, const CpuTickSample& current, const std::set<int>& efficiencyCpus);
};

// Whole-machine load since the previous call; stands in when the dashboard has no sample of its own yet.
class CPUUsageTracker
{
public:
    explicit CPUUsageTracker(platform::ProcessorTicks source = platform::ProcessorTicks());

    // Percent; 0 on the first call and whenever the counters cannot be read.
    double getCPUUsage();

private:
    platform::ProcessorTicks m_source;
    std::optional<CpuTickSample> m_previous;
};
