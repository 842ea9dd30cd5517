#include "platform/proc/Pidfd.h"

#include <cerrno>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

UniqueFd openPidfd(pid_t pid)
{
    if (pid <= 0) {
        errno = ESRCH;
        return UniqueFd();
    }
    return UniqueFd(int(::syscall(SYS_pidfd_open, pid, 0)));
}

int pidfdSendSignal(int pidfd, int signal)
{
    return int(::syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0));
}

bool pidfdHasEnded(int pidfd)
{
    pollfd ready {pidfd, POLLIN, 0};
    return pidfd >= 0 && ::poll(&ready, 1, 0) == 1 && (ready.revents & POLLIN);
}

bool pidfdIsAlive(int pidfd)
{
    return pidfd >= 0 && (pidfdSendSignal(pidfd, 0) == 0 || errno == EPERM);
}

} // namespace platform
