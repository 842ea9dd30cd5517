#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <utility>

// Runs `work` on `pool` and hands its result to `done` on the GUI thread, unless `receiver` is gone by
// then. The work itself always runs to its end: a deletion started from a panel finishes after the
// panel closed, and only the delivery is dropped. The application object relays the result, so the
// receiver is looked at only on its own thread.
template<class Work, class Done> void runOnPool(QThreadPool* pool, QObject* receiver, Work work, Done done)
{
    QPointer<QObject> guard(receiver);
    (void)QtConcurrent::run(pool, [guard, work = std::move(work), done = std::move(done)]() mutable {
        auto result = work();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [guard, done = std::move(done), result = std::move(result)]() mutable {
                if (guard)
                    done(std::move(result));
            },
            Qt::QueuedConnection);
    });
}
