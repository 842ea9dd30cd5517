#include "helper/src/HelperConnection.h"

#include "platform/ipc/LineChannel.h"

#include <sys/socket.h>
#include <system_error>

namespace helper {

using platform::HelperReply;

HelperConnection::HelperConnection(HelperContext& context, platform::UniqueFd fd, platform::ConnectedCaller caller)
    : m_context(context)
    , m_fd(std::move(fd))
    , m_caller(std::move(caller))
    , m_implementation(context, m_caller)
    , m_lastActivity(Clock::now())
{
}

HelperConnection::~HelperConnection()
{
    if (m_thread.joinable())
        m_thread.join();
    joinWorker();
}

bool HelperConnection::start(const std::atomic<bool>& stopping, std::function<void()> ended)
{
    m_ended = std::move(ended);
    touch();
    try {
        m_thread = std::thread([this, &stopping] { serve(stopping); });
    } catch (const std::system_error&) {
        m_done = true;
        return false;
    }
    return true;
}

void HelperConnection::shutdown()
{
    ::shutdown(m_fd.get(), SHUT_RDWR);
}

bool HelperConnection::evict()
{
    std::lock_guard lock(m_flightMutex);
    if (m_inFlight > 0)
        return false;
    m_evicted = true;
    shutdown();
    return true;
}

bool HelperConnection::isIdle()
{
    std::lock_guard lock(m_flightMutex);
    return m_inFlight == 0;
}

bool HelperConnection::beginRequest()
{
    std::lock_guard lock(m_flightMutex);
    if (m_evicted)
        return false;
    ++m_inFlight;
    return true;
}

void HelperConnection::finishRequest()
{
    std::lock_guard lock(m_flightMutex);
    --m_inFlight;
}

HelperConnection::Clock::time_point HelperConnection::lastActivity()
{
    std::lock_guard lock(m_activityMutex);
    return m_lastActivity;
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
    if (m_working)
        return std::max(m_lastActivity, Clock::now()) + idle;
    return m_lastActivity + idle;
}

void HelperConnection::serve(const std::atomic<bool>& stopping)
{
    platform::LineChannel channel(m_fd.get());
    while (!stopping) {
        const auto result = channel.readLine(idleDeadline());
        if (result.status == platform::LineChannel::Status::TimedOut) {
            // Bytes of an unfinished line do not count: only a whole line keeps the connection.
            if (!m_working && Clock::now() >= idleDeadline())
                break;
            continue;
        }
        if (result.status == platform::LineChannel::Status::Oversized) {
            send(platform::failureReply(std::nullopt,
                platform::badRequestError(
                    "A request may hold at most " + std::to_string(platform::kMaxHelperMessageBytes) + " bytes")));
        } else if (result.status == platform::LineChannel::Status::Line) {
            // A line read after an eviction is not carried out: nobody would hear its reply.
            if (!beginRequest())
                break;
            touch();
            dispatch(result.line);
            finishRequest();
        } else {
            break;
        }
        if (!m_caller.trusted())
            break;
    }
    joinWorker();
    shutdown();
    m_done = true;
    if (m_ended)
        m_ended();
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
    startSlow(request);
}

void HelperConnection::startSlow(const platform::HelperRequest& request)
{
    // A trusted caller always has a uid: the kernel named it.
    const uid_t uid = m_caller.uid().value_or(uid_t(-1));
    if (m_working || !m_context.claimSlowPlace(uid)) {
        send(m_implementation.busy(request));
        return;
    }
    joinWorker(); // the previous one has finished
    m_working = true;
    // The worker's request stays in flight until its reply has gone out.
    beginRequest();
    const auto work = [this, request, uid] {
        const HelperReply reply = m_implementation.perform(request);
        m_context.releaseSlowPlace(uid);
        {
            // The place is free before the reply goes out, so a client may ask again at once; the
            // idle clock starts now, so the reader does not close the connection before the reply.
            std::lock_guard lock(m_activityMutex);
            m_lastActivity = Clock::now();
            m_working = false;
        }
        send(reply);
        finishRequest();
    };
    try {
        m_worker = std::thread(work);
    } catch (const std::system_error&) {
        // No thread to be had: the request is answered "busy", as when the user's places are taken.
        m_context.releaseSlowPlace(uid);
        m_working = false;
        send(m_implementation.busy(request));
        finishRequest();
    }
}

void HelperConnection::send(const HelperReply& reply)
{
    std::lock_guard lock(m_writeMutex);
    if (platform::writeLine(m_fd.get(), platform::encodeHelperReply(reply), m_context.config().writeTimeout) != 0)
        shutdown();
    touch();
}

void HelperConnection::joinWorker()
{
    if (m_worker.joinable())
        m_worker.join();
}

} // namespace helper
