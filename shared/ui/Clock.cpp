#include "Clock.h"

#include <QTimer>

Clock& Clock::system()
{
    static SystemClock clock;
    return clock;
}

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

void SystemClock::singleShot(int ms, QObject* context, std::function<void()> work)
{
    QTimer::singleShot(ms, context, std::move(work));
}
