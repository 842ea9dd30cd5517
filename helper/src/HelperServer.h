#pragma once

#include "helper/src/HelperConfig.h"
#include "helper/src/HelperImplementation.h"
#include "platform/ipc/DomainError.h"
#include "platform/ipc/UnixSocket.h"

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace helper {

// The daemon's listener: one thread per connection, each with its own HelperImplementation.
// Requests that start a tool run on workers of their connection, so a slow power sample never
// holds up a signal request behind it; replies go out whole, one line each, in the order they are
// ready.
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
    std::size_t connectionCount() const;

private:
    struct Connection
    {
        platform::UniqueFd fd;
        std::thread thread;
        std::atomic<bool> done {false};
    };

    void serve(Connection& connection);
    void reapConnections(bool all);

    HelperContext m_context;
    platform::UniqueFd m_listener;
    bool m_boundPath = false;
    platform::UniqueFd m_wakeRead;
    platform::UniqueFd m_wakeWrite;
    std::atomic<bool> m_stopping {false};
    mutable std::mutex m_mutex;
    std::list<std::unique_ptr<Connection>> m_connections;
};

} // namespace helper
