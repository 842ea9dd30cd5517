#pragma once

#include "helper/src/AuditLog.h"
#include "helper/src/SuspendedProcesses.h"
#include "platform/security/ConnectedCaller.h"
#include "platform/security/LocalSessions.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace helper {

// Everything the daemon needs to know about its surroundings. The installed daemon uses the
// defaults; tests and packaging change them through the environment, read once at start.
struct HelperConfig
{
    std::string socketPath;
    std::string auditLogPath = "/var/log/quorvane/audit.log";
    // The log moves to "<path>.1" before it would grow past this, so it and its older part stay small.
    std::uint64_t auditLogMaxBytes = AuditLog::kDefaultMaxBytes;
    // What one caller uid may write to the log in any 60 seconds; the rest is counted, not written. About 40
    // signal records fit, more than a persona's change sends; the busiest uid then needs 17 hours to
    // move the log aside twice, and 8.5 to push out a record another user has just written.
    std::uint64_t auditBytesPerMinute = AuditLog::kDefaultBytesPerMinute;
    // Where the list of processes the helper stopped is kept (systemd's RuntimeDirectory).
    std::string runtimeFolder = "/run/quorvane";
    std::vector<std::string> trustedExecutables;
    std::string indexerTool = "/usr/bin/systemctl";
    std::string powerTool;
    std::string procRoot = "/proc";
    std::string dropCachesPath = "/proc/sys/vm/drop_caches";
    std::vector<std::string> unitFolders = {"/etc/systemd/system", "/usr/lib/systemd/system", "/lib/systemd/system"};

    // A connection with nothing in flight is closed when no whole line arrives within this long of
    // its opening or of its last reply. Short, so idle connections cannot keep others out.
    std::chrono::milliseconds idleTimeout {5000};
    // A client that stops reading its replies is dropped after this long.
    std::chrono::milliseconds writeTimeout {5000};
    // Further connections are closed at once, so no local user can exhaust the daemon's threads.
    std::size_t maxConnections = 64;
    // The share of those one caller's uid may hold, so one user can never take them all.
    std::size_t maxConnectionsPerUser = 8;
    // Signals one caller uid may have sent in any 60 seconds, over all its connections.
    int signalsPerMinute = 60;
    // Processes one caller uid may hold stopped at once, over all its connections: far more than any
    // freeze list, and it bounds the list of stopped processes the helper rewrites on every change.
    std::size_t maxSuspendedPerUser = SuspendedProcesses::kDefaultPerUserLimit;
    // Programs of one caller uid that may hold stops at once, each watched through a descriptor so
    // that its stops are resumed when it ends. The program is one; the bound keeps the descriptors
    // the watch holds to this many a user, so that with the connection bounds the helper's open-file
    // limit (raised to its hard limit at start, 65536 under systemd) is never the first bound reached.
    std::size_t maxWatchedCallersPerUser = 16;
    // Requests on the whole machine of one kind (a power reading, an indexer switch, a cache drop) one
    // caller uid may have carried out in any two minutes, over all its connections: one a second on
    // average, with room for a burst. Further ones are refused, so no caller can keep the machine busy
    // or fill the log with them.
    int machineRequestsPerTwoMinutes = 120;
    // Slow operations (a tool run, a cache drop) one caller uid may have under way at once, over all
    // its connections; each connection has at most one. Further ones are answered "busy".
    std::size_t maxSlowRequestsPerUser = 2;
    // Whether a caller sits in the machine's active local session, which actions on the whole
    // machine require (root callers excepted). logind by default.
    std::shared_ptr<const platform::LocalSessions> sessions;
    // Monotonic seconds for the signal rate limit and the audit log's refusal folding; empty means
    // the steady clock.
    std::function<double()> clock;
    // Judges the process at the other end of each connection admitted, once for the connection's life.
    std::function<platform::ConnectedCaller(int socketFd, const platform::TrustedCallers&)> judgeCaller
        = platform::judgeConnectedCaller;

    HelperConfig();
    static HelperConfig fromEnvironment();
};

} // namespace helper
