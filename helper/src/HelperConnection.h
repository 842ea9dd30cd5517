#pragma once

#include "helper/src/HelperImplementation.h"
#include "platform/io/UniqueFd.h"
#include "platform/security/ConnectedCaller.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace helper {

// One client's connection, served on its own thread with its own HelperImplementation, for the
// caller judged when it was accepted. A trusted caller's slow request runs on the connection's one
// worker, so a slow power sample never holds up a signal request behind it; a second slow request
// while one runs, or beyond the user's share, is answered "busy". Replies go out whole, one line
// each, in the order they are ready. An untrusted caller gets one answer (its version, else a
// refusal) and the connection is closed.
class HelperConnection
{
public:
    HelperConnection(HelperContext& context, platform::UniqueFd fd, platform::ConnectedCaller caller);
    // Waits for the threads; call shutdown() first to end them early.
    ~HelperConnection();
    HelperConnection(const HelperConnection&) = delete;
    HelperConnection& operator=(const HelperConnection&) = delete;

    // Serves the connection on a thread of its own until the client leaves, it idles out or
    // `stopping` turns true (followed by shutdown()); `ended` is called on that thread once isDone()
    // holds, so that the connection can be let go at once. False when no thread could be made.
    bool start(const std::atomic<bool>& stopping, std::function<void()> ended);
    // Ends a read or write in progress, so the thread winds down.
    void shutdown();
    // Closes the connection to make room for another caller, unless a request is in flight on it:
    // its reply would be lost after it was carried out. False when it was left alone.
    bool evict();

    bool isDone() const { return m_done; }
    // Whether it counts towards the connection bounds: neither ended nor evicted.
    bool holdsSlot() const { return !m_done && !m_evicted; }
    // Whether no request is in flight (being carried out, or its reply on its way), and since when
    // nothing arrived or left.
    bool isIdle();
    std::chrono::steady_clock::time_point lastActivity();
    // The caller's uid, or nothing when the kernel did not tell.
    std::optional<uid_t> callerUid() const { return m_caller.uid(); }

private:
    using Clock = std::chrono::steady_clock;

    void serve(const std::atomic<bool>& stopping);
    // Counts a request in flight until finishRequest(); false once the connection was evicted.
    bool beginRequest();
    void finishRequest();
    void dispatch(const std::string& line);
    // Hands a slow request that passed the caller checks to the worker, or answers "busy".
    void startSlow(const platform::HelperRequest& request);
    void send(const platform::HelperReply& reply);
    void joinWorker();
    // When the connection is closed unless a whole line arrives first.
    Clock::time_point idleDeadline();
    void touch();

    HelperContext& m_context;
    platform::UniqueFd m_fd;
    const platform::ConnectedCaller m_caller;
    HelperImplementation m_implementation;
    std::mutex m_writeMutex;
    std::mutex m_activityMutex;
    Clock::time_point m_lastActivity;
    std::thread m_worker; // the serving thread's alone
    std::atomic<bool> m_working {false};
    std::atomic<bool> m_done {false};
    std::mutex m_flightMutex;
    int m_inFlight = 0; // requests between beginRequest() and finishRequest()
    std::atomic<bool> m_evicted {false};
    std::function<void()> m_ended;
    std::thread m_thread;
};

} // namespace helper
