#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace helper {

// A process the helper stopped, named so that a later process given the same pid is never taken
// for it: the start time is the one /proc/<pid>/stat gives (clock ticks after boot).
struct SuspendedProcess
{
    pid_t pid = 0;
    std::uint64_t startTime = 0;
    uid_t uid = 0;
    std::string name;

    bool operator==(const SuspendedProcess&) const = default;
};

// What the helper has stopped and paused, kept in "suspended.json" in its runtime folder so that
// no process stays stopped once the helper is gone: the helper resumes them when it stops, a helper
// started again after a crash still knows them, and removing the package resumes them from the file.
// Every change is written atomically (a new file renamed over the old). Safe from any thread.
class SuspendedProcesses
{
public:
    SuspendedProcesses(std::string folder, std::string procRoot = "/proc");

    // Reads the stored list; a missing or unreadable file is an empty one.
    void load();
    // After a SIGSTOP. Entries whose process has gone are dropped on the way, so the list stays short.
    void add(const SuspendedProcess& process);
    // After a SIGCONT.
    void remove(pid_t pid);
    void setIndexerPaused(bool paused);

    bool indexerPaused() const;
    std::vector<SuspendedProcess> processes() const;
    // Whether the helper stopped the process `pid` that started at `startTime`, and has not resumed it.
    bool contains(pid_t pid, std::uint64_t startTime) const;

    // Sends SIGCONT to every listed process that is still the one stopped, then empties the list
    // (the indexer flag is left to the caller, who restores the indexer). Answers each process
    // resumed with whether the signal went through.
    std::vector<std::pair<SuspendedProcess, bool>> resumeAll();

    std::string filePath() const { return m_folder + "/suspended.json"; }

    static std::string encode(const std::vector<SuspendedProcess>& processes, bool indexerPaused);
    // Nothing when the text is not such a list.
    static std::optional<std::pair<std::vector<SuspendedProcess>, bool>> decode(std::string_view text);

private:
    // Whether `process` still runs with the start time it was stopped with.
    bool isStillRunning(const SuspendedProcess& process) const;
    void save(); // under m_mutex

    std::string m_folder;
    std::string m_procRoot;
    mutable std::mutex m_mutex;
    std::vector<SuspendedProcess> m_processes;
    bool m_indexerPaused = false;
};

} // namespace helper
