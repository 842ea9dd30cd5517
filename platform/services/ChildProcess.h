#pragma once

#include "platform/ipc/DomainError.h"

#include <chrono>
#include <cstddef>
#include <stop_token>
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
    // A child still running this long after its start is sent SIGKILL with its process group (what it
    // started and has not moved out of the group), and the run answers ETIMEDOUT. A child this process may
    // no longer signal (pkexec once authorised runs as root), or one still there a second after the kill,
    // is left to a thread that reaps it once it ends: the run returns all the same, and childMayStillRun()
    // tells its error apart. What a child that ended by itself left running is not signalled. Zero waits
    // for as long as it runs.
    std::chrono::milliseconds deadline {0};
    // Output past this many bytes is read and dropped: a runaway child neither stalls nor fills memory.
    std::size_t outputLimit = 1 << 20;
    // "NAME=value" entries set in the child's environment over this process's own.
    std::vector<std::string> environment {};
    // A stop asked for on this token ends the run: the child is sent SIGKILL with its process group and the
    // run answers ECANCELED. A child this process may no longer signal is given `stopGrace` to end by
    // itself (the run then gives its exit status as usual); one still running after it is left to a thread
    // that reaps it, and childMayStillRun() tells its error apart. A stop asked for before the start
    // starts nothing. The child leads a group of its own whenever a stop is possible.
    std::stop_token stop {};
    std::chrono::milliseconds stopGrace {3000};
};

// Runs `program` (an absolute path, no shell) with `arguments` and waits for it to end. Captured output
// is read while the child runs, so a talkative child never stalls on a full pipe; once the child has
// ended, what is left in the pipe is read and the run gives its exit status, even while something it
// started holds the pipe open. A program that cannot be started gives the POSIX error of the failed
// start. Blocks: call it off the GUI thread.
Result<ChildOutcome> runChildProcess(
    const std::string& program, const std::vector<std::string>& arguments, const ChildRun& run = {});

// Whether `error`, from runChildProcess, is of a child that outran its deadline or was stopped and could
// not be ended: it may still be running. Its message says so, with the deadline ("did not finish within
// 300 s and may still be running", "was cancelled and may still be running"); that of a child that was
// ended ends "and was killed".
bool childMayStillRun(const DomainError& error);

// Starts `program` as runChildProcess does but returns once it runs, for a program that lives on by
// itself (a file manager): it writes where this process does and leads a session of its own, so the
// signals of this program's terminal or group don't reach it; a thread of its own reaps it once it ends.
// Gives the child's pid, or the POSIX error of the failed start. `environment` as ChildRun's.
Result<int> startChildProcess(const std::string& program, const std::vector<std::string>& arguments,
    const std::vector<std::string>& environment = {});

} // namespace platform
