#include "helper/src/HelperContext.h"

#include "platform/proc/Pidfd.h"
#include "platform/security/LogindSessions.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace helper {

namespace {

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

AuditCaller auditCallerOf(const SuspendingCaller& caller)
{
    return AuditCaller {std::int64_t(caller.uid), caller.pid, {}};
}

} // namespace

HelperContext::HelperContext(HelperConfig config)
    : m_config(std::move(config))
    , m_audit(m_config.auditLogPath, m_config.auditLogMaxBytes, m_config.clock, m_config.auditBytesPerMinute)
    , m_callers(m_config.trustedExecutables, m_config.procRoot)
    , m_processes(m_config.procRoot)
    , m_suspended(m_config.runtimeFolder, m_config.procRoot, m_config.maxSuspendedPerUser)
    , m_selfPid(::getpid())
    , m_indexerTimers(findIndexerTimers(m_config.unitFolders))
    , m_callerWatch(
          [this](const SuspendingCaller& caller) { resumeStoppedBy(caller); }, m_config.maxWatchedCallersPerUser)
{
    if (!m_config.sessions)
        m_config.sessions = std::make_shared<platform::LogindSessions>();
    m_suspended.load();
    adoptStoredCallers();
}

void HelperContext::adoptStoredCallers()
{
    for (const auto& caller : m_suspended.callers()) {
        // Pinned, then compared, so that the descriptor is the very process that asked. A caller
        // that cannot be watched has its stops resumed now, the safe side: a program still running
        // stops them again on its next round.
        auto pidfd = platform::openPidfd(caller.pid);
        const auto info = pidfd.valid() ? m_processes.info(caller.pid) : std::nullopt;
        if (!info || info->startTimeTicks != caller.startTime || !m_callerWatch.watch(caller, std::move(pidfd)))
            resumeStoppedBy(caller);
    }
}

std::optional<std::string> HelperContext::watchCaller(const SuspendingCaller& caller, int callerPidfd)
{
    // Counted before the watch is looked at: a watch ended before this is watched again below, and
    // one that would end after it is kept by unwatchUnlessHolding().
    {
        std::lock_guard lock(m_stoppingMutex);
        ++m_stopping[caller];
    }
    if (m_callerWatch.watches(caller))
        return std::nullopt;
    std::optional<std::string> refusal;
    platform::UniqueFd pidfd(::fcntl(callerPidfd, F_DUPFD_CLOEXEC, 0));
    if (!pidfd.valid())
        refusal = std::string("the helper cannot watch the program that asks (") + std::strerror(errno)
            + "), and it stops nothing it could not resume when that program ends";
    else if (!m_callerWatch.watch(caller, std::move(pidfd)))
        refusal = "this user already has " + std::to_string(m_config.maxWatchedCallersPerUser)
            + " programs holding processes stopped by the helper; resume what one of them holds first";
    if (refusal)
        endStopping(caller);
    return refusal;
}

int HelperContext::noteStopping(const SuspendedProcess& process)
{
    const int error = m_suspended.add(process);
    // Listed, the stop holds the watch by itself from here on.
    if (process.stoppedBy)
        endStopping(*process.stoppedBy);
    return error;
}

bool HelperContext::isStopping(const SuspendingCaller& caller)
{
    std::lock_guard lock(m_stoppingMutex);
    return m_stopping.count(caller) > 0;
}

void HelperContext::endStopping(const SuspendingCaller& caller)
{
    std::lock_guard lock(m_stoppingMutex);
    if (auto it = m_stopping.find(caller); it != m_stopping.end() && --it->second == 0)
        m_stopping.erase(it);
}

void HelperContext::noteStopped(const SuspendedProcess& process, int callerPidfd, int targetPidfd)
{
    if (!process.stoppedBy)
        return;
    // The watch may have resumed what the caller held before this stop arrived.
    if (!platform::pidfdHasEnded(callerPidfd))
        return;
    const bool ok = platform::pidfdSendSignal(targetPidfd, SIGCONT) == 0;
    m_resumedSinceStart += ok ? 1 : 0;
    noteResumed(process.pid);
    m_audit.log("send_sigcont", process.pid, process.name, ok, selfCaller(), auditCallerOf(*process.stoppedBy));
}

void HelperContext::noteResumed(pid_t pid)
{
    const auto removed = m_suspended.remove(pid);
    if (removed && removed->stoppedBy)
        unwatchUnlessHolding(*removed->stoppedBy);
}

void HelperContext::unwatchUnlessHolding(const SuspendingCaller& caller)
{
    m_callerWatch.forgetUnless(caller, [&] { return m_suspended.holdsStopsOf(caller) || isStopping(caller); });
}

void HelperContext::resumeStoppedBy(const SuspendingCaller& caller)
{
    const AuditCaller self = selfCaller();
    const auto resumption = m_suspended.resumeStoppedBy(caller);
    for (const auto& [process, ok] : resumption.resumed)
        m_audit.log("send_sigcont", process.pid, process.name, ok, self, auditCallerOf(caller));
    m_resumedSinceStart += resumption.continued;
    if (!resumption.left.empty())
        m_callerWatch.retryLater(caller);
}

bool HelperContext::isSignalRateLimited(uid_t uid)
{
    RateLimiter* limiter = nullptr;
    {
        std::lock_guard lock(m_limitsMutex);
        auto& slot = m_signalLimits[uid];
        if (!slot)
            slot = std::make_unique<RateLimiter>(m_config.clock, m_config.signalsPerMinute, 60.0);
        limiter = slot.get();
    }
    return limiter->isRateLimited();
}

bool HelperContext::isMachineRequestLimited(uid_t uid, platform::HelperOp op)
{
    RateLimiter* limiter = nullptr;
    {
        std::lock_guard lock(m_limitsMutex);
        auto& slot = m_machineLimits[{uid, op}];
        if (!slot)
            slot = std::make_unique<RateLimiter>(m_config.clock, m_config.machineRequestsPerTwoMinutes, 120.0);
        limiter = slot.get();
    }
    return limiter->isRateLimited();
}

bool HelperContext::claimSlowPlace(uid_t uid)
{
    std::lock_guard lock(m_limitsMutex);
    auto& taken = m_slowPlaces[uid];
    if (taken >= m_config.maxSlowRequestsPerUser)
        return false;
    ++taken;
    return true;
}

void HelperContext::releaseSlowPlace(uid_t uid)
{
    std::lock_guard lock(m_limitsMutex);
    if (auto it = m_slowPlaces.find(uid); it != m_slowPlaces.end() && --it->second == 0)
        m_slowPlaces.erase(it);
}

platform::Result<platform::ChildOutcome> HelperContext::runIndexer(bool off) const
{
    std::vector<std::string> arguments {off ? "stop" : "start"};
    for (const auto& timer : m_indexerTimers)
        arguments.push_back(timer);
    return platform::runChildProcess(m_config.indexerTool, arguments);
}

HelperContext::Resumed HelperContext::resumeSuspended()
{
    const AuditCaller self = selfCaller();
    Resumed resumed;
    const auto resumption = m_suspended.resumeAll();
    for (const auto& [process, ok] : resumption.resumed) {
        const auto stoppedBy = process.stoppedBy ? std::optional(auditCallerOf(*process.stoppedBy)) : std::nullopt;
        m_audit.log("send_sigcont", process.pid, process.name, ok, self, stoppedBy);
    }
    resumed.resumed = resumption.continued;
    m_resumedSinceStart += resumed.resumed;
    resumed.left = resumption.left.size();
    if (m_suspended.indexerPaused()) {
        const auto outcome = runIndexer(false);
        const bool ok = outcome && outcome.value().exitStatus == 0;
        m_audit.log("restore_spotlight", std::nullopt, "", ok, self);
        // Kept when the timers could not be started again, so that a later try still knows.
        if (ok)
            m_suspended.setIndexerPaused(false);
    }
    return resumed;
}

AuditCaller HelperContext::selfCaller() const
{
    AuditCaller self {std::int64_t(::geteuid()), m_selfPid, {}};
    char path[PATH_MAX];
    if (const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1); n > 0)
        self.executable.assign(path, std::size_t(n));
    return self;
}

} // namespace helper
