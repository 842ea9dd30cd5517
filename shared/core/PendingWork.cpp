#include "PendingWork.h"

PendingWork::PendingWork(QObject* receiver, QThreadPool* pool)
    : m_receiver(receiver)
    , m_pool(pool)
{
}

PendingWork::~PendingWork()
{
    waitForAll();
    for (const Delivery& delivery : m_deliveries) {
        if (!delivery.finished())
            delivery.cancel();
    }
}

void PendingWork::waitForAll()
{
    for (auto& worker : m_workers)
        worker.waitForFinished();
    m_workers.clear();
}

void PendingWork::track(QFuture<void> worker)
{
    m_workers.removeIf([](const QFuture<void>& f) { return f.isFinished(); });
    m_workers.append(std::move(worker));
}
