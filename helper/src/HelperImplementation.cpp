#include "helper/src/HelperImplementation.h"

#include "platform/io/ResourceShortage.h"
#include "platform/proc/Pidfd.h"
#include "platform/proc/SocketHolders.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
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

// The audit action of a request, for the lines that refuse it.
const char* auditAction(const HelperRequest& request)
{
    switch (request.op) {
    case HelperOp::sendSignal:
        return request.signal == SIGSTOP ? "send_sigstop" : "send_sigcont";
    case HelperOp::pauseFileIndexer:
        return "suppress_spotlight";
    case HelperOp::resumeFileIndexer:
        return "restore_spotlight";
    case HelperOp::getPowerMetrics:
        return "get_powermetrics";
    case HelperOp::purgeMemory:
        return "purge_memory";
    case HelperOp::getVersion:
        break;
    }
    return "get_version";
}

AuditCaller auditCallerOf(const platform::ConnectedCaller& caller)
{
    AuditCaller audit;
    if (caller.credentials) {
        audit.uid = caller.credentials->uid;
        audit.pid = caller.credentials->pid;
    }
    audit.executable = caller.executable;
    return audit;
}

// Sends `signal` through `pidfd`, or by pid where the kernel has no pidfds; 0, or -1 with errno.
int deliver(const platform::UniqueFd& pidfd, int openError, pid_t pid, int signal)
{
    if (pidfd.valid())
        return platform::pidfdSendSignal(pidfd.get(), signal);
    if (openError == ENOSYS)
        return ::kill(pid, signal);
    errno = openError;
    return -1;
}

} // namespace

std::optional<std::string> targetRefusal(pid_t pid, uid_t callerUid, pid_t helperPid,
    const std::optional<platform::ProcessInfo>& target, const std::vector<pid_t>& spared)
{
    const std::string what = "Refusing to signal pid " + std::to_string(pid);
    if (pid <= 1)
        return what + ": only a single user process may be signalled.";
    if (pid == helperPid)
        return what + ": it is the helper itself.";
    if (std::find(spared.begin(), spared.end(), pid) != spared.end())
        return what + ": it is the caller or one of its parent processes.";
    if (!target)
        return std::nullopt;
    if (target->kernelThread)
        return what + ": it is a kernel thread.";
    // The kernel's own rule for an unprivileged sender: its uid is the target's real or saved uid.
    const bool callersOwn = callerUid != platform::ProcessTable::unknownUid
        && (target->uid == callerUid || target->savedUid == callerUid);
    if (callerUid != 0 && !callersOwn)
        return what + ": it belongs to another user.";
    return std::nullopt;
}

HelperImplementation::HelperImplementation(HelperContext& context, const platform::ConnectedCaller& caller)
    : m_context(context)
    , m_caller(caller)
    , m_auditCaller(auditCallerOf(caller))
{
}

bool HelperImplementation::isSlow(HelperOp op)
{
    return op == HelperOp::pauseFileIndexer || op == HelperOp::resumeFileIndexer || op == HelperOp::getPowerMetrics
        || op == HelperOp::purgeMemory;
}

bool HelperImplementation::isSystemWide(HelperOp op)
{
    return isSlow(op);
}

bool HelperImplementation::validateCaller()
{
    switch (m_caller.verdict) {
    case platform::CallerVerdict::Trusted:
        return true;
    case platform::CallerVerdict::ValidationFailed:
        m_context.audit().refusal("caller_validation_failed", std::nullopt, "", m_auditCaller);
        return false;
    case platform::CallerVerdict::InvalidSignature:
        m_context.audit().refusal("caller_invalid_signature", std::nullopt, "", m_auditCaller);
        return false;
    case platform::CallerVerdict::Unchecked:
        m_context.audit().refusal("caller_validation_failed", std::nullopt, "", m_auditCaller);
        return false;
    }
    return false;
}

bool HelperImplementation::isAtThisMachine() const
{
    const auto uid = m_caller.uid();
    if (!uid)
        return false;
    if (*uid == 0)
        return true;
    // A caller that has gone is judged by its user's display session.
    const pid_t pid = platform::pidfdIsAlive(m_caller.pidfd.get()) ? m_caller.pid() : -1;
    return m_context.sessions().isActiveLocal(pid, *uid);
}

std::optional<HelperReply> HelperImplementation::refuseCaller(const HelperRequest& request)
{
    if (request.op == HelperOp::getVersion)
        return std::nullopt;
    if (!validateCaller()) {
        // A trusted program may have been judged while the helper was short of descriptors, or without
        // the kernel naming its end of the connection: it is told what failed, and its next
        // connection is judged again.
        if (m_caller.verdict == platform::CallerVerdict::Unchecked) {
            const std::string why = std::string("The helper could not check the program that asks (")
                + std::strerror(m_caller.checkError) + ")";
            return platform::failureReply(request.id,
                helperError(platform::kHelperBusy,
                    why
                        + (platform::isShortOfResources(m_caller.checkError)
                                ? "; try again shortly."
                                : ": the kernel did not say which socket is its end of the connection, so the "
                                  "helper cannot tell which processes hold it.")));
        }
        return platform::failureReply(request.id, helperError(platform::kHelperUnauthorized, "Unauthorized caller"));
    }
    if (isSystemWide(request.op) && !isAtThisMachine()) {
        m_context.audit().refusal(auditAction(request), std::nullopt, "", m_auditCaller);
        return platform::failureReply(request.id,
            helperError(platform::kHelperUnauthorized,
                "Refused: this acts on the whole machine, which only a user of its active local session may ask."));
    }
    return std::nullopt;
}

HelperReply HelperImplementation::busy(const HelperRequest& request)
{
    m_context.audit().refusal(auditAction(request), std::nullopt, "", m_auditCaller);
    return platform::failureReply(request.id,
        helperError(platform::kHelperBusy, "The helper is busy with another request of this user; try again shortly."));
}

HelperReply HelperImplementation::handle(const HelperRequest& request)
{
    if (auto refused = refuseCaller(request))
        return *refused;
    return perform(request);
}

std::optional<HelperReply> HelperImplementation::refuseOverMachineRate(const HelperRequest& request)
{
    // Starting the indexer again while the helper has it paused is always let through, as resuming
    // a process is: a limit there would leave it paused.
    const bool restoresItsPause = request.op == HelperOp::resumeFileIndexer && m_context.suspended().indexerPaused();
    if (!isSystemWide(request.op) || restoresItsPause
        || !m_context.isMachineRequestLimited(m_caller.uid().value_or(uid_t(-1)), request.op))
        return std::nullopt;
    m_context.audit().refusal(auditAction(request), std::nullopt, "", m_auditCaller);
    return platform::failureReply(request.id,
        helperError(platform::kHelperRateLimited,
            "Rate limit exceeded. Max " + std::to_string(m_context.config().machineRequestsPerTwoMinutes)
                + " such requests in two minutes."));
}

HelperReply HelperImplementation::perform(const HelperRequest& request)
{
    // Counted only when carried out: a request answered "busy" never ran.
    if (auto refused = refuseOverMachineRate(request))
        return *refused;
    switch (request.op) {
    case HelperOp::sendSignal:
        return sendSignal(request);
    case HelperOp::pauseFileIndexer:
        return switchIndexer(request.id, true);
    case HelperOp::resumeFileIndexer:
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

std::optional<std::vector<pid_t>> HelperImplementation::sparedFromStop(pid_t target) const
{
    std::vector<pid_t> spared;
    if (platform::pidfdIsAlive(m_caller.pidfd.get())) {
        for (pid_t pid = m_caller.pid(); pid > 1 && spared.size() < 256;) {
            spared.push_back(pid);
            errno = 0;
            const auto info = m_context.processes().info(pid);
            if (!info) {
                if (platform::isShortOfResources(errno))
                    return std::nullopt;
                break;
            }
            pid = info->ppid;
        }
    }
    // Whoever holds the caller's end of the connection asks through it too: a process it was passed
    // to (SCM_RIGHTS) or that inherited it. The target is one of them or their parents when it or a
    // process descended from it holds that end.
    if (m_caller.peerSocket) {
        const auto held = platform::SocketHolders(m_context.config().procRoot).heldWithin(*m_caller.peerSocket, target);
        if (!held)
            return std::nullopt;
        if (*held)
            spared.push_back(target);
    }
    return spared;
}

std::optional<HelperReply> HelperImplementation::refuseOverSuspendLimit(const HelperRequest& request, uid_t callerUid)
{
    if (m_context.suspended().reserve(callerUid))
        return std::nullopt;
    m_context.audit().refusal("suspend_limit_reached", request.pid, "", m_auditCaller);
    return platform::failureReply(request.id,
        helperError(platform::kHelperRateLimited,
            "Refusing to stop pid " + std::to_string(request.pid) + ": this user already has "
                + std::to_string(m_context.config().maxSuspendedPerUser)
                + " processes stopped by the helper; resume some first."));
}

HelperImplementation::PinnedTarget HelperImplementation::pinTarget(pid_t pid) const
{
    // The pid is pinned with a pidfd before its owner is checked, so a process that ends and has its
    // pid reused in between can never receive the signal meant for the one that was checked.
    PinnedTarget target;
    if (pid <= 1 || pid == m_context.selfPid())
        return target;
    target.pidfd = platform::openPidfd(pid);
    target.openError = target.pidfd.valid() ? 0 : errno;
    if (target.pidfd.valid() || target.openError == ENOSYS) {
        errno = 0;
        target.info = m_context.processes().info(pid);
        if (!target.info && target.pidfd.valid() && platform::pidfdIsAlive(target.pidfd.get()))
            target.infoError = errno != 0 ? errno : EMFILE;
    }
    return target;
}

std::optional<HelperReply> HelperImplementation::refuseOverSignalRate(const HelperRequest& request, uid_t callerUid)
{
    if (!m_context.isSignalRateLimited(callerUid))
        return std::nullopt;
    m_context.audit().refusal("rate_limited_signal", request.pid, "", m_auditCaller);
    return platform::failureReply(request.id,
        helperError(platform::kHelperRateLimited,
            "Rate limit exceeded. Max " + std::to_string(m_context.config().signalsPerMinute)
                + " signals per minute."));
}

std::optional<std::string> HelperImplementation::wrongTarget(
    const HelperRequest& request, const std::optional<platform::ProcessInfo>& target) const
{
    const std::string what = "Refusing to signal pid " + std::to_string(request.pid);
    if (request.startTime && target && target->startTimeTicks != *request.startTime)
        return what + ": it is no longer the process that was chosen (another process has that pid now).";
    // Stopped by its user (job control, kill -STOP) or held by a debugger: the helper neither lists
    // it nor, later, continues it, so that a pause the user made is kept.
    const bool stoppedAlready = target && (target->state == 'T' || target->state == 't');
    if (request.signal == SIGSTOP && stoppedAlready
        && !m_context.suspended().contains(request.pid, target->startTimeTicks))
        return what + ": it was stopped already, not by the helper, which leaves it as it is.";
    return std::nullopt;
}

HelperReply HelperImplementation::sendSignal(const HelperRequest& request)
{
    const pid_t pid = request.pid;
    if (request.signal != SIGSTOP && request.signal != SIGCONT) {
        m_context.audit().refusal("invalid_signal_blocked", pid, "", m_auditCaller);
        return platform::failureReply(
            request.id, helperError(platform::kHelperBadRequest, "Only SIGSTOP and SIGCONT signals are allowed."));
    }
    const bool stop = request.signal == SIGSTOP;
    const char* action = stop ? "send_sigstop" : "send_sigcont";
    const PinnedTarget pinned = pinTarget(pid);
    const auto& target = pinned.info;
    const std::string name = target ? target->name : std::string();

    // The checks below read /proc; one that could not read what it needs must not let the signal through,
    // nor may a target that could not be pinned for want of a descriptor.
    const auto spared = stop ? sparedFromStop(pid) : std::optional<std::vector<pid_t>>(std::vector<pid_t>());
    const int shortage = pinned.infoError != 0           ? pinned.infoError
        : platform::isShortOfResources(pinned.openError) ? pinned.openError
        : !spared                                        ? EMFILE
                                                         : 0;
    if (shortage != 0) {
        m_context.audit().refusal(action, pid, name, m_auditCaller);
        return platform::failureReply(request.id,
            helperError(platform::kHelperBusy,
                "Refusing to signal pid " + std::to_string(pid) + ": the helper could not read what it checks ("
                    + std::strerror(shortage) + "); try again shortly."));
    }
    const uid_t callerUid = m_caller.uid().value_or(uid_t(-1));
    if (auto refusal = targetRefusal(pid, callerUid, m_context.selfPid(), target, *spared)) {
        m_context.audit().refusal(action, pid, name, m_auditCaller);
        return platform::failureReply(request.id, helperError(platform::kHelperUnauthorized, *refusal));
    }
    if (auto wrong = wrongTarget(request, target)) {
        m_context.audit().refusal(action, pid, name, m_auditCaller);
        return platform::failureReply(request.id, helperError(platform::kHelperConflict, *wrong));
    }
    // A stop that will be listed takes one of its user's places first, so that a refusal costs no
    // place in the rate limit and two stops at once cannot both take the last place.
    const bool listed = stop && target;
    if (listed) {
        if (auto refused = refuseOverSuspendLimit(request, callerUid))
            return *refused;
    }
    // Resuming a process this helper stopped is always safe, so it is never limited: a limit there
    // would leave the user's processes stopped. Stops, and resumes of anything else, count.
    const bool resumesItsStop = !stop && target && m_context.suspended().contains(pid, target->startTimeTicks);
    if (!resumesItsStop) {
        if (auto refused = refuseOverSignalRate(request, callerUid)) {
            if (listed)
                m_context.suspended().release(callerUid);
            return *refused;
        }
    }

    std::optional<SuspendedProcess> stopped;
    if (listed) {
        stopped = SuspendedProcess {pid, target->startTimeTicks, target->uid, name,
            SuspendingCaller {m_caller.pid(), m_caller.startTime, callerUid}};
        if (auto refused = makeStopSafe(request, *stopped))
            return *refused;
    }
    const int result = deliver(pinned.pidfd, pinned.openError, pid, request.signal);
    const int error = errno;
    if (stopped && result == 0)
        m_context.noteStopped(*stopped, m_caller.pidfd.get(), pinned.pidfd.get());
    else if (stopped || (!stop && target && result == 0))
        m_context.noteResumed(pid);
    m_context.audit().log(action, pid, name, result == 0, m_auditCaller);
    if (result == 0)
        return platform::successReply(request.id);
    return platform::failureReply(request.id, platform::posixError(error));
}

std::optional<HelperReply> HelperImplementation::makeStopSafe(
    const HelperRequest& request, const SuspendedProcess& process)
{
    const std::string what = "Refusing to stop pid " + std::to_string(request.pid) + ": ";
    const SuspendingCaller& caller = *process.stoppedBy;
    std::optional<HelperReply> refused;
    if (auto unwatched = m_context.watchCaller(caller, m_caller.pidfd.get())) {
        m_context.suspended().release(caller.uid);
        refused = platform::failureReply(request.id, helperError(platform::kHelperBusy, what + *unwatched + "."));
    } else if (const int error = m_context.noteStopping(process); error != 0) {
        // The list gave the place back itself.
        m_context.unwatchUnlessHolding(caller);
        const std::string cannot = "the helper cannot write its list of stopped processes ("
            + m_context.suspended().filePath() + ": " + std::strerror(error) + ")";
        // Short of descriptors or memory, the next try may well succeed; a full or read-only folder
        // needs someone to make room first.
        if (platform::isShortOfResources(error))
            refused = platform::failureReply(
                request.id, helperError(platform::kHelperBusy, what + cannot + "; try again shortly."));
        else
            refused = platform::failureReply(request.id,
                helperError(platform::kHelperCannotRecord,
                    what + cannot + ", and it stops nothing that a helper started again would not know to resume."));
    }
    if (refused)
        m_context.audit().refusal("send_sigstop", request.pid, process.name, m_auditCaller);
    return refused;
}

HelperReply HelperImplementation::switchIndexer(std::int64_t id, bool off)
{
    const char* action = off ? "suppress_spotlight" : "restore_spotlight";
    const auto outcome = m_context.runIndexer(off);
    if (!outcome) {
        m_context.audit().log(action, std::nullopt, "", false, m_auditCaller);
        return platform::failureReply(id, outcome.error());
    }
    const bool ok = outcome.value().exitStatus == 0;
    if (ok)
        m_context.suspended().setIndexerPaused(off);
    m_context.audit().log(action, std::nullopt, "", ok, m_auditCaller);
    return ok ? platform::successReply(id) : platform::failureReply(id, exitStatusError(outcome.value().exitStatus));
}

HelperReply HelperImplementation::powerMetrics(std::int64_t id)
{
    const auto outcome = platform::runChildProcess(
        m_context.config().powerTool, {}, {.output = platform::ChildRun::Output::standardOutputAndError});
    if (!outcome) {
        m_context.audit().log("get_powermetrics", std::nullopt, "", false, m_auditCaller);
        return platform::failureReply(id, outcome.error());
    }
    const bool ok = outcome.value().exitStatus == 0;
    m_context.audit().log("get_powermetrics", std::nullopt, "", ok, m_auditCaller);
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
    m_context.audit().log("purge_memory", std::nullopt, "", error == 0, m_auditCaller);
    return error == 0 ? platform::successReply(id) : platform::failureReply(id, platform::posixError(error));
}

} // namespace helper
