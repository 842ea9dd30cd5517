#include "platform/security/ConnectedCaller.h"

#include "platform/io/ResourceShortage.h"
#include "platform/net/SocketDiag.h"
#include "platform/proc/Pidfd.h"
#include "platform/proc/ProcessTable.h"

#include <cerrno>
#include <climits>
#include <unistd.h>

namespace platform {

std::optional<uid_t> ConnectedCaller::uid() const
{
    if (!credentials)
        return std::nullopt;
    return credentials->uid;
}

namespace {

void unchecked(ConnectedCaller& caller, int error)
{
    caller.verdict = CallerVerdict::Unchecked;
    caller.checkError = error;
}

} // namespace

ConnectedCaller judgeConnectedCaller(int socketFd, const TrustedCallers& callers)
{
    ConnectedCaller caller;
    caller.credentials = peerCredentials(socketFd);
    if (!caller.credentials || caller.credentials->pid <= 0)
        return caller;
    const pid_t pid = caller.credentials->pid;
    caller.pidfd = peerPidfd(socketFd, pid);
    if (!caller.pidfd.valid()) {
        if (isShortOfResources(errno))
            unchecked(caller, errno);
        return caller;
    }
    errno = 0;
    caller.peerSocket = socketdiag::unixPeerInode(socketFd);
    const int peerError = caller.peerSocket ? 0 : errno;

    char target[PATH_MAX];
    const std::string link = callers.procRoot() + "/" + std::to_string(pid) + "/exe";
    if (const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1); n > 0)
        caller.executable.assign(target, std::size_t(n));

    // A pid opened after the caller had gone may name another process: another user's is refused.
    errno = 0;
    const auto process = ProcessTable(callers.procRoot()).info(pid);
    const int readError = errno;
    const CallerVerdict verdict = callers.check(pid);
    if (!pidfdIsAlive(caller.pidfd.get()))
        return caller;
    // The process is there, yet its /proc entry could not be read: short of descriptors, most likely.
    if (!process) {
        unchecked(caller, readError != 0 ? readError : EMFILE);
        return caller;
    }
    if (process->uid != caller.credentials->uid)
        return caller;
    // Without the inode of its end of the connection, a stop it asks for could not tell which
    // processes hold that end, and would spare none of them: whatever kept the kernel from naming it
    // (no descriptor free, a kernel without unix socket diagnostics, a filter), the caller is not judged.
    if (verdict == CallerVerdict::Trusted && !caller.peerSocket) {
        unchecked(caller, peerError != 0 ? peerError : EPROTO);
        return caller;
    }
    caller.startTime = process->startTimeTicks;
    caller.verdict = verdict;
    return caller;
}

} // namespace platform
