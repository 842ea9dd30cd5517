#include "XPCConnection.h"

#include "HelperAccess.h"

#include "platform/io/Utf8.h"
#include "platform/ipc/HelperVersionQuery.h"
#include "platform/ipc/LineChannel.h"
#include "platform/ipc/UnixSocket.h"
#include "records/AuditLogger.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

XPCConnection::Error xpcError(int code, std::string message)
{
    return XPCConnection::Error {XPCConnection::kErrorDomain, code, std::move(message)};
}

// The figure after `label`: the text up to the first "m" (milliwatts) or, when the rest holds no
// "m" at all, up to the first "W" (watts), as a plain decimal number.
double wattsAfterLabel(std::string_view text, std::string_view label)
{
    const auto at = text.find(label);
    if (at == std::string_view::npos)
        return 0;
    const std::string_view rest = text.substr(at + label.size());
    double divisor = 1000;
    auto unit = rest.find('m');
    if (unit == std::string_view::npos) {
        unit = rest.find('W');
        divisor = 1;
    }
    if (unit == std::string_view::npos)
        return 0;

    std::string_view number = rest.substr(0, unit);
    constexpr std::string_view kSpace = " \t\n\r\v\f";
    const auto first = number.find_first_not_of(kSpace);
    if (first == std::string_view::npos)
        return 0;
    number = number.substr(first, number.find_last_not_of(kSpace) - first + 1);
    if (number.size() > 1 && number[0] == '+' && number[1] != '-')
        number.remove_prefix(1);

    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(value))
        return 0;
    return value / divisor;
}

// The helper's error as the user reads it: a busy helper is a reason to ask again, not a failure.
XPCConnection::Error fromHelper(XPCConnection::Error error)
{
    if (error.domain == platform::kHelperErrorDomain && error.code == platform::kHelperBusy)
        error.message = "The Quorvane Pro helper is busy with another request; try again in a moment.";
    return error;
}

template<class T> std::optional<XPCConnection::Error> failureOf(const XPCConnection::Result<T>& result)
{
    if (result)
        return std::nullopt;
    return result.error();
}

// The name of the process a signal goes to, read before the signal is sent so that a process that
// exits on it is still named: the executable's file name, else the kernel's short name.
std::optional<std::string> processName(std::int32_t pid)
{
    const std::string base = "/proc/" + std::to_string(pid);
    char target[4096];
    const ssize_t length = ::readlink((base + "/exe").c_str(), target, sizeof target - 1);
    if (length > 0) {
        std::string path(target, std::size_t(length));
        if (const auto deleted = path.rfind(" (deleted)"); deleted != std::string::npos && deleted + 10 == path.size())
            path.erase(deleted);
        return path.substr(path.find_last_of('/') + 1);
    }
    if (FILE* comm = std::fopen((base + "/comm").c_str(), "re")) {
        char name[64] = {};
        const bool read = std::fgets(name, sizeof name, comm) != nullptr;
        std::fclose(comm);
        std::string text(name);
        while (!text.empty() && text.back() == '\n')
            text.pop_back();
        if (read && !text.empty())
            return text;
    }
    return std::nullopt;
}

} // namespace

// The waiting side of one request. The reply, a connection error and the time-out race to resume
// it; the first wins and every later one is dropped.
struct XPCConnection::Pending
{
    std::mutex mutex;
    std::condition_variable resumed;
    std::optional<Result<platform::HelperReply>> outcome;

    bool resume(Result<platform::HelperReply> result)
    {
        {
            std::lock_guard lock(mutex);
            if (outcome)
                return false;
            outcome.emplace(std::move(result));
        }
        resumed.notify_all();
        return true;
    }

    Result<platform::HelperReply> wait(std::chrono::steady_clock::time_point deadline)
    {
        {
            std::unique_lock lock(mutex);
            resumed.wait_until(lock, deadline, [this] { return outcome.has_value(); });
        }
        resume(xpcError(XPCConnection::kTimedOutCode, "XPC call timed out"));
        std::lock_guard lock(mutex);
        return *outcome;
    }
};

// One connected socket with the thread that reads its replies and hands each to its request.
class XPCConnection::Link
{
public:
    explicit Link(platform::UniqueFd fd)
        : m_fd(std::move(fd))
        , m_reader([this] { readReplies(); })
    {
    }

    ~Link()
    {
        ::shutdown(m_fd.get(), SHUT_RDWR);
        m_reader.join();
    }

    // Broken once the reader saw the end, or the helper has hung up and the reader not yet noticed.
    bool isBroken() const
    {
        if (m_broken)
            return true;
        pollfd p {m_fd.get(), POLLRDHUP, 0};
        return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLRDHUP | POLLERR));
    }

    void expect(std::int64_t id, std::shared_ptr<Pending> pending)
    {
        std::lock_guard lock(m_pendingMutex);
        m_pending[id] = std::move(pending);
    }

    void forget(std::int64_t id)
    {
        std::lock_guard lock(m_pendingMutex);
        m_pending.erase(id);
    }

    // A failed or partial write leaves the stream unusable, so the link is given up.
    int send(const std::string& line, std::chrono::steady_clock::time_point deadline)
    {
        std::lock_guard lock(m_writeMutex);
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        const int error = platform::writeLine(m_fd.get(), line, std::max(left, std::chrono::milliseconds(0)));
        if (error != 0) {
            m_broken = true;
            ::shutdown(m_fd.get(), SHUT_RDWR);
        }
        return error;
    }

private:
    void readReplies()
    {
        // The 64 KiB bound protects the helper from its clients; a reply from root may be longer.
        constexpr std::size_t kMaxReplyBytes = 4 * 1024 * 1024;
        platform::LineChannel channel(m_fd.get(), kMaxReplyBytes);
        for (;;) {
            const auto result = channel.readLine();
            if (result.status == platform::LineChannel::Status::Oversized)
                continue;
            if (result.status != platform::LineChannel::Status::Line) {
                m_broken = true;
                failAll(platform::posixError(
                    result.status == platform::LineChannel::Status::Failed ? result.error : ECONNRESET));
                return;
            }
            const auto reply = platform::decodeHelperReply(result.line);
            if (!reply || !reply->id)
                continue;
            std::shared_ptr<Pending> pending;
            {
                std::lock_guard lock(m_pendingMutex);
                if (const auto it = m_pending.find(*reply->id); it != m_pending.end()) {
                    pending = std::move(it->second);
                    m_pending.erase(it);
                }
            }
            if (pending)
                pending->resume(*reply);
        }
    }

    void failAll(const Error& error)
    {
        std::map<std::int64_t, std::shared_ptr<Pending>> pending;
        {
            std::lock_guard lock(m_pendingMutex);
            pending.swap(m_pending);
        }
        for (auto& [id, request] : pending)
            request->resume(error);
    }

    platform::UniqueFd m_fd;
    std::atomic<bool> m_broken {false};
    std::mutex m_writeMutex;
    std::mutex m_pendingMutex;
    std::map<std::int64_t, std::shared_ptr<Pending>> m_pending;
    std::thread m_reader; // last, so it starts after everything it uses
};

XPCConnection::XPCConnection()
    : m_socketPath(platform::helperSocketPath())
    , m_recorder([](const AuditEvent& event) { AuditLogger::shared().log(event); })
{
}

void XPCConnection::setActionRecorder(ActionRecorder recorder)
{
    std::lock_guard lock(m_mutex);
    m_recorder = std::move(recorder);
}

void XPCConnection::recordAction(const char* category, std::string description, const std::optional<Error>& failure,
    std::optional<std::int32_t> pid, std::optional<std::string> target)
{
    ActionRecorder recorder;
    {
        std::lock_guard lock(m_mutex);
        recorder = m_recorder;
    }
    if (!recorder)
        return;
    if (failure)
        description += " failed: " + failure->message;
    recorder(AuditEvent {Uuid::random(), Date::now(), category, std::move(description), target, pid, !failure});
}

XPCConnection::~XPCConnection() = default;

XPCConnection::Result<std::shared_ptr<XPCConnection::Link>> XPCConnection::helperLink()
{
    if (m_link && !m_link->isBroken())
        return m_link;
    m_link.reset();
    auto fd = platform::connectUnixSocket(m_socketPath);
    if (!fd) {
        // No socket, or nobody listening on it: the helper is not installed (or not enabled).
        auto error = fd.error();
        if (error.code == ENOENT || error.code == ECONNREFUSED)
            error.message = helperNotInstalledReason();
        return error;
    }
    m_link = std::make_shared<Link>(std::move(fd.value()));
    return m_link;
}

XPCConnection::Result<platform::HelperReply> XPCConnection::executeXPC(platform::HelperRequest request)
{
    const auto deadline = std::chrono::steady_clock::now() + kTimeout;
    auto pending = std::make_shared<Pending>();
    std::shared_ptr<Link> link;
    {
        std::lock_guard lock(m_mutex);
        auto current = helperLink();
        if (!current)
            return current.error();
        link = current.value();
        request.id = ++m_nextId;
        link->expect(request.id, pending);
    }
    if (const int error = link->send(platform::encodeHelperRequest(request), deadline); error != 0)
        pending->resume(platform::posixError(error));
    auto outcome = pending->wait(deadline);
    link->forget(request.id);
    return outcome;
}

XPCConnection::Result<void> XPCConnection::simpleRequest(platform::HelperRequest request, const char* failureText)
{
    const auto reply = executeXPC(request);
    if (!reply)
        return reply.error();
    if (reply.value().ok)
        return {};
    if (reply.value().error)
        return fromHelper(*reply.value().error);
    return xpcError(-1, failureText);
}

XPCConnection::Result<void> XPCConnection::sendSignal(
    std::int32_t pid, int signal, std::optional<std::uint64_t> startTicks)
{
    const bool stop = signal == SIGSTOP;
    auto target = processName(pid);
    const auto result = simpleRequest({0, platform::HelperOp::sendSignal, signal, pid, startTicks},
        stop ? "Failed to send SIGSTOP" : "Failed to send SIGCONT");
    recordAction(stop ? "SIGSTOP" : "SIGCONT", stop ? "Suspended process" : "Resumed process", failureOf(result), pid,
        std::move(target));
    return result;
}

XPCConnection::Result<void> XPCConnection::freezeProcess(std::int32_t pid, std::optional<std::uint64_t> startTicks)
{
    return sendSignal(pid, SIGSTOP, startTicks);
}

XPCConnection::Result<void> XPCConnection::resumeProcess(std::int32_t pid)
{
    return sendSignal(pid, SIGCONT);
}

XPCConnection::Result<void> XPCConnection::machineRequest(
    platform::HelperOp op, const char* failureText, const char* category, const char* description)
{
    const auto result = simpleRequest({0, op, 0, 0}, failureText);
    recordAction(category, description, failureOf(result));
    return result;
}

XPCConnection::Result<void> XPCConnection::pauseFileIndexer()
{
    return machineRequest(
        platform::HelperOp::pauseFileIndexer, "Failed to suppress Spotlight", "Spotlight", "Paused file indexing");
}

XPCConnection::Result<void> XPCConnection::resumeFileIndexer()
{
    return machineRequest(
        platform::HelperOp::resumeFileIndexer, "Failed to restore Spotlight", "Spotlight", "Resumed file indexing");
}

XPCConnection::Result<void> XPCConnection::purgeMemory()
{
    return machineRequest(platform::HelperOp::purgeMemory, "Failed to purge memory", "System", "Purged memory caches");
}

XPCConnection::Result<std::string> XPCConnection::getVersion()
{
    const auto result = [this]() -> Result<std::string> {
        const auto reply = executeXPC({0, platform::HelperOp::getVersion, 0, 0});
        if (!reply)
            return reply.error();
        if (reply.value().error)
            return fromHelper(*reply.value().error);
        return reply.value().version.value_or(std::string());
    }();
    recordAction("System", "Checked helper version", failureOf(result));
    return result;
}

XPCConnection::Result<PowerMetrics> XPCConnection::getPowerMetrics()
{
    const auto result = [this]() -> Result<PowerMetrics> {
        const auto reply = executeXPC({0, platform::HelperOp::getPowerMetrics, 0, 0});
        if (!reply)
            return reply.error();
        if (reply.value().error)
            return fromHelper(*reply.value().error);
        if (!reply.value().data)
            return xpcError(-1, "Power metrics returned nil data");
        return parsePowerMetrics(*reply.value().data);
    }();
    recordAction("Power", "Sampled power metrics", failureOf(result));
    return result;
}

PowerMetrics XPCConnection::parsePowerMetrics(std::string_view data)
{
    const std::string_view text = platform::isValidUtf8(data) ? data : std::string_view();
    return PowerMetrics {wattsAfterLabel(text, "CPU Power:"), wattsAfterLabel(text, "GPU Power:"), Date::now()};
}
