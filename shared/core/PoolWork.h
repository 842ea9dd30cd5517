#pragma once

#include <QCoreApplication>
#include <QFuture>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <type_traits>
#include <utility>

// How a worker's result comes home: posted to the GUI thread, where `deliver` runs only while `receiver`
// lives. The application object carries the post, so the receiver is looked at only on its own thread; a
// post to the receiver itself could race its destruction there. A dropped post is let go on the GUI thread
// as well, with everything it holds.
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

// Runs `work` on `pool` and hands its result to `done` on the GUI thread while `receiver` lives. The receiver
// may go first: the work runs to its end all the same (a deletion started from a panel finishes after the
// panel closed), and only the delivery is dropped. What the work uses by reference therefore belongs to
// whoever owns `pool`, who waits for it (QThreadPool::waitForDone(), or the pool's destructor) before those
// go. Work on the global pool, which the program waits for before its engines go, holds what it uses
// itself (copies, shared ownership) or uses only what lives as long as the program. Returns the worker's
// future, finished once the result is posted.
template<class Work, class Done> QFuture<void> runOnPool(QThreadPool* pool, QObject* receiver, Work work, Done done)
{
    using Result = std::invoke_result_t<Work&>;
    QPointer<QObject> guard(receiver);
    return QtConcurrent::run(pool, [guard, work = std::move(work), done = std::move(done)]() mutable {
        if constexpr (std::is_void_v<Result>) {
            work();
            deliverHome(guard, std::move(done));
        } else {
            deliverHome(guard, [done = std::move(done), result = work()]() mutable { done(std::move(result)); });
        }
    });
}
