#pragma once

#include "helper/src/SuspendedProcess.h"

#include <string>
#include <string_view>
#include <vector>

namespace helper {

// Sends SIGCONT to processes of the helper's list, each only while it is still the very process that
// was stopped, and tells what became of each. Stateless apart from the /proc root; safe from any thread.
class ListedProcessResumer
{
public:
    explicit ListedProcessResumer(std::string procRoot = "/proc");

    // Resumes those of `listed` still running with the start time they were stopped with.
    Resumption resume(const std::vector<SuspendedProcess>& listed) const;
    // Whether the process that `listed` names has surely ended (or its pid now names another
    // process); false while that cannot be told (no descriptor free, say).
    bool hasEnded(const SuspendedProcess& listed) const;

private:
    enum class Presence { same, gone, unknown };
    enum class Outcome { continued, resumed, failed, gone, left };

    // Whether `process` still runs with the start time it was stopped with, and its state letter;
    // unknown when its /proc entry cannot be read for another reason than its absence.
    Presence presenceOf(const SuspendedProcess& process, char* state = nullptr) const;
    // Whether the process is stopped or about to stop: what SIGCONT would change.
    bool isStopped(const SuspendedProcess& process) const;
    // Sends SIGCONT to one listed process: through a pidfd, else (no descriptor free, or a kernel
    // without pidfds) by pid just after its start time was found unchanged.
    Outcome resumeOne(const SuspendedProcess& process) const;

    std::string m_procRoot;
};

} // namespace helper
