#pragma once

#include "helper/src/AuditLog.h"
#include "helper/src/HelperConfig.h"
#include "helper/src/RateLimiter.h"
#include "platform/ipc/HelperProtocol.h"
#include "platform/proc/ProcessTable.h"
#include "platform/security/PeerCredentials.h"
#include "platform/security/TrustedCallers.h"

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace helper {

// What all connections of one daemon share.
class HelperContext
{
public:
    explicit HelperContext(HelperConfig config);

    const HelperConfig& config() const { return m_config; }
    AuditLog& audit() { return m_audit; }
    const platform::TrustedCallers& callers() const { return m_callers; }
    const platform::ProcessTable& processes() const { return m_processes; }
    pid_t selfPid() const { return m_selfPid; }
    // The file-indexer timers installed on this machine (plocate or mlocate).
    const std::vector<std::string>& indexerTimers() const { return m_indexerTimers; }

private:
    HelperConfig m_config;
    AuditLog m_audit;
    platform::TrustedCallers m_callers;
    platform::ProcessTable m_processes;
    pid_t m_selfPid;
    std::vector<std::string> m_indexerTimers;
};

// Why the helper will not signal `pid` for a caller running as `callerUid`, or nothing when it may.
// Running as root, the helper could otherwise stop every process (pid -1), a process group (0),
// init, itself, kernel threads or other users' processes. A target that is not there is not
// refused here: the signal call then reports that it is missing.
std::optional<std::string> targetRefusal(
    pid_t pid, uid_t callerUid, pid_t helperPid, const std::optional<platform::ProcessInfo>& target);

// Serves the requests of one connection. Each connection has its own rate-limit window.
class HelperImplementation
{
public:
    HelperImplementation(HelperContext& context, std::optional<platform::PeerCredentials> caller);

    // Carries out one request and answers it; blocks while a tool runs.
    platform::HelperReply handle(const platform::HelperRequest& request);

    // The reply for a request the caller check refuses, or nothing when it may go on. Quick, so the
    // connection's reader runs it before handing a slow request to a worker.
    std::optional<platform::HelperReply> refuseCaller(const platform::HelperRequest& request);
    // Carries out a request that passed refuseCaller().
    platform::HelperReply perform(const platform::HelperRequest& request);

    // Operations that start a child process or wait on the disk, and so run off the reader thread.
    static bool isSlow(platform::HelperOp op);

    bool validateCaller();
    bool isRateLimited() { return m_rateLimiter.isRateLimited(); }

private:
    platform::HelperReply sendSignal(const platform::HelperRequest& request);
    platform::HelperReply switchIndexer(std::int64_t id, bool off);
    platform::HelperReply powerMetrics(std::int64_t id);
    platform::HelperReply purgeMemory(std::int64_t id);

    HelperContext& m_context;
    std::optional<platform::PeerCredentials> m_caller;
    RateLimiter m_rateLimiter;
};

} // namespace helper
