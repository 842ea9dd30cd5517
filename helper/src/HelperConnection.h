#pragma once

#include "helper/src/HelperImplementation.h"
#include "platform/io/UniqueFd.h"
#include "platform/security/PeerCredentials.h"

#include <atomic>
#include <chrono>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace helper {

// One client's connection, served on its own thread with its own HelperImplementation. Requests that
// start a tool run on workers of the connection, so a slow power sample never holds up a signal
// request behind it; replies go out whole, one line each, in the order they are ready.
class HelperConnection
{
public:
    HelperConnection(HelperContext& context, platform::UniqueFd fd, std::optional<platform::PeerCredentials> caller);
    // Waits for the thread; call shutdown() first to end it early.
    ~HelperConnection();
    HelperConnection(const HelperConnection&) = delete;
    HelperConnection& operator=(const HelperConnection&) = delete;

    // Serves the connection on a thread of its own until the client leaves, it idles out or
    // `stopping` turns true (followed by shutdown()).
    void start(const std::atomic<bool>& stopping);
    // Ends a read or write in progress, so the thread winds down.
    void shutdown();

    bool isDone() const { return m_done; }
    // The caller's uid, or nothing when the kernel did not tell.
    std::optional<uid_t> callerUid() const;

private:
    using Clock = std::chrono::steady_clock;
    struct Worker
    {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    void serve(const std::atomic<bool>& stopping);
    void dispatch(const std::string& line);
    void send(const platform::HelperReply& reply);
    void reapWorkers(bool all);
    // When the connection is closed unless a whole line arrives first.
    Clock::time_point idleDeadline();
    void touch();

    HelperContext& m_context;
    platform::UniqueFd m_fd;
    std::optional<platform::PeerCredentials> m_caller;
    HelperImplementation m_implementation;
    std::mutex m_writeMutex;
    std::mutex m_activityMutex;
    Clock::time_point m_lastActivity;
    std::list<Worker> m_workers; // the serving thread's alone
    std::atomic<bool> m_done {false};
    std::thread m_thread;
};

} // namespace helper
