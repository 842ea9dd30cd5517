#pragma once

#include <csignal>
#include <sys/types.h>

// Signals a child the test started, and nothing else: a pid of 0 or below would reach the test's own
// process group (ctest and the tests beside it), or every process this one may signal. False for such a
// pid, or when the signal could not be sent.
inline bool signalChild(long long pid, int signal)
{
    return pid > 0 && ::kill(static_cast<pid_t>(pid), signal) == 0;
}

// Signals the process group a started child leads, as signalChild() does the child.
inline bool signalChildGroup(long long pid, int signal)
{
    return pid > 0 && ::kill(-static_cast<pid_t>(pid), signal) == 0;
}
