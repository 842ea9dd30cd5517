#pragma once

#include "platform/ipc/DomainError.h"

#include <string>
#include <vector>

namespace platform {

struct ChildOutcome
{
    int exitStatus = 0; // the exit status, or the signal number for a child killed by a signal
    std::string output; // standard output and error together, when captured
};

// Runs `program` (an absolute path, no shell) with `arguments` and waits for it to end. With
// `captureOutput` its standard output and error share one pipe that is read while the child runs,
// so a talkative child never stalls on a full pipe. A program that cannot be started gives the
// POSIX error of the failed start.
Result<ChildOutcome> runChildProcess(
    const std::string& program, const std::vector<std::string>& arguments, bool captureOutput);

} // namespace platform
