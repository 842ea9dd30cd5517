#pragma once

#include "platform/ipc/DomainError.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace platform {

struct ChildOutcome
{
    int exitStatus = 0; // the exit status, or the signal number for a child killed by a signal
    std::string output; // what the child wrote, when captured
};

// How a child runs.
struct ChildRun
{
    enum class Output {
        inherited, // the child writes where this process does
        standardOutput, // its standard output is captured; its standard error goes nowhere
        standardOutputAndError, // both share one captured pipe
    };
    Output output = Output::inherited;
    // A child still running this long after its start is killed, with whatever it started, and the run
    // answers ETIMEDOUT. Zero waits for as long as it runs.
    std::chrono::milliseconds deadline {0};
    // Output past this many bytes is read and dropped: a runaway child neither stalls nor fills memory.
    std::size_t outputLimit = 1 << 20;
    // "NAME=value" entries set in the child's environment over this process's own.
    std::vector<std::string> environment {};
};

// Runs `program` (an absolute path, no shell) with `arguments` and waits for it to end. Captured output
// is read while the child runs, so a talkative child never stalls on a full pipe. A program that cannot
// be started gives the POSIX error of the failed start. Blocks: call it off the GUI thread.
Result<ChildOutcome> runChildProcess(
    const std::string& program, const std::vector<std::string>& arguments, const ChildRun& run = {});

// Starts `program` as runChildProcess does but returns once it runs, for a program that lives on by
// itself (a file manager): it writes where this process does and leads a session of its own, so the
// signals of this program's terminal or group don't reach it; a thread of its own reaps it once it ends.
// Gives the child's pid, or the POSIX error of the failed start. `environment` as ChildRun's.
Result<int> startChildProcess(const std::string& program, const std::vector<std::string>& arguments,
    const std::vector<std::string>& environment = {});

} // namespace platform
