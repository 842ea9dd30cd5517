#include "EngineLoop.h"

#include <algorithm>

EngineLoop::~EngineLoop()
{
    std::vector<Run> runs;
    {
        std::unique_lock lock(m_mutex);
        if (!onLoopThread())
            m_idle.wait(lock, [this] { return !m_changing; });
        m_changing = true; // a loop still winding down can no longer start another
        runs = takeAll();
        for (const Run& run : runs)
            m_ending.push_back(run.thread.get_id());
    }
    for (Run& run : runs) {
        // A loop that destroys its own engine cannot wait for itself: it ends alone once its body returns.
        if (run.thread.get_id() == std::this_thread::get_id())
            run.thread.detach();
        else
            run.thread.join();
    }
}

void EngineLoop::start(std::function<void(std::stop_token)> body)
{
    std::unique_lock lock(m_mutex);
    if (!onLoopThread()) {
        lock.unlock();
        replace(&body);
        return;
    }
    if (m_changing)
        return;
    retireCurrent();
    std::vector<Run> finished = takeFinished();
    m_current = launch(std::move(body));
    lock.unlock();
    for (Run& run : finished)
        run.thread.join();
}

void EngineLoop::stop()
{
    std::unique_lock lock(m_mutex);
    if (!onLoopThread()) {
        lock.unlock();
        replace(nullptr);
        return;
    }
    retireCurrent();
    std::vector<Run> finished = takeFinished();
    lock.unlock();
    for (Run& run : finished)
        run.thread.join();
}

bool EngineLoop::isRunning() const
{
    std::lock_guard lock(m_mutex);
    return m_current.thread.joinable() && !m_current.thread.get_stop_token().stop_requested();
}

std::size_t EngineLoop::retiredCount() const
{
    std::lock_guard lock(m_mutex);
    return m_retired.size();
}

bool EngineLoop::sleepFor(const std::stop_token& stop, std::chrono::nanoseconds duration)
{
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    wake.wait_for(lock, stop, duration, [] { return false; });
    return !stop.stop_requested();
}

EngineLoop::Run EngineLoop::launch(std::function<void(std::stop_token)> body)
{
    auto finished = std::make_shared<std::atomic<bool>>(false);
    std::jthread thread([body = std::move(body), finished](std::stop_token stop) {
        body(stop);
        finished->store(true);
    });
    return {std::move(thread), std::move(finished)};
}

bool EngineLoop::onLoopThread() const
{
    const auto self = std::this_thread::get_id();
    const auto isSelf = [self](const Run& run) { return run.thread.get_id() == self; };
    return isSelf(m_current) || std::any_of(m_retired.begin(), m_retired.end(), isSelf)
        || std::find(m_ending.begin(), m_ending.end(), self) != m_ending.end();
}

void EngineLoop::retireCurrent()
{
    if (!m_current.thread.joinable())
        return;
    m_current.thread.request_stop();
    m_retired.push_back(std::move(m_current));
    m_current = {};
}

std::vector<EngineLoop::Run> EngineLoop::takeFinished()
{
    std::vector<Run> finished;
    for (Run& run : m_retired) {
        if (run.finished->load())
            finished.push_back(std::move(run));
    }
    std::erase_if(m_retired, [](const Run& run) { return !run.thread.joinable(); });
    return finished;
}

std::vector<EngineLoop::Run> EngineLoop::takeAll()
{
    retireCurrent();
    std::vector<Run> all = std::move(m_retired);
    m_retired.clear();
    for (Run& run : all)
        run.thread.request_stop();
    return all;
}

// Ends every loop and, given a body, starts it; one such change at a time, the waiting done unlocked.
void EngineLoop::replace(std::function<void(std::stop_token)>* body)
{
    std::vector<Run> ending;
    {
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [this] { return !m_changing; });
        ending = takeAll();
        if (ending.empty()) {
            if (body)
                m_current = launch(std::move(*body));
            return;
        }
        m_changing = true;
        for (const Run& run : ending)
            m_ending.push_back(run.thread.get_id());
    }
    for (Run& run : ending)
        run.thread.join();
    {
        std::lock_guard lock(m_mutex);
        m_ending.clear();
        m_changing = false;
        if (body)
            m_current = launch(std::move(*body));
    }
    m_idle.notify_all();
}
