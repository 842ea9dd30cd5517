#pragma once

#include "helper/src/SuspendedProcess.h"
#include "platform/io/UniqueFd.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <poll.h>
#include <thread>
#include <vector>

namespace helper {

// Watches the programs that hold processes stopped, each through a pidfd of its process, on a
// thread of its own, and reports each one once when it has ended: it is the process that has gone,
// not merely its connection, as a program reconnects whenever it likes. A report whose work could
// not be finished (the helper short of descriptors, say) is asked again with retryLater().
class CallerWatch
{
public:
    // Called on the watch's thread, outside its lock.
    using Handler = std::function<void(const SuspendingCaller&)>;
    using Clock = std::chrono::steady_clock;

    // Each uid may have at most `perUserLimit` callers watched at once, so that the descriptors the
    // watch holds stay bounded by the number of users rather than by what one of them does.
    explicit CallerWatch(Handler onEnded, std::size_t perUserLimit = 16);
    ~CallerWatch();
    CallerWatch(const CallerWatch&) = delete;
    CallerWatch& operator=(const CallerWatch&) = delete;

    // Watches `caller` through `pidfd`, a descriptor of its process; one already watched keeps the
    // descriptor it has. A caller that has ended already is reported at once. False, and nothing
    // watched, when `pidfd` is not valid or the caller's uid has its limit of callers watched.
    bool watch(const SuspendingCaller& caller, platform::UniqueFd pidfd);
    // Whether `caller` is watched now.
    bool watches(const SuspendingCaller& caller);
    // Stops watching `caller` unless `stillNeeded` answers true. It is asked under the watch's lock,
    // so a watch() of a stop recorded meanwhile is never undone.
    void forgetUnless(const SuspendingCaller& caller, const std::function<bool()>& stillNeeded);
    // Reports the ended `caller` again after a while, longer at each try up to a minute.
    void retryLater(const SuspendingCaller& caller);

private:
    struct Retry
    {
        Clock::time_point due;
        std::chrono::milliseconds delay;
    };

    void run();
    void wake();
    // Blocks until a watched process may have ended, a retry falls due or wake() is called; `fds`
    // holds the wake pipe, then one pidfd per watched caller. Never fails: when poll() cannot be
    // used (a kernel limit, memory), each pidfd is asked on its own a few times a second.
    void waitForEvents(std::vector<pollfd>& fds, int timeoutMs);
    // When the first retry falls due, as a poll() time-out.
    int msUntilRetry();
    // Reports the retries that are due.
    void runDueRetries();

    Handler m_onEnded;
    const std::size_t m_perUserLimit;
    std::mutex m_mutex;
    // Shared with a poll in progress, so a descriptor forgotten meanwhile stays open until it returns.
    std::map<SuspendingCaller, std::shared_ptr<platform::UniqueFd>> m_watched;
    std::map<SuspendingCaller, Retry> m_retries;
    platform::UniqueFd m_wakeRead;
    platform::UniqueFd m_wakeWrite;
    std::atomic<bool> m_stopping {false};
    std::thread m_thread;
};

} // namespace helper
