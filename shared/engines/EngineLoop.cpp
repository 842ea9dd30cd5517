#include "EngineLoop.h"

#include <condition_variable>

EngineLoop::~EngineLoop()
{
    stop();
    std::lock_guard lock(m_mutex);
    m_retired.clear(); // joins
}

void EngineLoop::start(std::function<void(std::stop_token)> body)
{
    stop();
    std::lock_guard lock(m_mutex);
    m_thread = std::jthread([body = std::move(body)](std::stop_token stop) { body(stop); });
}

void EngineLoop::stop()
{
    std::jthread finished;
    {
        std::lock_guard lock(m_mutex);
        if (!m_thread.joinable())
            return;
        m_thread.request_stop();
        if (m_thread.get_id() == std::this_thread::get_id()) {
            m_retired.push_back(std::move(m_thread));
            return;
        }
        finished = std::move(m_thread);
    }
    // Joined outside the lock, so the loop may still ask isRunning() while it winds down.
    finished.join();
}

bool EngineLoop::isRunning() const
{
    std::lock_guard lock(m_mutex);
    return m_thread.joinable() && !m_thread.get_stop_token().stop_requested();
}

bool EngineLoop::sleepFor(const std::stop_token& stop, std::chrono::nanoseconds duration)
{
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    wake.wait_for(lock, stop, duration, [] { return false; });
    return !stop.stop_requested();
}
