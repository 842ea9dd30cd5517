#pragma once

#include <QThreadPool>

#include <condition_variable>
#include <mutex>

// Keeps every thread of a pool busy until released, so that work started meanwhile waits in the pool's
// queue: a test can take away what that work uses before it starts, and a picture can show work under way.
class PoolHold
{
public:
    explicit PoolHold(QThreadPool& pool)
        : m_threads(pool.maxThreadCount())
    {
        for (int i = 0; i < m_threads; ++i) {
            pool.start([this] {
                std::unique_lock lock(m_mutex);
                ++m_holding;
                m_changed.notify_all();
                m_changed.wait(lock, [this] { return m_released; });
                --m_holding;
                m_changed.notify_all();
            });
        }
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_holding == m_threads; });
    }
    ~PoolHold() { release(); }
    PoolHold(const PoolHold&) = delete;
    PoolHold& operator=(const PoolHold&) = delete;

    // Lets the pool's threads go, and waits until none of them holds on any longer.
    void release()
    {
        std::unique_lock lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_holding == 0; });
    }

private:
    const int m_threads;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_holding = 0;
    bool m_released = false;
};
