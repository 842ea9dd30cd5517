#pragma once

#include <QDateTime>
#include <QObject>

#include <functional>

// Time for the views: the current moment and delayed work on the GUI thread. Views take a Clock so
// tests move time by hand (FakeClock) instead of waiting.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // Runs `work` once after `ms` milliseconds on `context`'s thread, unless `context` is gone by then.
    virtual void singleShot(int ms, QObject* context, std::function<void()> work) = 0;

    // The clock of the running program.
    static Clock& system();
};

class SystemClock : public Clock
{
public:
    QDateTime now() const override;
    void singleShot(int ms, QObject* context, std::function<void()> work) override;
};
