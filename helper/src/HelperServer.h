#pragma once

#include "helper/src/HelperConfig.h"
#include "helper/src/HelperConnection.h"
#include "helper/src/HelperContext.h"
#include "platform/ipc/DomainError.h"
#include "platform/ipc/UnixSocket.h"

#include <atomic>
#include <chrono>
#include <list>
#include <memory>
#include <mutex>
#include <string>

namespace helper {

// The daemon's listener: accepts connections up to the total bound and each caller's share of it,
// and serves each on a thread of its own (HelperConnection). When the table is full, root and a user
// holding no connection still get in, in place of the longest-idle connection of the user holding
// most, so that no group of users can keep root or another user out.
class HelperServer
{
public:
    explicit HelperServer(HelperConfig config);
    ~HelperServer();
    HelperServer(const HelperServer&) = delete;
    HelperServer& operator=(const HelperServer&) = delete;

    // Takes the socket that systemd handed over, or binds the configured path.
    platform::Result<void> listen();
    // Serves until stop(); returns after every connection has ended.
    void run();
    // Safe from any thread.
    void stop();

    HelperContext& context() { return m_context; }
    // The path of the socket served, as the kernel names it (systemd's, when it handed one over).
    std::string listeningPath() const;
    std::size_t connectionCount() const;

private:
    // Accepts what the listen queue holds, a batch at a time.
    void acceptConnections();
    void acceptConnection(platform::UniqueFd fd);
    // Whether a new connection of a caller with `uid` fits, making room for it when it is its user's
    // first; under m_mutex.
    bool admits(std::optional<uid_t> uid);
    void reapConnections(bool all);
    // Wakes the serving thread: to stop, or to free the connections that have ended.
    void wake();

    // How long accepting rests after it failed for want of descriptors or memory.
    static constexpr std::chrono::milliseconds kAcceptPause {100};
    // How often the list of stopped processes is written again while the file lags behind it.
    static constexpr std::chrono::milliseconds kListRetry {250};

    HelperContext m_context;
    platform::UniqueFd m_listener;
    bool m_boundPath = false;
    platform::UniqueFd m_wakeRead;
    platform::UniqueFd m_wakeWrite;
    std::atomic<bool> m_stopping {false};
    mutable std::mutex m_mutex;
    std::list<std::unique_ptr<HelperConnection>> m_connections;
    std::chrono::steady_clock::time_point m_acceptPausedUntil; // the serving thread's alone
};

} // namespace helper
