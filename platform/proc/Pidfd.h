#pragma once

#include "platform/io/UniqueFd.h"

#include <sys/types.h>

namespace platform {

// A process descriptor: it names one process for as long as it is open, so a signal sent through it
// can never reach a later process that was given the same pid.

// A pidfd for `pid`; invalid (with errno set) when there is no such process or the kernel has no pidfds.
UniqueFd openPidfd(pid_t pid);
// Sends `signal` to the process of `pidfd`; 0 or -1 with errno, as kill() answers.
int pidfdSendSignal(int pidfd, int signal);
// Whether the process of `pidfd` is still there (it may be a zombie).
bool pidfdIsAlive(int pidfd);
// Whether the process of `pidfd` has ended: gone, or a zombie. The pidfd then polls readable.
bool pidfdHasEnded(int pidfd);

} // namespace platform
