#pragma once

#include "helper/src/HelperContext.h"
#include "platform/io/UniqueFd.h"
#include "platform/ipc/HelperProtocol.h"
#include "platform/proc/ProcessTable.h"
#include "platform/security/ConnectedCaller.h"

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace helper {

// Why the helper will not signal `pid` for a caller running as `callerUid`, or nothing when it may.
// Running as root, the helper could otherwise stop every process (pid -1), a process group (0),
// init, itself, kernel threads or other users' processes. `spared` lists processes a SIGSTOP must
// not reach: the caller and its parents, which would otherwise hang the session that asked. A
// target that is not there is not refused here: the signal call then reports that it is missing.
std::optional<std::string> targetRefusal(pid_t pid, uid_t callerUid, pid_t helperPid,
    const std::optional<platform::ProcessInfo>& target, const std::vector<pid_t>& spared = {});

// Serves the requests of one connection for the caller judged when it was accepted.
class HelperImplementation
{
public:
    HelperImplementation(HelperContext& context, const platform::ConnectedCaller& caller);

    // Carries out one request and answers it; blocks while a tool runs.
    platform::HelperReply handle(const platform::HelperRequest& request);

    // The reply for a request the caller checks refuse, or nothing when it may go on. Quick, so the
    // connection's reader runs it before handing a slow request to a worker.
    std::optional<platform::HelperReply> refuseCaller(const platform::HelperRequest& request);
    // Carries out a request that passed refuseCaller(), unless it is a machine-wide one over its
    // caller's rate, which is refused.
    platform::HelperReply perform(const platform::HelperRequest& request);
    // The "busy" reply for a slow request that finds no free place, with its audit line.
    platform::HelperReply busy(const platform::HelperRequest& request);

    // Operations that start a child process or wait on the disk, and so run off the reader thread.
    static bool isSlow(platform::HelperOp op);
    // Operations that act on the whole machine rather than on the caller's own processes.
    static bool isSystemWide(platform::HelperOp op);

    bool validateCaller();
    const AuditCaller& auditCaller() const { return m_auditCaller; }

private:
    // The target of a signal, pinned with a pidfd where the kernel has them.
    struct PinnedTarget
    {
        platform::UniqueFd pidfd;
        int openError = 0; // why there is no pidfd
        std::optional<platform::ProcessInfo> info;
        int infoError = 0; // why there is no info though the process is there
    };

    PinnedTarget pinTarget(pid_t pid) const;
    // The reply for a machine-wide request over its caller's rate, with its audit line; nothing otherwise.
    std::optional<platform::HelperReply> refuseOverMachineRate(const platform::HelperRequest& request);
    platform::HelperReply sendSignal(const platform::HelperRequest& request);
    platform::HelperReply switchIndexer(std::int64_t id, bool off);
    platform::HelperReply powerMetrics(std::int64_t id);
    platform::HelperReply purgeMemory(std::int64_t id);
    // Whether the caller sits in the machine's active local session (root always passes).
    bool isAtThisMachine() const;
    // Those of the processes a stop must not reach that matter to a stop of `target`: the caller
    // and its parents, and the target when it holds the caller's end of the connection or was the
    // start of a process that does. Nothing when they could not all be read for want of descriptors
    // or memory: a stop must not go ahead unchecked.
    std::optional<std::vector<pid_t>> sparedFromStop(pid_t target) const;
    // The reply for a stop beyond its caller's number of processes held stopped; nothing when a
    // place was reserved for it.
    std::optional<platform::HelperReply> refuseOverSuspendLimit(
        const platform::HelperRequest& request, uid_t callerUid);
    // Why a signal must not reach the pinned `target`: it is not the process the caller chose, or it
    // is to be stopped and was stopped already by someone other than the helper.
    std::optional<std::string> wrongTarget(
        const platform::HelperRequest& request, const std::optional<platform::ProcessInfo>& target) const;
    // Before a stop: its caller watched and the process listed, or the refusal (with its audit line,
    // and the place reserved for it given back) when either cannot be done.
    std::optional<platform::HelperReply> makeStopSafe(
        const platform::HelperRequest& request, const SuspendedProcess& process);
    // The reply for a signal beyond its caller's rate, with its audit line; nothing when it is counted.
    std::optional<platform::HelperReply> refuseOverSignalRate(const platform::HelperRequest& request, uid_t callerUid);

    HelperContext& m_context;
    const platform::ConnectedCaller& m_caller;
    AuditCaller m_auditCaller;
};

} // namespace helper
