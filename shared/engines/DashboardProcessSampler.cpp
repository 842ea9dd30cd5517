#include "DashboardProcessSampler.h"

#include <algorithm>
#include <numeric>

namespace {

std::vector<double> cpuShares(const std::vector<platform::ProcessInfo>& processes,
    const std::unordered_map<int, DashboardProcessSampler::Previous>& previous, double elapsedSeconds, double nowUnix,
    long ticksPerSecond)
{
    const double tps = ticksPerSecond > 0 ? static_cast<double>(ticksPerSecond) : 100.0;
    std::vector<double> shares(processes.size(), 0.0);
    for (std::size_t i = 0; i < processes.size(); ++i) {
        const auto& p = processes[i];
        const auto before = previous.find(p.pid);
        // The start time tells a reused pid from the process that had it before.
        if (before != previous.end() && before->second.startTimeTicks == p.startTimeTicks && elapsedSeconds > 0) {
            const double ticks
                = p.cpuTicks >= before->second.cpuTicks ? double(p.cpuTicks - before->second.cpuTicks) : 0.0;
            shares[i] = ticks / tps / elapsedSeconds * 100.0;
        } else {
            const double lifetime = nowUnix - p.startTime;
            shares[i] = lifetime > 0 ? static_cast<double>(p.cpuTicks) / tps / lifetime * 100.0 : 0.0;
        }
    }
    return shares;
}

// The first `limit` processes in the order `before` gives (a stable sort, so ties keep table order).
template<typename Before>
std::vector<RunningProcess> ordered(const std::vector<platform::ProcessInfo>& processes,
    const std::vector<double>& shares, Date now, std::size_t limit, Before before)
{
    std::vector<std::size_t> order(processes.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), before);
    order.resize(std::min(limit, order.size()));

    std::vector<RunningProcess> top;
    top.reserve(order.size());
    for (std::size_t i : order) {
        const auto& p = processes[i];
        top.push_back({p.pid, p.name, static_cast<std::int64_t>(p.residentBytes / 1024 / 1024), shares[i], now});
    }
    return top;
}

} // namespace

DashboardProcessSampler::DashboardProcessSampler(std::string procRoot)
    : m_processTable(std::move(procRoot))
{
}

DashboardProcessSampler::Listing DashboardProcessSampler::fetchListing()
{
    std::lock_guard lock(m_mutex);
    const auto processes = m_processTable.list(true, platform::ProcStatCache::Names::comm);
    const auto at = std::chrono::steady_clock::now();
    const double elapsed = m_previousAt ? std::chrono::duration<double>(at - *m_previousAt).count() : 0.0;
    const Date now = Date::now();
    const long tps = platform::ProcessTable::ticksPerSecond();
    const auto shares = cpuShares(processes, m_previous, elapsed, now.timeIntervalSince1970(), tps);
    Listing listing;
    listing.busiest
        = ordered(processes, shares, now, kLimit, [&](std::size_t a, std::size_t b) { return shares[a] > shares[b]; });
    listing.largest = ordered(processes, shares, now, kLimit,
        [&](std::size_t a, std::size_t b) { return processes[a].residentBytes > processes[b].residentBytes; });
    m_previous.clear();
    for (const auto& p : processes)
        m_previous[p.pid] = {p.cpuTicks, p.startTimeTicks};
    m_previousAt = at;
    // The full executable name, since comm is cut at 15 characters.
    for (auto* list : {&listing.busiest, &listing.largest}) {
        for (RunningProcess& p : *list) {
            if (auto name = m_processTable.executableName(p.pid); !name.empty())
                p.name = std::move(name);
        }
    }
    return listing;
}

std::vector<RunningProcess> DashboardProcessSampler::rank(const std::vector<platform::ProcessInfo>& processes,
    const std::unordered_map<int, Previous>& previous, double elapsedSeconds, double nowUnix, long ticksPerSecond,
    Date now, std::size_t limit)
{
    const auto shares = cpuShares(processes, previous, elapsedSeconds, nowUnix, ticksPerSecond);
    return ordered(processes, shares, now, limit, [&](std::size_t a, std::size_t b) { return shares[a] > shares[b]; });
}
