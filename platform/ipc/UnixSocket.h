#pragma once

#include "platform/io/UniqueFd.h"
#include "platform/ipc/DomainError.h"

#include <optional>
#include <string>
#include <sys/types.h>

namespace platform {

// A connected stream socket to `path`; errors are POSIX errors.
Result<UniqueFd> connectUnixSocket(const std::string& path);

// A listening stream socket bound to `path` with file mode `mode`. A socket file left behind by a
// process that is gone is replaced; one that still answers is not.
Result<UniqueFd> listenUnixSocket(const std::string& path, mode_t mode);

// The first socket handed over by systemd socket activation (LISTEN_PID / LISTEN_FDS), if any.
// The variables are cleared so that child processes do not take them for their own.
std::optional<UniqueFd> takeActivatedSocket();

} // namespace platform
