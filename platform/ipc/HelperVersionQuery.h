#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace platform {

// The helper's socket: $QUORVANE_HELPER_SOCKET when set, else the system path.
std::string helperSocketPath();

// Asks the helper for its version over a connection of its own, waiting at most `timeout` in all.
// Nothing when the helper cannot be reached, does not answer in time or answers with an error.
std::optional<std::string> queryHelperVersion(const std::string& socketPath, std::chrono::milliseconds timeout);

} // namespace platform
