#pragma once

#include <QObject>

#include <csignal>
#include <initializer_list>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into a Qt signal on the GUI thread. The handler only writes the signal's
// number to a pipe (the one thing safe in a handler); a socket notifier reads it in the event loop.
// One watcher per process.
//
// The signals can be held back from the first line of main(): block() them before any thread starts
// (every thread inherits the mask), then deliverBlocked() once the event loop runs, and one that came
// in between reaches the watcher instead of ending the program with the default action.
class UnixSignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit UnixSignalWatcher(std::initializer_list<int> signalNumbers, QObject* parent = nullptr);
    ~UnixSignalWatcher() override;

    bool isWatching() const { return m_notifier != nullptr; }

    // Blocks the signals in the calling thread and in every thread it starts from now on.
    static void block(std::initializer_list<int> signalNumbers);
    // Unblocks the watched signals in the calling thread; pending ones are handled at once.
    void deliverBlocked();

signals:
    void received(int signalNumber);

private:
    void drain();

    QSocketNotifier* m_notifier = nullptr;
    sigset_t m_signals;
};
