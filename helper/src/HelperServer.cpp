#include "helper/src/HelperServer.h"

#include "platform/io/ResourceShortage.h"
#include "platform/security/ConnectedCaller.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace helper {

HelperServer::HelperServer(HelperConfig config)
    : m_context(std::move(config))
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        m_wakeRead.reset(fds[0]);
        m_wakeWrite.reset(fds[1]);
    }
    // A list that could not be written is retried from the serving loop, which may be waiting.
    m_context.suspended().retryWhenBehind([this] { wake(); });
}

HelperServer::~HelperServer()
{
    // The wake pipe goes before the context, whose threads may still fail a write of the list.
    m_context.suspended().retryWhenBehind({});
    stop();
    reapConnections(true);
    if (m_boundPath)
        ::unlink(m_context.config().socketPath.c_str());
}

platform::Result<void> HelperServer::listen()
{
    if (auto activated = platform::takeActivatedSocket()) {
        m_listener = std::move(*activated);
    } else {
        auto bound = platform::listenUnixSocket(m_context.config().socketPath, 0666);
        if (!bound)
            return bound.error();
        m_listener = std::move(bound.value());
        m_boundPath = true;
    }
    // The accepting loop drains the queue until it is empty, so accepting must not wait.
    ::fcntl(m_listener.get(), F_SETFL, ::fcntl(m_listener.get(), F_GETFL) | O_NONBLOCK);
    return {};
}

void HelperServer::stop()
{
    m_stopping = true;
    wake();
}

void HelperServer::wake()
{
    // A full pipe already holds a wake.
    if (m_wakeWrite.valid()) {
        const char byte = 1;
        [[maybe_unused]] const auto n = ::write(m_wakeWrite.get(), &byte, 1);
    }
}

std::string HelperServer::listeningPath() const
{
    sockaddr_un address {};
    socklen_t size = sizeof address;
    if (::getsockname(m_listener.get(), reinterpret_cast<sockaddr*>(&address), &size) != 0
        || address.sun_family != AF_UNIX || size <= offsetof(sockaddr_un, sun_path))
        return m_context.config().socketPath;
    return std::string(address.sun_path, ::strnlen(address.sun_path, size - offsetof(sockaddr_un, sun_path)));
}

std::size_t HelperServer::connectionCount() const
{
    std::lock_guard lock(m_mutex);
    std::size_t live = 0;
    for (const auto& c : m_connections)
        live += c->holdsSlot() ? 1 : 0;
    return live;
}

void HelperServer::reapConnections(bool all)
{
    std::list<std::unique_ptr<HelperConnection>> finished;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_connections.begin(); it != m_connections.end();) {
            if (all)
                (*it)->shutdown();
            if (all || (*it)->isDone()) {
                finished.push_back(std::move(*it));
                it = m_connections.erase(it);
            } else {
                ++it;
            }
        }
    }
    // Each connection's destructor waits for its thread, outside the lock.
    finished.clear();
}

void HelperServer::run()
{
    using Clock = std::chrono::steady_clock;
    while (!m_stopping) {
        // While descriptors are short, the queue is left alone for a while: polling it would wake at
        // once, and accepting fail again, without end.
        const auto pausedFor = std::chrono::ceil<std::chrono::milliseconds>(m_acceptPausedUntil - Clock::now());
        const bool paused = pausedFor.count() > 0;
        // While the list of stopped processes on disk lags behind (a full folder, say), it is written
        // again at each round, so that it is whole soon after room returns.
        int timeout = m_context.suspended().isBehind() ? int(kListRetry.count()) : -1;
        if (paused)
            timeout = timeout < 0 ? int(pausedFor.count()) : std::min(timeout, int(pausedFor.count()));
        pollfd fds[2] = {{m_wakeRead.get(), POLLIN, 0}, {paused ? -1 : m_listener.get(), POLLIN, 0}};
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR)
            break;
        m_context.suspended().rewriteIfBehind();
        // Emptied before the reaping, so a connection that ends meanwhile wakes the next poll.
        if (fds[0].revents & POLLIN) {
            char bytes[64];
            while (::read(m_wakeRead.get(), bytes, sizeof bytes) > 0) { }
        }
        // A connection that ended frees its socket and its caller's pidfd now, not at the next accept.
        reapConnections(false);
        if (m_stopping)
            break;
        if (fds[1].revents & POLLIN)
            acceptConnections();
    }
    reapConnections(true);
    m_context.suspended().retryWhenBehind({});
}

bool HelperServer::admits(std::optional<uid_t> uid)
{
    const HelperConfig& config = m_context.config();
    std::size_t live = 0;
    std::size_t sameCaller = 0;
    for (const auto& c : m_connections) {
        if (!c->holdsSlot())
            continue;
        ++live;
        sameCaller += c->callerUid() == uid ? 1 : 0;
    }
    if (sameCaller >= config.maxConnectionsPerUser)
        return false;
    if (live < config.maxConnections)
        return true;
    if (!uid || sameCaller > 0)
        return false;
    // Full, and the caller (root or anyone) holds none: the longest-idle connection of the user
    // holding most makes room. One with a request in flight is left alone, as its reply is coming.
    std::map<std::optional<uid_t>, std::size_t> held;
    for (const auto& c : m_connections)
        held[c->callerUid()] += c->holdsSlot() ? 1 : 0;
    HelperConnection* evicted = nullptr;
    std::size_t mostHeld = 0;
    std::chrono::steady_clock::time_point oldest;
    for (const auto& c : m_connections) {
        if (!c->holdsSlot() || !c->isIdle())
            continue;
        const std::size_t count = held[c->callerUid()];
        const auto last = c->lastActivity();
        if (!evicted || count > mostHeld || (count == mostHeld && last < oldest)) {
            evicted = c.get();
            mostHeld = count;
            oldest = last;
        }
    }
    // It may have taken a request since it was looked at; then the newcomer waits for a free slot.
    return evicted && evicted->evict();
}

void HelperServer::acceptConnections()
{
    // A batch, then the finished connections are reaped and the stop flag looked at again.
    constexpr int kBatch = 256;
    for (int i = 0; i < kBatch && !m_stopping; ++i) {
        platform::UniqueFd fd(::accept4(m_listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!fd.valid()) {
            if (platform::isShortOfResources(errno) || errno == ENOBUFS)
                m_acceptPausedUntil = std::chrono::steady_clock::now() + kAcceptPause;
            return;
        }
        acceptConnection(std::move(fd));
    }
}

void HelperServer::acceptConnection(platform::UniqueFd fd)
{
    // A caller that has hung up already has nothing to ask, and one beyond the bounds is refused: both
    // are closed before any work, so that a loop of connections costs this thread little and the
    // queue behind it stays short. Callers the kernel cannot name share one share of the slots. Only
    // this thread adds connections, so a connection admitted stays within the bounds.
    char byte = 0;
    if (::recv(fd.get(), &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0)
        return;
    // A caller that comes may be about to stop something: the list it would join is made whole first
    // where it can be.
    m_context.suspended().rewriteIfBehind();
    const auto credentials = platform::peerCredentials(fd.get());
    {
        std::lock_guard lock(m_mutex);
        if (!admits(credentials ? std::optional<uid_t>(credentials->uid) : std::nullopt))
            return;
    }
    // The caller is judged now, once for the connection's life.
    auto caller = m_context.config().judgeCaller(fd.get(), m_context.callers());
    std::lock_guard lock(m_mutex);
    auto connection = std::make_unique<HelperConnection>(m_context, std::move(fd), std::move(caller));
    // No thread to serve it (the user's or the machine's limit): it is closed unserved, and the
    // helper goes on.
    if (!connection->start(m_stopping, [this] { wake(); }))
        return;
    m_connections.push_back(std::move(connection));
}

} // namespace helper
