#pragma once

#include <QCoreApplication>
#include <QThreadPool>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <thread>

#include <pthread.h>
#include <time.h>

// Holds a worker thread at one of its allocations, so that a test can act while the worker stands at a
// chosen point of its path: an object the worker will report to, released one allocation further on at
// each round, finds any point where the worker touches memory already freed, however narrow. It needs
// AddressSanitizer's allocation hook, so it holds in the sanitizer build only (available() says so), and
// AddressSanitizer reports the touch.
namespace allocationpause {

#if defined(__SANITIZE_ADDRESS__)
extern "C" int __sanitizer_install_malloc_and_free_hooks(
    void (*mallocHook)(const volatile void*, std::size_t), void (*freeHook)(const volatile void*));
#endif

struct State
{
    std::atomic<bool> armed {false};
    std::atomic<bool> gated {false};
    std::atomic<bool> held {false};
    std::atomic<int> allowed {0};
    std::atomic<pthread_t> arming {};
    std::atomic<pthread_t> worker {};
    std::atomic<bool> claimed {false};
    std::atomic<long> holdMicros {0};
};

inline State& state()
{
    static State s;
    return s;
}

inline void pause()
{
    const timespec step {0, 20000};
    ::nanosleep(&step, nullptr);
}

inline long nowMicros()
{
    timespec t {};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000000L + t.tv_nsec / 1000;
}

// Runs inside the allocator: it allocates nothing and takes no lock.
inline void onAllocation(const volatile void*, std::size_t)
{
    State& s = state();
    if (!s.armed.load(std::memory_order_acquire))
        return;
    const pthread_t self = ::pthread_self();
    if (::pthread_equal(self, s.arming.load()))
        return;
    bool expected = false;
    if (s.claimed.compare_exchange_strong(expected, true))
        s.worker.store(self);
    else if (!::pthread_equal(self, s.worker.load()))
        return;
    for (const long until = nowMicros() + 1000000; s.gated.load() && nowMicros() < until;)
        pause();
    if (s.allowed.fetch_sub(1) > 0)
        return;
    s.held.store(true);
    for (const long until = nowMicros() + s.holdMicros.load(); s.armed.load() && nowMicros() < until;)
        pause();
    s.armed.store(false);
}

inline void onRelease(const volatile void*)
{
}

inline bool available()
{
#if defined(__SANITIZE_ADDRESS__)
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(onAllocation, onRelease) != 0;
    return installed;
#else
    return false;
#endif
}

// From now, the first thread other than the caller's to allocate is the worker: it makes `allowed`
// allocations and is held at the next one, until release() or for `hold` at most. A gated worker waits
// at its first allocation until proceed(), so that the caller may finish what it does after starting it.
inline void arm(int allowed, std::chrono::microseconds hold, bool gated = false)
{
    State& s = state();
    s.gated.store(gated);
    s.held.store(false);
    s.claimed.store(false);
    s.allowed.store(allowed);
    s.holdMicros.store(hold.count());
    s.arming.store(::pthread_self());
    s.armed.store(true, std::memory_order_release);
}

inline void proceed()
{
    state().gated.store(false);
}

// True once the worker is held; false when it went its way without reaching the allocation.
inline bool waitUntilHeld(std::chrono::milliseconds wait)
{
    const auto until = std::chrono::steady_clock::now() + wait;
    while (!state().held.load()) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    return true;
}

inline void release()
{
    state().gated.store(false);
    state().armed.store(false, std::memory_order_release);
}

// Lets the work of the round end and delivers what it posted. The pool keeps its threads (waitForDone()
// would end them), so that no thread starting or ending allocates during the next round.
inline void settle()
{
    while (QThreadPool::globalInstance()->activeThreadCount() > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    QCoreApplication::processEvents();
}

// One round: starts the work with `start`, lets the worker make `allowed` allocations, releases the
// object with `release` while the worker is held at the next one, and lets the worker finish. False
// once the worker went its way without being held (or where nothing holds it): the sweep is over.
template<class Start, class Release> bool releasedWhileHeld(int allowed, Start start, Release releaseObject)
{
    using namespace std::chrono_literals;
    arm(allowed, 20ms, true);
    start();
    proceed();
    const bool held = available() && waitUntilHeld(1s);
    releaseObject();
    release();
    settle();
    return held;
}

} // namespace allocationpause
