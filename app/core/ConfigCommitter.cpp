#include "ConfigCommitter.h"

#include "core/PoolWork.h"

ConfigCommitter::ConfigCommitter(Write write, Current current, QObject* parent)
    : QObject(parent)
    , m_write(std::move(write))
    , m_current(std::move(current))
{
}

PersonaConfiguration ConfigCommitter::latest() const
{
    if (m_waiting)
        return *m_waiting;
    if (m_writing)
        return *m_writing;
    return m_current();
}

QFuture<void> ConfigCommitter::commit(const PersonaConfiguration& configuration)
{
    auto promise = std::make_shared<QPromise<void>>();
    promise->start();
    QFuture<void> future = promise->future();
    m_waiting = configuration;
    m_waitingPromises.push_back(std::move(promise));
    if (!m_writing)
        startNext();
    return future;
}

void ConfigCommitter::startNext()
{
    if (!m_waiting)
        return;
    m_writing = std::move(m_waiting);
    m_waiting.reset();
    m_writingPromises = std::move(m_waitingPromises);
    m_waitingPromises.clear();
    whenFinished(m_write(*m_writing), this, [this](const QFuture<void>& written) {
        // A write canceled as its writer went leaves the rest to this committer's end.
        if (written.isCanceled())
            return;
        for (auto& promise : m_writingPromises)
            promise->finish();
        m_writingPromises.clear();
        m_writing.reset();
        startNext();
    });
}
