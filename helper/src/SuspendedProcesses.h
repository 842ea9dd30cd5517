#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
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

// What the helper has stopped and paused, kept in "suspended.json" in its runtime folder so that
// no process stays stopped once the helper is gone: the helper resumes them when it stops, a helper
// started again after a crash still knows them, and removing the package resumes them from the file.
// Each uid holds at most `perUserLimit` entries, so no user can grow the file without bound.
// Changes are made in memory under a short lock and written afterwards, atomically (a new file
// renamed over the old) and outside that lock: a write in progress takes in every change made
// meanwhile, so a large list never holds up another user's signal for more than one write. A change
// has reached the disk when the call that made it returns. Safe from any thread.
class SuspendedProcesses
{
public:
    static constexpr std::size_t kDefaultPerUserLimit = 256;

    SuspendedProcesses(
        std::string folder, std::string procRoot = "/proc", std::size_t perUserLimit = kDefaultPerUserLimit);

    // What became of the listed processes a resume was for.
    struct Resumption
    {
        // Each process sent SIGCONT, with whether the signal went through.
        std::vector<std::pair<SuspendedProcess, bool>> resumed;
        // Those that stay listed: the helper could not tell whether they still run (it is short of
        // descriptors, say), or could not signal them; a later resume tries again.
        std::vector<SuspendedProcess> left;
    };

    // Reads the stored list; a missing or unreadable file is an empty one.
    void load();
    // Takes a place for a stop charged to `uid`, before the signal is sent: false when `uid` holds
    // its limit of stopped processes that still run. The place is used by add() or given back by
    // release(). Entries of `uid` whose process has gone are dropped on the way.
    bool reserve(uid_t uid);
    void release(uid_t uid);
    // Before a SIGSTOP; uses a place reserved for its uid if there is one. True once the entry is on
    // disk; false when the list could not be written, which leaves the list as it was (the place is
    // given back all the same), so that nothing is stopped that a later helper would not know of.
    bool add(const SuspendedProcess& process);
    // After a SIGCONT: the entry removed, if the helper had stopped `pid`.
    std::optional<SuspendedProcess> remove(pid_t pid);
    void setIndexerPaused(bool paused);

    bool indexerPaused() const;
    std::vector<SuspendedProcess> processes() const;
    // Whether the helper stopped the process `pid` that started at `startTime`, and has not resumed it.
    bool contains(pid_t pid, std::uint64_t startTime) const;
    // Whether any listed process was stopped by `caller`.
    bool holdsStopsOf(const SuspendingCaller& caller) const;
    // The callers that listed processes were stopped by, each once.
    std::vector<SuspendingCaller> callers() const;

    // Sends SIGCONT to every listed process that is still the one stopped; an entry leaves the list
    // once its process was resumed or has ended, and stays while that cannot be told (the indexer flag
    // is left to the caller, who restores the indexer). When the list cannot be rewritten after a
    // resume, its file is removed rather than left listing what was resumed, which a later helper
    // would continue again though its user may have stopped it since; what is still listed is then
    // written at the next change, or the next resume, that finds room for it.
    Resumption resumeAll();
    // The same for the processes `caller` had stopped.
    Resumption resumeStoppedBy(const SuspendingCaller& caller);

    std::string filePath() const { return m_folder + "/suspended.json"; }

    static std::string encode(const std::vector<SuspendedProcess>& processes, bool indexerPaused);
    // Nothing when the text is not such a list.
    static std::optional<std::pair<std::vector<SuspendedProcess>, bool>> decode(std::string_view text);

private:
    enum class Presence { same, gone, unknown };
    enum class Outcome { resumed, failed, gone, left };

    // Whether `process` still runs with the start time it was stopped with; unknown when its /proc
    // entry cannot be read for another reason than its absence (no descriptor free, say).
    Presence presenceOf(const SuspendedProcess& process) const;
    // Sends SIGCONT to one listed process: through a pidfd, else (no descriptor free, or a kernel
    // without pidfds) by pid just after its start time was found unchanged.
    Outcome resumeOne(const SuspendedProcess& process) const;
    // Drops the entries charged to `uid` whose process has gone; the /proc reads are made unlocked.
    void dropEnded(uid_t uid);
    std::size_t heldBy(uid_t uid) const; // under m_mutex
    // Gives back a place reserved for `uid`, if it holds one; under m_mutex.
    void giveBack(uid_t uid);
    // Resumes those of `listed` still running; under m_mutex.
    Resumption resume(const std::vector<SuspendedProcess>& listed) const;
    // Keeps of the entries in `chosen` only those `resumption` left; under m_mutex. Whether any went.
    bool settle(const std::function<bool(const SuspendedProcess&)>& chosen, const Resumption& resumption);
    std::uint64_t changed(); // under m_mutex; the new version
    // Writes the list as it is now, unless a write since change `upTo` already did. Whether change
    // `upTo` is on disk afterwards.
    bool commit(std::uint64_t upTo = UINT64_MAX);
    // The same after entries left the list because their processes were resumed: a file that cannot
    // be rewritten is removed and written anew, so that it never lists them again.
    bool commitRemoval();
    // commit()'s work; under m_fileMutex.
    bool writeUnlessWritten(std::uint64_t upTo = UINT64_MAX);
    bool write(const std::string& text) const;

    std::string m_folder;
    std::string m_procRoot;
    std::size_t m_perUserLimit;
    mutable std::mutex m_mutex; // the list
    std::vector<SuspendedProcess> m_processes;
    bool m_indexerPaused = false;
    std::map<uid_t, std::size_t> m_reserved;
    std::uint64_t m_version = 0; // counts changes
    std::uint64_t m_writtenVersion = 0;
    std::mutex m_fileMutex; // the file; taken before m_mutex, never while holding it
};

} // namespace helper
