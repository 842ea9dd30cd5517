#include "MemoryEngine.h"

#include "core/Units.h"

#include <cmath>

MemoryEngine::MemoryEngine(std::string procRoot)
    : m_vm(std::move(procRoot))
{
}

MemoryEngine::~MemoryEngine()
{
    m_loop.stop();
}

void MemoryEngine::updateAIModelsMemory(double gigabytes)
{
    std::lock_guard lock(m_mutex);
    m_aiModelsGB = gigabytes;
}

void MemoryEngine::registerOnUpdate(UpdateHandler handler)
{
    std::lock_guard lock(m_mutex);
    m_onUpdate = std::move(handler);
}

SystemMemoryState MemoryEngine::makeState(
    const platform::VmSample& sample, std::uint64_t pageSize, double aiModelsGB, Date timestamp)
{
    if (pageSize == 0)
        pageSize = 4096;
    const auto gb = [](double bytes) { return bytes / kBytesPerGB; };
    const auto pagesGB
        = [&](std::uint64_t pages) { return gb(static_cast<double>(pages) * static_cast<double>(pageSize)); };

    SystemMemoryState s;
    s.totalGB = sample.memTotalBytes ? gb(static_cast<double>(*sample.memTotalBytes)) : 0;
    double active = 0;
    double wired = 0;
    if (sample.counts) {
        s.freeGB = pagesGB(sample.counts->free);
        s.inactiveGB = pagesGB(sample.counts->inactive);
        active = pagesGB(sample.counts->active);
        wired = pagesGB(sample.counts->wired);
    }
    s.swapUsedGB = sample.swap ? gb(static_cast<double>(sample.swap->used)) : 0;
    const double used = active + wired - aiModelsGB;
    s.systemUsedGB = used >= 0 ? used : 0; // also catches NaN
    s.aiModelsGB = aiModelsGB;
    s.timestamp = timestamp;
    return s;
}

SystemMemoryState MemoryEngine::snapshot()
{
    double ai = 0;
    {
        std::lock_guard lock(m_mutex);
        ai = m_aiModelsGB;
    }
    return makeState(m_vm.read(), m_vm.pageSize(), ai, Date::now());
}

double MemoryEngine::clampedInterval(double seconds)
{
    // An interval of 0 would spin, a huge or infinite one overflows the sleep.
    if (std::isnan(seconds))
        return defaultInterval;
    if (seconds < minimumInterval)
        return minimumInterval;
    if (seconds > maximumInterval)
        return maximumInterval;
    return seconds;
}

void MemoryEngine::startPolling(double interval)
{
    m_loop.stop();
    const double seconds = clampedInterval(interval);
    {
        std::lock_guard lock(m_mutex);
        m_interval = seconds;
    }
    const auto sleep = std::chrono::nanoseconds(static_cast<std::int64_t>(seconds * 1e9));
    m_loop.start([this, sleep](std::stop_token stop) {
        while (!stop.stop_requested()) {
            const SystemMemoryState sample = snapshot();
            UpdateHandler handler;
            {
                std::lock_guard lock(m_mutex);
                handler = m_onUpdate;
            }
            if (handler)
                handler(sample);
            if (!EngineLoop::sleepFor(stop, sleep))
                return;
        }
    });
}

void MemoryEngine::stopPolling()
{
    m_loop.stop();
}

double MemoryEngine::interval() const
{
    std::lock_guard lock(m_mutex);
    return m_interval;
}

bool MemoryEngine::isPolling() const
{
    return m_loop.isRunning();
}
