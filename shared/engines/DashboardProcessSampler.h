#pragma once

#include "RunningProcess.h"
#include "platform/proc/ProcStatCache.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

// The busiest processes and the ones holding the most memory, read from /proc in one listing. A
// process's CPU share is its CPU time since the previous listing over the wall time between the two
// (percent of one CPU, as ps counts it); a process the previous listing did not see gets its lifetime
// average, which is what ps shows for every process.
class DashboardProcessSampler
{
public:
    static constexpr std::size_t kLimit = 15;

    struct Listing
    {
        std::vector<RunningProcess> busiest; // by CPU share
        std::vector<RunningProcess> largest; // by resident memory
    };

    explicit DashboardProcessSampler(std::string procRoot = "/proc");

    Listing fetchListing();
    std::vector<RunningProcess> fetchTopProcesses() { return fetchListing().busiest; }

    struct Previous
    {
        std::uint64_t cpuTicks = 0;
        std::uint64_t startTimeTicks = 0;
    };
    // The ranking itself: busiest first, ties in table order, at most limit records stamped now.
    static std::vector<RunningProcess> rank(const std::vector<platform::ProcessInfo>& processes,
        const std::unordered_map<int, Previous>& previous, double elapsedSeconds, double nowUnix, long ticksPerSecond,
        Date now, std::size_t limit = kLimit);

private:
    // Every process is read from its stat file alone, named by the kernel's comm; only the few listed
    // processes get their full names.
    platform::ProcStatCache m_processTable;
    std::mutex m_mutex;
    std::unordered_map<int, Previous> m_previous;
    std::optional<std::chrono::steady_clock::time_point> m_previousAt;
};
