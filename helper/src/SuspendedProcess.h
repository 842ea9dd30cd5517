#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace helper {

// The program that had a process stopped: the process at the other end of the connection, named
// by its pid and start time so that a later process given the same pid is never taken for it.
struct SuspendingCaller
{
    pid_t pid = 0;
    std::uint64_t startTime = 0;
    uid_t uid = 0;

    auto operator<=>(const SuspendingCaller&) const = default;
};

// A process the helper stopped, named so that a later process given the same pid is never taken
// for it: the start time is the one /proc/<pid>/stat gives (clock ticks after boot).
struct SuspendedProcess
{
    pid_t pid = 0;
    std::uint64_t startTime = 0;
    uid_t uid = 0;
    std::string name;
    // Absent in lists a helper wrote before it recorded who asked.
    std::optional<SuspendingCaller> stoppedBy = std::nullopt;

    bool operator==(const SuspendedProcess&) const = default;
    // The uid whose share of the list this entry takes: the caller's, else the process's own.
    uid_t chargedUid() const { return stoppedBy ? stoppedBy->uid : uid; }
};

// What became of the listed processes a resume was for.
struct Resumption
{
    // Each process sent SIGCONT, with whether the signal went through.
    std::vector<std::pair<SuspendedProcess, bool>> resumed;
    // Of those whose signal went through, how many were stopped then (or about to stop): the
    // processes the resume set running again. One found running already is resumed all the same,
    // and leaves the list, but was not continued by it.
    std::size_t continued = 0;
    // Those that stay listed: the helper could not tell whether they still run (it is short of
    // descriptors, say), or could not signal them; a later resume tries again.
    std::vector<SuspendedProcess> left;
};

} // namespace helper
