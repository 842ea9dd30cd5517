#pragma once

#include "PoolWork.h"

#include <QFuture>
#include <QList>
#include <QObject>
#include <QPromise>
#include <QThreadPool>

#include <exception>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

// The work an object hands to the thread pool and waits for, with each result brought back to the object on
// the GUI thread (through deliverHome(), as runOnPool() does). The object keeps one as its last member, so
// that the destructor, which waits for every worker still running, runs before any other member goes: the
// work may use what the object holds. The worker posts the result itself, within what the destructor waits
// for. A work that throws ends its future with its exception, on the GUI thread as a result would. Used
// from the GUI thread only.
class PendingWork
{
public:
    explicit PendingWork(QObject* receiver, QThreadPool* pool = QThreadPool::globalInstance());
    ~PendingWork();
    PendingWork(const PendingWork&) = delete;
    PendingWork& operator=(const PendingWork&) = delete;

    // Runs `work` on the pool and then `done` with its result on the GUI thread. The future finishes once
    // `done` has run, or with the exception of a work that threw (`done` then does not run); it is
    // canceled when the receiver went first.
    template<class Work, class Done> QFuture<void> run(Work work, Done done);
    // Runs `work` on the pool; its future carries the result, or the exception of a work that threw, and
    // finishes on the GUI thread.
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
    // Runs `work`, then `done` with its result or `failed` with its exception, and ends the returned future.
    template<class Work, class Done, class Failed> QFuture<void> start(Work work, Done done, Failed failed);
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
    return start(std::move(work), std::move(done), [](const std::exception_ptr&) {});
}

template<class Work> auto PendingWork::run(Work work) -> QFuture<std::invoke_result_t<Work&>>
{
    using Result = std::invoke_result_t<Work&>;
    auto promise = std::make_shared<QPromise<Result>>();
    promise->start();
    QFuture<Result> future = promise->future();
    remember(promise);
    start(
        std::move(work),
        [promise](Result result) {
            promise->addResult(std::move(result));
            promise->finish();
        },
        [promise](const std::exception_ptr& error) {
            promise->setException(error);
            promise->finish();
        });
    return future;
}

template<class Work, class Done, class Failed> QFuture<void> PendingWork::start(Work work, Done done, Failed failed)
{
    using Result = std::invoke_result_t<Work&>;
    auto delivered = std::make_shared<QPromise<void>>();
    delivered->start();
    QFuture<void> future = delivered->future();
    remember(delivered);
    // The promise travels with the delivery, so that it is let go on the GUI thread: finished there, or
    // canceled when the delivery is dropped, which the destructor does at once for those still waiting.
    auto fail = [failed = std::move(failed), delivered](const std::exception_ptr& error) mutable {
        failed(error);
        delivered->setException(error);
        delivered->finish();
    };
    if constexpr (std::is_void_v<Result>) {
        track(runOnPool(
            m_pool, m_receiver, std::move(work),
            [done = std::move(done), delivered]() mutable {
                done();
                delivered->finish();
            },
            std::move(fail)));
    } else {
        track(runOnPool(
            m_pool, m_receiver, std::move(work),
            [done = std::move(done), delivered](Result result) mutable {
                done(std::move(result));
                delivered->finish();
            },
            std::move(fail)));
    }
    return future;
}
