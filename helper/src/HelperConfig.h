#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace helper {

// Everything the daemon needs to know about its surroundings. The installed daemon uses the
// defaults; tests and packaging change them through the environment, read once at start.
struct HelperConfig
{
    std::string socketPath;
    std::string auditLogPath = "/var/log/quorvane/audit.log";
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
    // Monotonic seconds for the signal rate limit; empty means the steady clock.
    std::function<double()> clock;

    HelperConfig();
    static HelperConfig fromEnvironment();
};

} // namespace helper
