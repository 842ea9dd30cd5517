#pragma once

#include "PoolWork.h"

#include <QFuture>
#include <QList>
#include <QObject>
#include <QPromise>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

// The work an object hands to the thread pool and waits for, with each result brought back to the object on
// the GUI thread (through deliverHome(), as runOnPool() does). The object keeps one as its last member, so
// that the destructor, which waits for every worker still running, runs before any other member goes: the
// work may use what the object holds. The worker posts the result itself, within what the destructor waits
// for; a post left to a continuation attached with then(object, ...) runs after the worker's future has
// finished and may still be reaching the object when its destructor has returned. Used from the GUI thread
// only.
class PendingWork
{
public:
    explicit PendingWork(QObject* receiver, QThreadPool* pool = QThreadPool::globalInstance());
    ~PendingWork();
    PendingWork(const PendingWork&) = delete;
    PendingWork& operator=(const PendingWork&) = delete;

    // Runs `work` on the pool and then `done` with its result on the GUI thread. The future finishes once
    // `done` has run; it is canceled when the receiver went first.
    template<class Work, class Done> QFuture<void> run(Work work, Done done);
    // Runs `work` on the pool; its future carries the result and finishes on the GUI thread, so a
    // continuation attached to it runs there too.
    template<class Work> auto run(Work work) -> QFuture<std::invoke_result_t<Work&>>;

    // Waits for the workers under way; an owner whose destructor releases what they use calls it first.
    void waitForAll();

private:
    // A promise that a delivery finishes, with what tells whether it has and what cancels it.
    struct Delivery
    {
        std::function<bool()> finished;
        std::function<void()> cancel;
    };
    template<class T> void remember(const std::shared_ptr<QPromise<T>>& promise);
    void track(QFuture<void> worker);

    QObject* m_receiver;
    QThreadPool* m_pool;
    QList<QFuture<void>> m_workers;
    // The deliveries not made yet. Those left when this goes are canceled at once: their posts wait in the
    // GUI thread's queue, and whoever waits there for a future of run() would wait for ever.
    QList<Delivery> m_deliveries;
};

template<class T> void PendingWork::remember(const std::shared_ptr<QPromise<T>>& promise)
{
    m_deliveries.removeIf([](const Delivery& d) { return d.finished(); });
    m_deliveries.append({[promise] { return promise->future().isFinished(); },
        [promise] {
            promise->future().cancel();
            promise->finish();
        }});
}

template<class Work, class Done> QFuture<void> PendingWork::run(Work work, Done done)
{
    using Result = std::invoke_result_t<Work&>;
    auto delivered = std::make_shared<QPromise<void>>();
    delivered->start();
    QFuture<void> future = delivered->future();
    remember(delivered);
    // The promise travels with the delivery, so that it is let go on the GUI thread: finished there, or
    // canceled when the delivery is dropped, which the destructor does at once for those still waiting.
    if constexpr (std::is_void_v<Result>) {
        track(runOnPool(m_pool, m_receiver, std::move(work), [done = std::move(done), delivered]() mutable {
            done();
            delivered->finish();
        }));
    } else {
        track(
            runOnPool(m_pool, m_receiver, std::move(work), [done = std::move(done), delivered](Result result) mutable {
                done(std::move(result));
                delivered->finish();
            }));
    }
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
    remember(promise);
    return future;
}
