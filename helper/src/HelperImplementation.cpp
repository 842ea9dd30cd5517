#include "helper/src/HelperImplementation.h"

#include "platform/ipc/UnixSocket.h"
#include "platform/services/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace helper {

using platform::DomainError;
using platform::HelperOp;
using platform::HelperReply;
using platform::HelperRequest;

namespace {

DomainError helperError(int code, std::string message)
{
    return DomainError {platform::kHelperErrorDomain, code, std::move(message)};
}

DomainError exitStatusError(int status)
{
    return helperError(status, "Process exited with code " + std::to_string(status));
}

std::vector<std::string> findIndexerTimers(const std::vector<std::string>& folders)
{
    std::vector<std::string> found;
    for (const char* unit : {"plocate-updatedb.timer", "mlocate-updatedb.timer", "mlocate.timer", "updatedb.timer"}) {
        for (const auto& folder : folders) {
            struct stat st
            {
            };
            if (::stat((folder + "/" + unit).c_str(), &st) == 0) {
                found.emplace_back(unit);
                break;
            }
        }
    }
    // With no indexer installed, systemctl itself reports the missing unit.
    if (found.empty())
        found.emplace_back("plocate-updatedb.timer");
    return found;
}

} // namespace

HelperContext::HelperContext(HelperConfig config)
    : m_config(std::move(config))
    , m_audit(m_config.auditLogPath)
    , m_callers(m_config.trustedExecutables, m_config.procRoot)
    , m_processes(m_config.procRoot)
    , m_selfPid(::getpid())
    , m_indexerTimers(findIndexerTimers(m_config.unitFolders))
{
}

std::optional<std::string> targetRefusal(
    pid_t pid, uid_t callerUid, pid_t helperPid, const std::optional<platform::ProcessInfo>& target)
{
    const std::string what = "Refusing to signal pid " + std::to_string(pid);
    if (pid <= 1)
        return what + ": only a single user process may be signalled.";
    if (pid == helperPid)
        return what + ": it is the helper itself.";
    if (!target)
        return std::nullopt;
    if (target->kernelThread)
        return what + ": it is a kernel thread.";
    if (callerUid != 0 && target->uid != callerUid)
        return what + ": it belongs to another user.";
    return std::nullopt;
}

HelperImplementation::HelperImplementation(HelperContext& context, std::optional<platform::PeerCredentials> caller)
    : m_context(context)
    , m_caller(caller)
    , m_rateLimiter(context.config().clock)
{
}

bool HelperImplementation::isSlow(HelperOp op)
{
    return op == HelperOp::suppressSpotlight || op == HelperOp::restoreSpotlight || op == HelperOp::getPowerMetrics
        || op == HelperOp::purgeMemory;
}

bool HelperImplementation::validateCaller()
{
    if (!m_caller)
        return false;
    switch (m_context.callers().check(m_caller->pid)) {
    case platform::CallerVerdict::Trusted:
        return true;
    case platform::CallerVerdict::ValidationFailed:
        m_context.audit().log("caller_validation_failed", std::nullopt, "", false);
        return false;
    case platform::CallerVerdict::InvalidSignature:
        m_context.audit().log("caller_invalid_signature", std::nullopt, "", false);
        return false;
    }
    return false;
}

std::optional<HelperReply> HelperImplementation::refuseCaller(const HelperRequest& request)
{
    if (request.op == HelperOp::getVersion || validateCaller())
        return std::nullopt;
    return platform::failureReply(request.id, helperError(403, "Unauthorized caller"));
}

HelperReply HelperImplementation::handle(const HelperRequest& request)
{
    if (auto refused = refuseCaller(request))
        return *refused;
    return perform(request);
}

HelperReply HelperImplementation::perform(const HelperRequest& request)
{
    switch (request.op) {
    case HelperOp::sendSignal:
        return sendSignal(request);
    case HelperOp::suppressSpotlight:
        return switchIndexer(request.id, true);
    case HelperOp::restoreSpotlight:
        return switchIndexer(request.id, false);
    case HelperOp::getPowerMetrics:
        return powerMetrics(request.id);
    case HelperOp::purgeMemory:
        return purgeMemory(request.id);
    case HelperOp::getVersion:
        break;
    }
    HelperReply reply = platform::successReply(request.id);
    reply.version = platform::kHelperVersion;
    return reply;
}

HelperReply HelperImplementation::sendSignal(const HelperRequest& request)
{
    const pid_t pid = request.pid;
    if (request.signal != SIGSTOP && request.signal != SIGCONT) {
        m_context.audit().log("invalid_signal_blocked", pid, "", false);
        return platform::failureReply(request.id, helperError(400, "Only SIGSTOP and SIGCONT signals are allowed."));
    }
    const char* action = request.signal == SIGSTOP ? "send_sigstop" : "send_sigcont";

    // The pid is pinned with a pidfd before its owner is checked, so a process that ends and has its
    // pid reused in between can never receive the signal meant for the one that was checked.
    platform::UniqueFd pidfd;
    int openError = 0;
    std::optional<platform::ProcessInfo> target;
    if (pid > 1 && pid != m_context.selfPid()) {
        pidfd.reset(int(::syscall(SYS_pidfd_open, pid, 0)));
        openError = pidfd.valid() ? 0 : errno;
        if (pidfd.valid() || openError == ENOSYS)
            target = m_context.processes().info(pid);
    }
    const std::string name = target ? target->name : std::string();

    if (auto refusal = targetRefusal(pid, m_caller ? m_caller->uid : uid_t(-1), m_context.selfPid(), target)) {
        m_context.audit().log(action, pid, name, false);
        return platform::failureReply(request.id, helperError(403, *refusal));
    }
    if (isRateLimited()) {
        m_context.audit().log("rate_limited_signal", pid, "", false);
        return platform::failureReply(request.id, helperError(429, "Rate limit exceeded. Max 60 signals per minute."));
    }

    int result = -1;
    if (pidfd.valid())
        result = int(::syscall(SYS_pidfd_send_signal, pidfd.get(), request.signal, nullptr, 0));
    else if (openError == ENOSYS)
        result = ::kill(pid, request.signal);
    else
        errno = openError;
    const int error = errno;

    m_context.audit().log(action, pid, name, result == 0);
    if (result == 0)
        return platform::successReply(request.id);
    return platform::failureReply(request.id, platform::posixError(error));
}

HelperReply HelperImplementation::switchIndexer(std::int64_t id, bool off)
{
    const char* action = off ? "suppress_spotlight" : "restore_spotlight";
    std::vector<std::string> arguments {off ? "stop" : "start"};
    for (const auto& timer : m_context.indexerTimers())
        arguments.push_back(timer);

    const auto outcome = platform::runChildProcess(m_context.config().indexerTool, arguments, false);
    if (!outcome) {
        m_context.audit().log(action, std::nullopt, "", false);
        return platform::failureReply(id, outcome.error());
    }
    const bool ok = outcome.value().exitStatus == 0;
    m_context.audit().log(action, std::nullopt, "", ok);
    return ok ? platform::successReply(id) : platform::failureReply(id, exitStatusError(outcome.value().exitStatus));
}

HelperReply HelperImplementation::powerMetrics(std::int64_t id)
{
    const auto outcome = platform::runChildProcess(m_context.config().powerTool, {}, true);
    if (!outcome) {
        m_context.audit().log("get_powermetrics", std::nullopt, "", false);
        return platform::failureReply(id, outcome.error());
    }
    const bool ok = outcome.value().exitStatus == 0;
    m_context.audit().log("get_powermetrics", std::nullopt, "", ok);
    if (!ok)
        return platform::failureReply(id, exitStatusError(outcome.value().exitStatus));
    HelperReply reply = platform::successReply(id);
    reply.data = outcome.value().output;
    return reply;
}

HelperReply HelperImplementation::purgeMemory(std::int64_t id)
{
    ::sync();
    int error = 0;
    const int fd = ::open(m_context.config().dropCachesPath.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
    } else {
        const ssize_t written = ::write(fd, "1", 1);
        if (written != 1)
            error = written < 0 ? errno : EIO;
        ::close(fd);
    }
    m_context.audit().log("purge_memory", std::nullopt, "", error == 0);
    return error == 0 ? platform::successReply(id) : platform::failureReply(id, platform::posixError(error));
}

} // namespace helper
