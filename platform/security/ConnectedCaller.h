#pragma once

#include "platform/io/UniqueFd.h"
#include "platform/security/PeerCredentials.h"
#include "platform/security/TrustedCallers.h"

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

namespace platform {

// The process at the other end of one accepted connection, judged once when the connection was
// accepted. The verdict holds for the connection's whole life: a pid can change hands (the process
// execs another program, or forks and leaves the socket to its child), so it is never asked again.
struct ConnectedCaller
{
    std::optional<PeerCredentials> credentials;
    std::string executable; // /proc/<pid>/exe when it was judged; empty when unreadable
    CallerVerdict verdict = CallerVerdict::ValidationFailed;
    UniqueFd pidfd; // the process that connected, while it lives
    std::uint64_t startTime = 0; // of that process, in clock ticks after boot as /proc/<pid>/stat gives it
    // The inode of the caller's end of the connection, through which every process holding that end
    // can be found; nothing when the kernel did not tell.
    std::optional<std::uint64_t> peerSocket;
    int checkError = 0; // errno of the step that left the caller Unchecked

    bool trusted() const { return verdict == CallerVerdict::Trusted; }
    std::optional<uid_t> uid() const;
    pid_t pid() const { return credentials ? credentials->pid : -1; }
};

// Judges the process connected to `socketFd`: its pid is pinned with a pidfd, its executable checked
// against `callers` and its owner against the connection's uid, and it must still be the same
// process afterwards, so the /proc entries read were its own. Unchecked when what a verdict needs could
// not be had for want of descriptors or memory, and a trusted program also when the inode of its end
// could not be had for any reason.
ConnectedCaller judgeConnectedCaller(int socketFd, const TrustedCallers& callers);

} // namespace platform
