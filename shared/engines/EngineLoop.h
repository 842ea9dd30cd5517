#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

// The background loop of an engine: start replaces a running loop, stop ends it. The body receives the
// loop's stop token and sleeps with sleepFor so that a stop cuts the sleep short.
class EngineLoop
{
public:
    EngineLoop() = default;
    EngineLoop(const EngineLoop&) = delete;
    EngineLoop& operator=(const EngineLoop&) = delete;
    ~EngineLoop();

    void start(std::function<void(std::stop_token)> body);
    // Waits for the loop to end, unless called from the loop itself (a handler that stops its engine),
    // which only asks it to end.
    void stop();
    bool isRunning() const;

    // Sleeps for the duration; false when the sleep ended because a stop was requested.
    static bool sleepFor(const std::stop_token& stop, std::chrono::nanoseconds duration);

private:
    mutable std::mutex m_mutex;
    std::jthread m_thread;
    std::vector<std::jthread> m_retired;
};
