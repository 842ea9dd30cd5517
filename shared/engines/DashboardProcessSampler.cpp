#include "DashboardProcessSampler.h"

#include <algorithm>
#include <charconv>
#include <dirent.h>
#include <fcntl.h>
#include <numeric>
#include <unistd.h>

namespace {

std::string readFile(const std::string& path)
{
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return text;
}

} // namespace

DashboardProcessSampler::DashboardProcessSampler(std::string procRoot)
    : m_root(procRoot)
    , m_table(std::move(procRoot))
    , m_bootTime(platform::ProcessTable::parseBootTime(readFile(m_root + "/stat")).value_or(0))
    , m_pageSize(std::max(::sysconf(_SC_PAGESIZE), 1L))
{
}

std::vector<platform::ProcessInfo> DashboardProcessSampler::quickList() const
{
    std::vector<platform::ProcessInfo> processes;
    DIR* dir = ::opendir(m_root.c_str());
    if (!dir)
        return processes;
    const double tps = static_cast<double>(std::max(platform::ProcessTable::ticksPerSecond(), 1L));
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
            continue;
        // A process that ended since the listing has no stat any more and is left out.
        const auto stat = platform::ProcessTable::parseStat(readFile(m_root + "/" + entry->d_name + "/stat"));
        if (!stat)
            continue;
        platform::ProcessInfo p;
        p.pid = stat->pid;
        p.ppid = stat->ppid;
        p.name = stat->comm;
        p.state = stat->state;
        p.startTimeTicks = stat->startTime;
        p.startTime = static_cast<double>(m_bootTime) + static_cast<double>(stat->startTime) / tps;
        p.cpuTicks = stat->utime + stat->stime;
        p.residentBytes = stat->rssPages > 0 ? static_cast<std::uint64_t>(stat->rssPages) * static_cast<std::uint64_t>(m_pageSize) : 0;
        processes.push_back(std::move(p));
    }
    ::closedir(dir);
    return processes;
}

std::vector<RunningProcess> DashboardProcessSampler::fetchTopProcesses()
{
    std::lock_guard lock(m_mutex);
    const auto processes = quickList();
    const auto at = std::chrono::steady_clock::now();
    const double elapsed = m_previousAt ? std::chrono::duration<double>(at - *m_previousAt).count() : 0.0;
    const Date now = Date::now();
    auto top = rank(processes, m_previous, elapsed, now.timeIntervalSince1970(), platform::ProcessTable::ticksPerSecond(), now);
    m_previous.clear();
    for (const auto& p : processes)
        m_previous[p.pid] = { p.cpuTicks, p.startTimeTicks };
    m_previousAt = at;
    // The full executable name, since comm is cut at 15 characters.
    for (RunningProcess& p : top) {
        if (auto info = m_table.info(p.pid); info && !info->name.empty())
            p.name = info->name;
    }
    return top;
}

std::vector<RunningProcess> DashboardProcessSampler::rank(const std::vector<platform::ProcessInfo>& processes,
    const std::unordered_map<int, Previous>& previous, double elapsedSeconds, double nowUnix, long ticksPerSecond,
    Date now, std::size_t limit)
{
    const double tps = ticksPerSecond > 0 ? static_cast<double>(ticksPerSecond) : 100.0;
    std::vector<double> shares(processes.size(), 0.0);
    for (std::size_t i = 0; i < processes.size(); ++i) {
        const auto& p = processes[i];
        const auto before = previous.find(p.pid);
        // The start time tells a reused pid from the process that had it before.
        if (before != previous.end() && before->second.startTimeTicks == p.startTimeTicks && elapsedSeconds > 0) {
            const double ticks = p.cpuTicks >= before->second.cpuTicks ? double(p.cpuTicks - before->second.cpuTicks) : 0.0;
            shares[i] = ticks / tps / elapsedSeconds * 100.0;
        } else {
            const double lifetime = nowUnix - p.startTime;
            shares[i] = lifetime > 0 ? static_cast<double>(p.cpuTicks) / tps / lifetime * 100.0 : 0.0;
        }
    }
    std::vector<std::size_t> order(processes.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return shares[a] > shares[b]; });
    order.resize(std::min(limit, order.size()));

    std::vector<RunningProcess> top;
    top.reserve(order.size());
    for (std::size_t i : order) {
        const auto& p = processes[i];
        top.push_back({ p.pid, p.name, static_cast<std::int64_t>(p.residentBytes / 1024 / 1024), shares[i], now });
    }
    return top;
}
