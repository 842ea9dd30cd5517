#pragma once

#include "EngineLoop.h"
#include "SystemMemoryState.h"

#include "platform/host/VmStatistics.h"

#include <functional>
#include <mutex>
#include <string>

// Samples the machine's memory into SystemMemoryState, on demand or in its own polling loop.
// Every operation is thread-safe; the update handler runs on the polling thread.
class MemoryEngine
{
public:
    using UpdateHandler = std::function<void(const SystemMemoryState&)>;

    static constexpr double defaultInterval = 3.0;
    static constexpr double minimumInterval = 0.1;
    static constexpr double maximumInterval = 24 * 3600.0;

    explicit MemoryEngine(std::string procRoot = "/proc");
    ~MemoryEngine();

    void updateAIModelsMemory(double gigabytes);
    void registerOnUpdate(UpdateHandler handler);
    SystemMemoryState snapshot();
    // The first sample is taken at once. The interval is clamped to 0.1 s .. one day (NaN: 3 s).
    void startPolling(double interval);
    void stopPolling();

    double interval() const;
    bool isPolling() const;

    static double clampedInterval(double seconds);
    // The record for one reading: sizes / 2^30, fields absent from the reading as 0.
    static SystemMemoryState makeState(
        const platform::VmSample& sample, std::uint64_t pageSize, double aiModelsGB, Date timestamp);

private:
    platform::VmStatistics m_vm;
    mutable std::mutex m_mutex;
    double m_aiModelsGB = 0;
    double m_interval = defaultInterval;
    UpdateHandler m_onUpdate;
    EngineLoop m_loop; // last: the loop ends before the state it reads goes away
};
