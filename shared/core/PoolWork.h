#pragma once

#include <QCoreApplication>
#include <QFuture>
#include <QFutureWatcher>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <cstdio>
#include <exception>
#include <memory>
#include <type_traits>
#include <utility>

// How work leaves the GUI thread and how its result comes home; the one place that starts pool work
// (scripts/check-threads.sh fails the tests when code elsewhere starts a thread or a pool job).
//
// A worker holds what it uses: copies, shared ownership (lifelong() for what lives as long as the
// program), or it is waited for by its direct owner (PendingWork, or a pool the owner keeps as a member
// and so waits for before its other members go). A wait by someone further away, the program's own at
// its end included, keeps nothing safe.
//
// A result reaches an object only on the GUI thread, while the object lives, through one of these:
// - deliverHome(receiver, deliver): from a worker or any thread that calls back;
// - runOnPool(pool, receiver, work, done): work on a pool, `done` at home;
// - PendingWork: the same, for work its owner waits for;
// - whenFinished(future, receiver, done): a future someone else's work finishes.

// Posts `deliver` to the GUI thread, where it runs only while `receiver` lives. The application object
// carries the post, so the receiver is looked at only on its own thread; a post to the receiver itself
// could race its destruction there. A dropped post is let go on the GUI thread as well, with everything
// it holds.
template<class Deliver> void deliverHome(const QPointer<QObject>& receiver, Deliver deliver)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [receiver, deliver = std::move(deliver)]() mutable {
            if (receiver)
                deliver();
        },
        Qt::QueuedConnection);
}

// A shared pointer to an object that lives as long as the program (a process-wide store): work may hold
// it as it holds any other, and holding it keeps nothing alive.
template<class T> std::shared_ptr<T> lifelong(T& object)
{
    return std::shared_ptr<T>(std::shared_ptr<T>(), &object);
}

namespace poolwork {

// What a work that threw says, for the console.
inline void reportFailure(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Background work failed: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "Background work failed\n");
    }
}

} // namespace poolwork

// Runs `work` on `pool` and hands its result to `done` on the GUI thread while `receiver` lives; a work
// that throws hands its exception to `failed` there instead (with `done`, let go unrun). The receiver may
// go first: the work runs to its end all the same (a deletion started from a panel finishes after the
// panel closed), and only the delivery is dropped. Returns the worker's future, finished once the
// result is posted; it never carries an exception, so waiting for it never throws.
template<class Work, class Done, class Failed>
QFuture<void> runOnPool(QThreadPool* pool, QObject* receiver, Work work, Done done, Failed failed)
{
    using Result = std::invoke_result_t<Work&>;
    QPointer<QObject> guard(receiver);
    return QtConcurrent::run(
        pool, [guard, work = std::move(work), done = std::move(done), failed = std::move(failed)]() mutable {
            try {
                if constexpr (std::is_void_v<Result>) {
                    work();
                    deliverHome(guard, std::move(done));
                } else {
                    Result result = work();
                    deliverHome(guard,
                        [done = std::move(done), result = std::move(result)]() mutable { done(std::move(result)); });
                }
            } catch (...) {
                try {
                    deliverHome(guard,
                        [failed = std::move(failed), done = std::move(done),
                            error = std::current_exception()]() mutable { failed(error); });
                } catch (...) {
                    // Not even the post could be made (no memory): the failure goes no further.
                }
            }
        });
}

// As above; a work that throws says so on the console.
template<class Work, class Done> QFuture<void> runOnPool(QThreadPool* pool, QObject* receiver, Work work, Done done)
{
    return runOnPool(pool, receiver, std::move(work), std::move(done), &poolwork::reportFailure);
}

// Runs `work` on `pool` and gives its future, which carries the result, or the exception of a work that
// threw, and finishes on the worker: watch it with whenFinished().
template<class Work> auto runOnPool(QThreadPool* pool, Work work) -> QFuture<std::invoke_result_t<Work&>>
{
    return QtConcurrent::run(pool, std::move(work));
}

// Calls `done` with `future` on the GUI thread once it has finished, whichever way (with its result,
// canceled, or with the exception of its work), while `receiver` lives; never once it has gone. Call it
// on the GUI thread.
template<class T, class Done> void whenFinished(const QFuture<T>& future, QObject* receiver, Done done)
{
    auto* watcher = new QFutureWatcher<T>(receiver);
    QObject::connect(watcher, &QFutureWatcherBase::finished, receiver, [watcher, done = std::move(done)]() mutable {
        watcher->deleteLater();
        done(watcher->future());
    });
    watcher->setFuture(future);
}
