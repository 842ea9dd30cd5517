#include "ProcessWatcher.h"

#include <algorithm>

#include <unistd.h>

namespace {

bool isListed(const std::vector<std::string>& list, const std::string& name)
{
    return std::find(list.begin(), list.end(), name) != list.end();
}

} // namespace

ProcessWatcher::ProcessWatcher()
    : ProcessWatcher(Options {})
{
}

ProcessWatcher::ProcessWatcher(Options options)
    : m_options(std::move(options))
    , m_processTable(m_options.procRoot)
{
    long processors = m_options.processorCount;
    if (processors <= 0)
        processors = ::sysconf(_SC_NPROCESSORS_ONLN);
    m_maxPercent = 100.0 * static_cast<double>(std::max(1L, processors));
}

ProcessWatcher::~ProcessWatcher()
{
    m_loop.stop();
}

double ProcessWatcher::now() const
{
    if (m_options.clock)
        return m_options.clock();
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::vector<RunningProcess> ProcessWatcher::scanProcesses()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_mockProcesses)
            return *m_mockProcesses;
    }
    // Snapshots carry no owner.
    const auto processes = m_processTable.list(false, platform::ProcStatCache::Names::executable);
    const double at = now();
    const double ticksPerSecond = static_cast<double>(platform::ProcessTable::ticksPerSecond());

    std::vector<RunningProcess> result;
    result.reserve(processes.size());
    std::lock_guard lock(m_mutex);
    std::map<std::int32_t, CpuBaseline> next;
    for (const auto& p : processes) {
        CpuBaseline entry {p.startTimeTicks, p.cpuTicks, at, 0};
        const auto previous = m_previousCPUTimes.find(p.pid);
        if (previous != m_previousCPUTimes.end() && previous->second.startTicks == p.startTimeTicks) {
            const CpuBaseline& before = previous->second;
            const double elapsed = at - before.at;
            if (elapsed < minimumLoadInterval) {
                entry = before; // keep measuring from the older baseline
            } else if (p.cpuTicks >= before.cpuTicks) {
                const double seconds = static_cast<double>(p.cpuTicks - before.cpuTicks) / ticksPerSecond;
                entry.lastPercent = std::clamp(seconds / elapsed * 100.0, 0.0, m_maxPercent);
            }
        }
        next[p.pid] = entry;
        result.push_back(RunningProcess {p.pid, p.name, static_cast<std::int64_t>(p.residentBytes >> 20),
            entry.lastPercent, Date::from1970(p.startTime)});
    }
    // Only processes of this snapshot are kept: an ended pid leaves no baseline behind for its successor.
    m_previousCPUTimes = std::move(next);
    return result;
}

void ProcessWatcher::setMockProcesses(std::optional<std::vector<RunningProcess>> processes)
{
    std::lock_guard lock(m_mutex);
    m_mockProcesses = std::move(processes);
}

void ProcessWatcher::startWatching(std::vector<std::string> watchList, Handler onSpawn, Handler onExit)
{
    stopWatching();
    {
        std::lock_guard lock(m_mutex);
        m_watchList = std::move(watchList);
        m_onSpawn = std::move(onSpawn);
        m_onExit = std::move(onExit);
        m_isWatching = true;
    }
    // Processes already running when watching starts are known, not spawned.
    std::map<std::int32_t, Date> known;
    std::vector<std::string> list;
    {
        std::lock_guard lock(m_mutex);
        list = m_watchList;
    }
    for (const auto& p : scanProcesses()) {
        if (isListed(list, p.name))
            known[p.pid] = p.startTime;
    }
    m_loop.start([this, known = std::move(known)](std::stop_token stop) mutable { watchLoop(stop, std::move(known)); });
}

void ProcessWatcher::watchLoop(std::stop_token stop, std::map<std::int32_t, Date> known)
{
    while (EngineLoop::sleepFor(stop, m_options.watchInterval)) {
        const auto snapshot = scanProcesses();
        std::vector<std::string> list;
        Handler onSpawn;
        Handler onExit;
        {
            std::lock_guard lock(m_mutex);
            list = m_watchList;
            onSpawn = m_onSpawn;
            onExit = m_onExit;
        }
        // A pid counts as the same process only with the same start time; a reused pid is an exit and a spawn.
        std::map<std::int32_t, Date> current;
        std::vector<const RunningProcess*> spawned;
        for (const auto& p : snapshot) {
            if (!isListed(list, p.name))
                continue;
            current[p.pid] = p.startTime;
            const auto it = known.find(p.pid);
            if (it == known.end() || it->second != p.startTime)
                spawned.push_back(&p);
        }
        // Spawns are reported before exits, so a reused pid reads as the new process, then the old one's end.
        for (const RunningProcess* p : spawned) {
            if (onSpawn && !stop.stop_requested())
                onSpawn(*p);
        }
        for (const auto& [pid, started] : known) {
            const auto it = current.find(pid);
            if ((it == current.end() || it->second != started) && onExit && !stop.stop_requested())
                onExit(RunningProcess {pid, {}, 0, 0, Date::now()});
        }
        known = std::move(current);
    }
}

void ProcessWatcher::stopWatching()
{
    {
        std::lock_guard lock(m_mutex);
        m_isWatching = false;
    }
    m_loop.stop();
}

bool ProcessWatcher::isWatching() const
{
    std::lock_guard lock(m_mutex);
    return m_isWatching;
}

void ProcessWatcher::handleAppLaunched(std::int32_t pid, const std::string& name)
{
    Handler handler;
    {
        std::lock_guard lock(m_mutex);
        if (!isListed(m_watchList, name))
            return;
        handler = m_onSpawn;
    }
    if (handler)
        handler(RunningProcess {pid, name, 0, 0, Date::now()});
}

void ProcessWatcher::handleAppTerminated(std::int32_t pid, const std::string& name)
{
    Handler handler;
    {
        std::lock_guard lock(m_mutex);
        if (!isListed(m_watchList, name))
            return;
        handler = m_onExit;
    }
    if (handler)
        handler(RunningProcess {pid, name, 0, 0, Date::now()});
}
