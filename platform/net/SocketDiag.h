#pragma once

#include "TcpConnections.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace platform::socketdiag {

// The established TCP sockets of this network namespace as the kernel's socket diagnostics
// (NETLINK_SOCK_DIAG) report them: IPv4 first, then IPv6, each in the kernel's order, loopback marked
// and nothing left out. Nothing when the kernel cannot be asked.
std::optional<std::vector<TcpSocket>> establishedTcp();

// The inode of the socket at the other end of the connected Unix socket `socketFd`; nothing, with errno
// saying why, where the kernel cannot tell.
std::optional<std::uint64_t> unixPeerInode(int socketFd);

} // namespace platform::socketdiag
