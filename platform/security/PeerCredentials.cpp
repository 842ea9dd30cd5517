#include "platform/security/PeerCredentials.h"

#include <sys/socket.h>

namespace platform {

std::optional<PeerCredentials> peerCredentials(int socketFd)
{
    ucred credentials {};
    socklen_t size = sizeof credentials;
    if (::getsockopt(socketFd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 || size != sizeof credentials)
        return std::nullopt;
    return PeerCredentials {credentials.pid, credentials.uid, credentials.gid};
}

} // namespace platform
