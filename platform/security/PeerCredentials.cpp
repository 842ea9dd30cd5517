#include "platform/security/PeerCredentials.h"

#include "platform/proc/Pidfd.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>

#ifndef SO_PEERPIDFD
#define SO_PEERPIDFD 77 // Linux 6.5; the C library's headers may not name it yet
#endif

namespace platform {

std::optional<PeerCredentials> peerCredentials(int socketFd)
{
    ucred credentials {};
    socklen_t size = sizeof credentials;
    if (::getsockopt(socketFd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 || size != sizeof credentials)
        return std::nullopt;
    return PeerCredentials {credentials.pid, credentials.uid, credentials.gid};
}

UniqueFd peerPidfd(int socketFd, pid_t pid)
{
    int pidfd = -1;
    socklen_t size = sizeof pidfd;
    if (::getsockopt(socketFd, SOL_SOCKET, SO_PEERPIDFD, &pidfd, &size) == 0 && size == sizeof pidfd && pidfd >= 0) {
        ::fcntl(pidfd, F_SETFD, FD_CLOEXEC);
        return UniqueFd(pidfd);
    }
    // An older kernel answers ENOPROTOOPT; a peer that has gone answers ESRCH.
    if (errno == ESRCH)
        return UniqueFd();
    return openPidfd(pid);
}

} // namespace platform
