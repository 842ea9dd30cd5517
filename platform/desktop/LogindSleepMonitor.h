#pragma once

#include <QObject>

namespace platform {

// Hears systemd-logind's PrepareForSleep on the system bus and holds a "sleep" delay inhibitor, so
// that the program gets to finish its work (resume what it stopped) before the machine sleeps.
// logind waits for the inhibitor to be given back (at most its InhibitDelayMaxSec) before sleeping.
// Without a system bus or logind it stays silent and emits nothing.
class LogindSleepMonitor : public QObject
{
    Q_OBJECT
public:
    explicit LogindSleepMonitor(QObject* parent = nullptr);
    ~LogindSleepMonitor() override;

    bool isAvailable() const { return m_available; }
    bool holdsDelay() const { return m_fd >= 0; }
    // Lets the machine go to sleep: gives back the delay inhibitor taken for this sleep.
    void releaseDelay();

signals:
    void aboutToSleep();
    void resumed();

private slots:
    void onPrepareForSleep(bool start);

private:
    // Asks for a new delay inhibitor without waiting on the GUI thread for logind's answer.
    void takeDelay();

    bool m_available = false;
    int m_fd = -1;
};

} // namespace platform
