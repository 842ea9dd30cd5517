#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

// The background loop of an engine: start replaces a running loop, stop ends it. The body receives the
// loop's stop token and sleeps with sleepFor so that a stop cuts the sleep short.
//
// From any other thread, start, stop and destruction run one at a time and wait for the old loop to end
// without holding the state lock, so a body may ask isRunning() while it winds down. From a loop's own
// thread (a handler that stops, restarts or destroys its engine) they never wait for that thread: the loop
// is asked to end and joined by whoever comes next, or left to finish alone when the loop object is gone.
class EngineLoop
{
public:
    EngineLoop() = default;
    EngineLoop(const EngineLoop&) = delete;
    EngineLoop& operator=(const EngineLoop&) = delete;
    ~EngineLoop();

    // From a loop's own thread while another thread is already starting or stopping, the call is dropped:
    // that thread's start or stop decides what runs next.
    void start(std::function<void(std::stop_token)> body);
    void stop();
    bool isRunning() const;
    // Loops asked to end from their own thread that have not been joined yet.
    std::size_t retiredCount() const;

    // Sleeps for the duration; false when the sleep ended because a stop was requested.
    static bool sleepFor(const std::stop_token& stop, std::chrono::nanoseconds duration);

private:
    struct Run
    {
        std::jthread thread;
        std::shared_ptr<std::atomic<bool>> finished; // set once the body has returned
    };

    static Run launch(std::function<void(std::stop_token)> body);
    // The rest run with m_mutex held.
    bool onLoopThread() const;
    void retireCurrent();
    std::vector<Run> takeFinished();
    std::vector<Run> takeAll();
    void replace(std::function<void(std::stop_token)>* body);

    mutable std::mutex m_mutex;
    std::condition_variable m_idle;
    bool m_changing = false; // a start, stop or destruction is waiting for loops to end
    std::vector<std::thread::id> m_ending; // the loops it waits for
    Run m_current;
    std::vector<Run> m_retired;
};
