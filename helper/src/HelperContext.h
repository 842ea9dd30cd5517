#pragma once

#include "helper/src/AuditLog.h"
#include "helper/src/CallerWatch.h"
#include "helper/src/HelperConfig.h"
#include "helper/src/RateLimiter.h"
#include "helper/src/SuspendedProcesses.h"
#include "platform/ipc/DomainError.h"
#include "platform/ipc/HelperProtocol.h"
#include "platform/proc/ProcessTable.h"
#include "platform/security/TrustedCallers.h"
#include "platform/services/ChildProcess.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace helper {

// What all connections of one daemon share, and the limits that hold per caller uid across all its
// connections: the signal rate, the machine-wide request rate and the number of slow operations at once.
class HelperContext
{
public:
    explicit HelperContext(HelperConfig config);

    const HelperConfig& config() const { return m_config; }
    AuditLog& audit() { return m_audit; }
    const platform::TrustedCallers& callers() const { return m_callers; }
    const platform::ProcessTable& processes() const { return m_processes; }
    const platform::LocalSessions& sessions() const { return *m_config.sessions; }
    SuspendedProcesses& suspended() { return m_suspended; }
    pid_t selfPid() const { return m_selfPid; }
    // The file-indexer timers installed on this machine (plocate or mlocate).
    const std::vector<std::string>& indexerTimers() const { return m_indexerTimers; }

    // True when a signal for a caller running as `uid` must be refused; otherwise it is counted.
    bool isSignalRateLimited(uid_t uid);
    // True when a machine-wide request `op` of `uid` is over its share of the last two minutes and
    // must be refused; otherwise it is counted. One a second on average is far more than the program
    // asks (the indexer at a persona's start and end, a purge at a click), and it bounds what one
    // caller, root included, can make the machine do and write to the log.
    bool isMachineRequestLimited(uid_t uid, platform::HelperOp op);
    // Takes one of the slow-operation places of `uid`; false when all are taken.
    bool claimSlowPlace(uid_t uid);
    void releaseSlowPlace(uid_t uid);

    // Stops (`off`) or starts the indexer timers with the system's service manager.
    platform::Result<platform::ChildOutcome> runIndexer(bool off) const;
    // Resumes every process the helper stopped and still the same process, and the indexer if the
    // helper paused it; each with an audit line. For the helper's stop and for package removal.
    // What could not be resumed stays listed for a later helper.
    struct Resumed
    {
        std::size_t resumed = 0; // those that were stopped and now run
        std::size_t left = 0;
    };
    Resumed resumeSuspended();
    // The listed processes it has continued since it started (they were stopped, and SIGCONT went
    // through), whether asked by resumeSuspended() or on its own: those of programs found ended as
    // the stored list was read, or that ended later.
    std::size_t resumedSinceStart() const { return m_resumedSinceStart; }
    // Before a SIGSTOP that `caller` asks for: the caller, whose process `callerPidfd` names, is
    // watched from now on, so that what it stops is resumed when it ends. The reason the stop must
    // be refused when it cannot be watched (no descriptor free, or its user's programs all watched).
    // Until noteStopping() lists the stop, the caller counts as holding it, so that another of its
    // connections resuming its last listed stop meanwhile does not end the watch; each watchCaller()
    // that answers nothing is followed by a noteStopping() of the caller's process.
    std::optional<std::string> watchCaller(const SuspendingCaller& caller, int callerPidfd);
    // Then, still before the SIGSTOP: listed first, so that a helper ending in between leaves a
    // process listed that was never stopped rather than one stopped and unlisted. Takes the place
    // reserved for it. 0, or the errno of the write when the list could not be written: the stop
    // must not be sent then.
    int noteStopping(const SuspendedProcess& process);
    // After that SIGSTOP went through. A caller that ended while its stop was carried out has the
    // process resumed at once.
    void noteStopped(const SuspendedProcess& process, int callerPidfd, int targetPidfd);
    // After a SIGCONT of `pid`, or a SIGSTOP that failed.
    void noteResumed(pid_t pid);
    // After a stop that was refused once `caller` was watched: the watch goes unless it still holds
    // other stops.
    void unwatchUnlessHolding(const SuspendingCaller& caller);
    // Resumes what `caller` stopped and has not resumed, each with an audit line: a program that has
    // ended (killed, crashed) can never resume them itself. What cannot be resumed yet stays listed
    // and is tried again later.
    void resumeStoppedBy(const SuspendingCaller& caller);

    // The helper itself as the caller of what it does on its own.
    AuditCaller selfCaller() const;

private:
    // The stops of a list read at start whose callers have ended meanwhile are resumed; the living
    // callers are watched.
    void adoptStoredCallers();
    // Whether `caller` has a stop between watchCaller() and noteStopping().
    bool isStopping(const SuspendingCaller& caller);
    void endStopping(const SuspendingCaller& caller);

    HelperConfig m_config;
    AuditLog m_audit;
    platform::TrustedCallers m_callers;
    platform::ProcessTable m_processes;
    SuspendedProcesses m_suspended;
    pid_t m_selfPid;
    std::vector<std::string> m_indexerTimers;

    std::mutex m_limitsMutex;
    std::map<uid_t, std::unique_ptr<RateLimiter>> m_signalLimits;
    std::map<std::pair<uid_t, platform::HelperOp>, std::unique_ptr<RateLimiter>> m_machineLimits;
    std::map<uid_t, std::size_t> m_slowPlaces;
    std::atomic<std::size_t> m_resumedSinceStart {0};
    std::mutex m_stoppingMutex;
    std::map<SuspendingCaller, std::size_t> m_stopping; // stops watched and not yet listed, per caller
    // Last, so that its thread, which resumes through the members above, ends first.
    CallerWatch m_callerWatch;
};

} // namespace helper
