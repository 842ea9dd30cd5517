#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Where systemctl is: /usr/bin/systemctl, else /bin/systemctl (older, unmerged systems).
std::string systemctlPath();

// `systemctl show` of one unit, limited to the properties `names`, as the running systemd holds them
// (drop-ins applied): its "Key=value" lines. Nothing when it fails or outlasts `timeout` (no systemd
// as init, no bus). Blocks; run it off the GUI thread.
std::optional<std::string> showUnitProperties(const std::string& unit, const std::vector<std::string>& names,
    std::chrono::milliseconds timeout, const std::string& systemctl = systemctlPath());

} // namespace platform
