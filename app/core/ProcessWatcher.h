#pragma once

#include "engines/EngineLoop.h"
#include "engines/RunningProcess.h"

#include "platform/proc/ProcStatCache.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// Snapshots of the running processes with each one's CPU load, and a watch mode that reports when
// processes of given names appear or end. Thread-safe; watch callbacks run on the watch thread.
class ProcessWatcher
{
public:
    using Handler = std::function<void(const RunningProcess&)>;

    struct Options
    {
        std::string procRoot = "/proc";
        // Monotonic seconds; a wall-clock step must not turn into a CPU load.
        std::function<double()> clock;
        int processorCount = 0; // 0: the CPUs online
        std::chrono::milliseconds watchInterval {3000};
    };

    // CPU time is counted in 10 ms ticks, so a load is measured over at least this long; a snapshot
    // sooner than that repeats the process's last measured load.
    static constexpr double minimumLoadInterval = 1.0;

    ProcessWatcher();
    explicit ProcessWatcher(Options options);
    ~ProcessWatcher();

    // The processes now, in ascending pid order as /proc lists them; never fails (a failure yields fewer records).
    std::vector<RunningProcess> scanProcesses();
    // While set, every snapshot returns exactly this list and no CPU bookkeeping happens.
    void setMockProcesses(std::optional<std::vector<RunningProcess>> processes);

    void startWatching(std::vector<std::string> watchList, Handler onSpawn, Handler onExit);
    void stopWatching();
    bool isWatching() const;
    // A desktop's launch and termination events, where one reports them; a watched name calls the handler.
    void handleAppLaunched(std::int32_t pid, const std::string& name);
    void handleAppTerminated(std::int32_t pid, const std::string& name);

private:
    struct CpuBaseline
    {
        std::uint64_t startTicks = 0; // tells a reused pid from the process that had it before
        std::uint64_t cpuTicks = 0;
        double at = 0;
        double lastPercent = 0;
    };

    double now() const;
    void watchLoop(std::stop_token stop, std::map<std::int32_t, Date> known);

    Options m_options;
    platform::ProcStatCache m_processTable;
    double m_maxPercent;
    mutable std::mutex m_mutex;
    bool m_isWatching = false;
    std::vector<std::string> m_watchList;
    Handler m_onSpawn;
    Handler m_onExit;
    std::map<std::int32_t, CpuBaseline> m_previousCPUTimes;
    std::optional<std::vector<RunningProcess>> m_mockProcesses;
    EngineLoop m_loop; // last: the loop ends before the state it uses goes away
};
