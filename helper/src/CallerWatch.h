#pragma once

#include "helper/src/SuspendedProcesses.h"
#include "platform/io/UniqueFd.h"

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace helper {

// Watches the programs that hold processes stopped, each through a pidfd of its process, on a
// thread of its own, and reports each one once when it has ended: it is the process that has gone,
// not merely its connection, as a program reconnects whenever it likes.
class CallerWatch
{
public:
    // Called on the watch's thread, outside its lock.
    using Handler = std::function<void(const SuspendingCaller&)>;

    explicit CallerWatch(Handler onEnded);
    ~CallerWatch();
    CallerWatch(const CallerWatch&) = delete;
    CallerWatch& operator=(const CallerWatch&) = delete;

    // Watches `caller` through `pidfd`, a descriptor of its process; one already watched keeps the
    // descriptor it has. A caller that has ended already is reported at once.
    void watch(const SuspendingCaller& caller, platform::UniqueFd pidfd);
    // Stops watching `caller` unless `stillNeeded` answers true. It is asked under the watch's lock,
    // so a watch() of a stop recorded meanwhile is never undone.
    void forgetUnless(const SuspendingCaller& caller, const std::function<bool()>& stillNeeded);

private:
    void run();
    void wake();

    Handler m_onEnded;
    std::mutex m_mutex;
    // Shared with a poll in progress, so a descriptor forgotten meanwhile stays open until it returns.
    std::map<SuspendingCaller, std::shared_ptr<platform::UniqueFd>> m_watched;
    platform::UniqueFd m_wakeRead;
    platform::UniqueFd m_wakeWrite;
    std::atomic<bool> m_stopping {false};
    std::thread m_thread;
};

} // namespace helper
