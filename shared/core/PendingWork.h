#pragma once

#include <QFuture>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPromise>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <memory>
#include <type_traits>
#include <utility>

// The work an object hands to the thread pool, with each result brought back to the object's thread.
// The object keeps one as its last member, so that the destructor, which waits for every worker still
// running, runs before any other member goes: the work may use what the object holds. The worker posts
// the result itself, within what the destructor waits for; a post left to a continuation attached with
// then(object, ...) runs after the worker's future has finished and may still be reaching the object
// when its destructor has returned. Used from the object's thread only.
class PendingWork
{
public:
    explicit PendingWork(QObject* receiver, QThreadPool* pool = QThreadPool::globalInstance());
    ~PendingWork();
    PendingWork(const PendingWork&) = delete;
    PendingWork& operator=(const PendingWork&) = delete;

    // Runs `work` on the pool and then `done` with its result on the receiver's thread. The future
    // finishes once `done` has run; it is canceled when the receiver went first.
    template<class Work, class Done> QFuture<void> run(Work work, Done done);
    // Runs `work` on the pool; its future carries the result and finishes on the receiver's thread, so
    // a continuation attached to it runs there too.
    template<class Work> auto run(Work work) -> QFuture<std::invoke_result_t<Work&>>;

    // Waits for the workers under way; an owner whose destructor releases what they use calls it first.
    void waitForAll();

private:
    void track(QFuture<void> worker);

    QObject* m_receiver;
    QThreadPool* m_pool;
    QList<QFuture<void>> m_workers;
};

template<class Work, class Done> QFuture<void> PendingWork::run(Work work, Done done)
{
    using Result = std::invoke_result_t<Work&>;
    auto delivered = std::make_shared<QPromise<void>>();
    delivered->start();
    QFuture<void> future = delivered->future();
    QObject* receiver = m_receiver;
    // The promise travels with the post, so that it is let go on the receiver's thread: finished there, or
    // canceled when the post is dropped with a receiver that went first.
    track(QtConcurrent::run(
        m_pool, [receiver, work = std::move(work), done = std::move(done), delivered = std::move(delivered)]() mutable {
            if constexpr (std::is_void_v<Result>) {
                work();
                QMetaObject::invokeMethod(
                    receiver,
                    [done = std::move(done), delivered = std::move(delivered)]() mutable {
                        done();
                        delivered->finish();
                    },
                    Qt::QueuedConnection);
            } else {
                QMetaObject::invokeMethod(
                    receiver,
                    [done = std::move(done), delivered = std::move(delivered), result = work()]() mutable {
                        done(std::move(result));
                        delivered->finish();
                    },
                    Qt::QueuedConnection);
            }
        }));
    return future;
}

template<class Work> auto PendingWork::run(Work work) -> QFuture<std::invoke_result_t<Work&>>
{
    using Result = std::invoke_result_t<Work&>;
    auto promise = std::make_shared<QPromise<Result>>();
    promise->start();
    QFuture<Result> future = promise->future();
    run(std::move(work), [promise](Result result) {
        promise->addResult(std::move(result));
        promise->finish();
    });
    return future;
}
