#pragma once

#include "helper/src/ListedProcessResumer.h"
#include "helper/src/SuspendedListFile.h"
#include "helper/src/SuspendedProcess.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace helper {

// What the helper has stopped and paused, kept in "suspended.json" in its runtime folder so that
// no process stays stopped once the helper is gone: the helper resumes them when it stops, a helper
// started again after a crash still knows them, and removing the package resumes them from the file.
// Each uid holds at most `perUserLimit` entries, so no user can grow the file without bound.
// Changes are made in memory under a short lock and written afterwards, atomically (a new file
// renamed over the old) and outside that lock: a write in progress takes in every change made
// meanwhile, so a large list never holds up another user's signal for more than one write. A change
// has reached the disk when the call that made it returns, unless the call says it has not; while
// the file is behind the list, rewriteIfBehind() tries again. Safe from any thread.
class SuspendedProcesses
{
public:
    static constexpr std::size_t kDefaultPerUserLimit = 256;
    using Resumption = helper::Resumption;

    SuspendedProcesses(
        std::string folder, std::string procRoot = "/proc", std::size_t perUserLimit = kDefaultPerUserLimit);

    // Reads the stored list; a missing or unreadable file is an empty one.
    void load();
    // Takes a place for a stop charged to `uid`, before the signal is sent: false when `uid` holds
    // its limit of stopped processes that still run. The place is used by add() or given back by
    // release(). Entries of `uid` whose process has gone are dropped on the way.
    bool reserve(uid_t uid);
    void release(uid_t uid);
    // Before a SIGSTOP; uses a place reserved for its uid if there is one. 0 once the entry is on
    // disk; otherwise the errno of the write that failed, which leaves the list as it was (the place
    // is given back all the same), so that nothing is stopped that a later helper would not know of.
    int add(const SuspendedProcess& process);
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
    // written by the next write that finds room for it.
    Resumption resumeAll();
    // The same for the processes `caller` had stopped.
    Resumption resumeStoppedBy(const SuspendingCaller& caller);

    // Whether the file lags behind the list: a write failed (a full or read-only folder, no
    // descriptor free) and none has succeeded since.
    bool isBehind() const;
    // Writes the list if the file lags behind it, unless a write is under way; the journal hears when
    // the file is whole again. Cheap when it does not lag, so it may be called often.
    void rewriteIfBehind();
    // For whoever calls rewriteIfBehind() while the file lags behind: `fellBehind` is called (from the
    // thread whose write failed, so it must be quick) each time a write fails, and the journal is told
    // that the list is tried again. Empty when nobody retries (any more).
    void retryWhenBehind(std::function<void()> fellBehind);

    std::string filePath() const { return m_file.path(); }

private:
    static constexpr std::chrono::milliseconds kRetryPause {50};

    // Drops the entries charged to `uid` whose process has gone; the /proc reads are made unlocked.
    void dropEnded(uid_t uid);
    std::size_t heldBy(uid_t uid) const; // under m_mutex
    // Gives back a place reserved for `uid`, if it holds one; under m_mutex.
    void giveBack(uid_t uid);
    // Keeps of the entries in `chosen` only those `resumption` left; under m_mutex. Whether any went.
    bool settle(const std::function<bool(const SuspendedProcess&)>& chosen, const Resumption& resumption);
    // Resumes the entries in `chosen`, under the lock so that no stop recorded meanwhile is dropped
    // unresumed, and writes what is left.
    Resumption resumeChosen(const std::function<bool(const SuspendedProcess&)>& chosen);
    std::uint64_t changed(); // under m_mutex; the new version
    // Writes the list as it is now, unless a write since change `upTo` already did. 0 when change
    // `upTo` is on disk afterwards, else the errno of the write that failed.
    int commit(std::uint64_t upTo = UINT64_MAX);
    // The same after entries left the list because their processes were resumed: a file that cannot
    // be rewritten is removed and written anew, so that it never lists them again.
    bool commitRemoval();
    // commit()'s work; under m_fileMutex.
    int writeUnlessWritten(std::uint64_t upTo = UINT64_MAX);
    // Says in the journal that the file still lists processes resumed since, and what becomes of them.
    void reportStaleFile(int removeError);

    SuspendedListFile m_file;
    ListedProcessResumer m_resumer;
    std::size_t m_perUserLimit;
    mutable std::mutex m_mutex; // the list
    std::vector<SuspendedProcess> m_processes;
    bool m_indexerPaused = false;
    std::map<uid_t, std::size_t> m_reserved;
    std::uint64_t m_version = 0; // counts changes
    std::uint64_t m_writtenVersion = 0;
    std::mutex m_fileMutex; // the file; taken before m_mutex, never while holding it
    std::vector<SuspendedProcess> m_onDisk; // under m_fileMutex: what the file lists
    bool m_failing = false; // under m_fileMutex: the last write failed, and the journal was told
    std::chrono::steady_clock::time_point m_nextRetry; // under m_fileMutex
    std::function<void()> m_fellBehind; // under m_fileMutex
};

} // namespace helper
