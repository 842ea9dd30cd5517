#include "helper/src/HelperConnection.h"

#include "platform/ipc/LineChannel.h"

#include <sys/socket.h>

namespace helper {

using platform::HelperReply;

HelperConnection::HelperConnection(
    HelperContext& context, platform::UniqueFd fd, std::optional<platform::PeerCredentials> caller)
    : m_context(context)
    , m_fd(std::move(fd))
    , m_caller(caller)
    , m_implementation(context, caller)
    , m_lastActivity(Clock::now())
{
}

HelperConnection::~HelperConnection()
{
    if (m_thread.joinable())
        m_thread.join();
}

void HelperConnection::start(const std::atomic<bool>& stopping)
{
    touch();
    m_thread = std::thread([this, &stopping] { serve(stopping); });
}

void HelperConnection::shutdown()
{
    ::shutdown(m_fd.get(), SHUT_RDWR);
}

std::optional<uid_t> HelperConnection::callerUid() const
{
    if (!m_caller)
        return std::nullopt;
    return m_caller->uid;
}

void HelperConnection::touch()
{
    std::lock_guard lock(m_activityMutex);
    m_lastActivity = Clock::now();
}

HelperConnection::Clock::time_point HelperConnection::idleDeadline()
{
    const auto idle = m_context.config().idleTimeout;
    std::lock_guard lock(m_activityMutex);
    // While a request is carried out the connection stays; its reply starts the clock again.
    if (!m_workers.empty())
        return std::max(m_lastActivity, Clock::now()) + idle;
    return m_lastActivity + idle;
}

void HelperConnection::serve(const std::atomic<bool>& stopping)
{
    platform::LineChannel channel(m_fd.get());
    while (!stopping) {
        const auto result = channel.readLine(idleDeadline());
        reapWorkers(false);
        if (result.status == platform::LineChannel::Status::TimedOut) {
            // Bytes of an unfinished line do not count: only a whole line keeps the connection.
            if (m_workers.empty() && Clock::now() >= idleDeadline())
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
        touch();
        dispatch(result.line);
    }
    reapWorkers(true);
    shutdown();
    m_done = true;
}

void HelperConnection::dispatch(const std::string& line)
{
    auto decoded = platform::decodeHelperRequest(line);
    if (auto* failure = std::get_if<platform::RequestDecodeFailure>(&decoded)) {
        send(platform::failureReply(failure->id, platform::badRequestError(failure->message)));
        return;
    }
    const auto request = std::get<platform::HelperRequest>(decoded);
    if (!HelperImplementation::isSlow(request.op)) {
        send(m_implementation.handle(request));
        return;
    }
    if (auto refused = m_implementation.refuseCaller(request)) {
        send(*refused);
        return;
    }
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread worker([this, request, done] {
        send(m_implementation.perform(request));
        *done = true;
    });
    m_workers.push_back(Worker {std::move(worker), done});
}

void HelperConnection::send(const HelperReply& reply)
{
    std::lock_guard lock(m_writeMutex);
    if (platform::writeLine(m_fd.get(), platform::encodeHelperReply(reply), m_context.config().writeTimeout) != 0)
        shutdown();
    touch();
}

void HelperConnection::reapWorkers(bool all)
{
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        if (all || *it->done) {
            it->thread.join();
            it = m_workers.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace helper
