#pragma once

#include "platform/io/UniqueFd.h"

#include <optional>
#include <sys/types.h>

namespace platform {

// Who is at the other end of a Unix socket, as the kernel recorded it when that process connected.
struct PeerCredentials
{
    pid_t pid = 0;
    uid_t uid = 0;
    gid_t gid = 0;
};

std::optional<PeerCredentials> peerCredentials(int socketFd);

// A pidfd for the process that connected: the kernel's own (SO_PEERPIDFD) where it gives one, so
// that it is that very process, else one opened for `pid` as SO_PEERCRED recorded it. Invalid when
// the process is gone.
UniqueFd peerPidfd(int socketFd, pid_t pid);

} // namespace platform
