#include "helper/src/HelperServer.h"

#include "platform/ipc/LineChannel.h"
#include "platform/security/PeerCredentials.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace helper {

using platform::HelperReply;

HelperServer::HelperServer(HelperConfig config)
    : m_context(std::move(config))
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        m_wakeRead.reset(fds[0]);
        m_wakeWrite.reset(fds[1]);
    }
}

HelperServer::~HelperServer()
{
    stop();
    reapConnections(true);
    if (m_boundPath)
        ::unlink(m_context.config().socketPath.c_str());
}

platform::Result<void> HelperServer::listen()
{
    if (auto activated = platform::takeActivatedSocket()) {
        m_listener = std::move(*activated);
        return {};
    }
    auto bound = platform::listenUnixSocket(m_context.config().socketPath, 0666);
    if (!bound)
        return bound.error();
    m_listener = std::move(bound.value());
    m_boundPath = true;
    return {};
}

void HelperServer::stop()
{
    m_stopping = true;
    if (m_wakeWrite.valid()) {
        const char byte = 1;
        [[maybe_unused]] const auto n = ::write(m_wakeWrite.get(), &byte, 1);
    }
}

std::size_t HelperServer::connectionCount() const
{
    std::lock_guard lock(m_mutex);
    std::size_t live = 0;
    for (const auto& c : m_connections)
        live += c->done ? 0 : 1;
    return live;
}

void HelperServer::reapConnections(bool all)
{
    std::list<std::unique_ptr<Connection>> finished;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_connections.begin(); it != m_connections.end();) {
            if (all)
                ::shutdown((*it)->fd.get(), SHUT_RDWR);
            if (all || (*it)->done) {
                finished.push_back(std::move(*it));
                it = m_connections.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& c : finished)
        c->thread.join();
}

void HelperServer::run()
{
    while (!m_stopping) {
        pollfd fds[2] = {{m_listener.get(), POLLIN, 0}, {m_wakeRead.get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        reapConnections(false);
        if (m_stopping)
            break;
        if (!(fds[0].revents & POLLIN))
            continue;

        platform::UniqueFd fd(::accept4(m_listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!fd.valid())
            continue;
        if (connectionCount() >= m_context.config().maxConnections)
            continue;
        auto connection = std::make_unique<Connection>();
        connection->fd = std::move(fd);
        Connection& c = *connection;
        std::lock_guard lock(m_mutex);
        m_connections.push_back(std::move(connection));
        c.thread = std::thread([this, &c] { serve(c); });
    }
    reapConnections(true);
}

void HelperServer::serve(Connection& connection)
{
    const int fd = connection.fd.get();
    const HelperConfig& config = m_context.config();
    HelperImplementation implementation(m_context, platform::peerCredentials(fd));

    std::mutex writeMutex;
    const auto send = [&](const HelperReply& reply) {
        std::lock_guard lock(writeMutex);
        if (platform::writeLine(fd, platform::encodeHelperReply(reply), config.writeTimeout) != 0)
            ::shutdown(fd, SHUT_RDWR);
    };

    struct Worker
    {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::list<Worker> workers;
    const auto reapWorkers = [&workers](bool all) {
        for (auto it = workers.begin(); it != workers.end();) {
            if (all || *it->done) {
                it->thread.join();
                it = workers.erase(it);
            } else {
                ++it;
            }
        }
    };

    platform::LineChannel channel(fd);
    while (!m_stopping) {
        const auto result = channel.readLine(std::chrono::steady_clock::now() + config.idleTimeout);
        reapWorkers(false);
        if (result.status == platform::LineChannel::Status::TimedOut) {
            if (workers.empty())
                break;
            continue;
        }
        if (result.status == platform::LineChannel::Status::Oversized) {
            send(platform::failureReply(std::nullopt,
                platform::badRequestError(
                    "A request may hold at most " + std::to_string(platform::kMaxHelperMessageBytes) + " bytes")));
            continue;
        }
        if (result.status != platform::LineChannel::Status::Line)
            break;

        auto decoded = platform::decodeHelperRequest(result.line);
        if (auto* failure = std::get_if<platform::RequestDecodeFailure>(&decoded)) {
            send(platform::failureReply(failure->id, platform::badRequestError(failure->message)));
            continue;
        }
        const auto request = std::get<platform::HelperRequest>(decoded);
        if (!HelperImplementation::isSlow(request.op)) {
            send(implementation.handle(request));
            continue;
        }
        if (auto refused = implementation.refuseCaller(request)) {
            send(*refused);
            continue;
        }
        auto done = std::make_shared<std::atomic<bool>>(false);
        workers.push_back(Worker {std::thread([&implementation, &send, request, done] {
                                      send(implementation.perform(request));
                                      *done = true;
                                  }),
            done});
    }
    reapWorkers(true);
    ::shutdown(fd, SHUT_RDWR);
    connection.done = true;
}

} // namespace helper
