#pragma once

#include "StoreFixture.h"

#include "records/AssistanceTracker.h"
#include "storage/DeveloperCacheEngine.h"
#include "storage/ModelInventoryEngine.h"
#include "support/Unowned.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThreadPool>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

// A temporary home with engines over it, a tracker of its own and a pool whose work can be held back.
class StorageViewFixture : public StoreFixture
{
public:
    StorageViewFixture()
        : inventory(std::make_shared<ModelInventoryEngine>(roots))
        , caches(std::make_shared<DeveloperCacheEngine>(roots))
        , tracker(m_trackerDir.path())
    {
        pool.setMaxThreadCount(2);
    }
    ~StorageViewFixture()
    {
        release();
        pool.waitForDone();
    }

    // Occupies every thread of the pool until release(), so work queued meanwhile has not started.
    void hold()
    {
        m_held = true;
        for (int i = 0; i < pool.maxThreadCount(); ++i)
            pool.start([this] {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return !m_held; });
            });
    }
    void release()
    {
        {
            std::lock_guard lock(m_mutex);
            m_held = false;
        }
        m_wake.notify_all();
    }

    // Runs the GUI thread's events until `ready` holds (at most 10 s).
    static bool waitFor(const std::function<bool()>& ready)
    {
        QElapsedTimer timer;
        timer.start();
        while (!ready() && timer.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return ready();
    }

    // An LM Studio model file of `bytes`, `daysOld` days untouched.
    std::string lmModel(const std::string& relative, std::size_t bytes, double daysOld = 0)
    {
        const std::string full = path(".lmstudio/models/" + relative);
        file(full, bytes);
        age(full, daysOld * 86400 + 60);
        return full;
    }

private:
    QTemporaryDir m_trackerDir;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_held = false;

public:
    std::shared_ptr<ModelInventoryEngine> inventory;
    std::shared_ptr<DeveloperCacheEngine> caches;
    AssistanceTracker tracker;
    QThreadPool pool;
};
