#include "platform/ipc/LineChannel.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

// Milliseconds for poll() until `deadline`; -1 waits without end.
int pollTimeout(std::optional<std::chrono::steady_clock::time_point> deadline)
{
    if (!deadline)
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
    return left.count() < 0 ? 0 : int(std::min<long long>(left.count(), 1 << 30));
}

} // namespace

LineChannel::LineChannel(int fd, std::size_t maxLineBytes)
    : m_fd(fd)
    , m_max(maxLineBytes)
{
}

std::optional<LineChannel::ReadResult> LineChannel::takeBufferedLine()
{
    while (m_start < m_buffer.size() || m_discarding) {
        const auto newline = m_buffer.find('\n', m_start);
        if (m_discarding) {
            if (newline == std::string::npos) {
                m_buffer.clear();
                m_start = 0;
                return std::nullopt;
            }
            m_start = newline + 1;
            m_discarding = false;
            continue;
        }
        if (newline == std::string::npos) {
            if (m_buffer.size() - m_start > m_max) {
                m_buffer.clear();
                m_start = 0;
                m_discarding = true;
                return ReadResult {Status::Oversized, {}, 0};
            }
            return std::nullopt;
        }
        const std::size_t length = newline - m_start;
        ReadResult result {length > m_max ? Status::Oversized : Status::Line, {}, 0};
        if (result.status == Status::Line)
            result.line.assign(m_buffer, m_start, length);
        m_start = newline + 1;
        return result;
    }
    return std::nullopt;
}

LineChannel::ReadResult LineChannel::readLine(std::optional<std::chrono::steady_clock::time_point> deadline)
{
    for (;;) {
        if (auto buffered = takeBufferedLine())
            return *buffered;
        if (m_start > 0) {
            m_buffer.erase(0, m_start);
            m_start = 0;
        }

        pollfd p {m_fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, pollTimeout(deadline));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return ReadResult {Status::Failed, {}, errno};
        }
        if (ready == 0)
            return ReadResult {Status::TimedOut, {}, 0};

        char chunk[16384];
        const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
        if (n == 0)
            return ReadResult {Status::Closed, {}, 0};
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
                continue;
            if (errno == ECONNRESET)
                return ReadResult {Status::Closed, {}, 0};
            return ReadResult {Status::Failed, {}, errno};
        }
        m_buffer.append(chunk, std::size_t(n));
    }
}

int writeLine(int fd, std::string_view line, std::chrono::milliseconds timeout)
{
    std::string framed;
    framed.reserve(line.size() + 1);
    framed.append(line).push_back('\n');

    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::size_t sent = 0;
    while (sent < framed.size()) {
        const ssize_t n = ::send(fd, framed.data() + sent, framed.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += std::size_t(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return errno;
        pollfd p {fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, pollTimeout(deadline));
        if (ready == 0)
            return ETIMEDOUT;
        if (ready < 0 && errno != EINTR)
            return errno;
    }
    return 0;
}

} // namespace platform
