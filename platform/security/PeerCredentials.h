#pragma once

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

} // namespace platform
