#pragma once

#include "SuspendedProcessFile.h"

#include "core/Date.h"
#include "records/AutoPersona.h"
#include "records/FrozenProcess.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

// The suspension ledger's records: one per suspended process with the personas that want it
// stopped, its start time and, for a resume that failed, the back-off before the next try; and
// whether the file indexer is paused. Every change is written to the state file at once. It asks
// nothing of the helper: the ledger does, without this lock held.
//
// Safe from any thread.
class SuspensionRecords
{
public:
    // Whether the persona's freeze list names the process; called with the lock held.
    using Listed = std::function<bool(AutoPersona, const std::string&)>;

    // A resume that failed is tried again after the first wait, each later wait twice as long, up to
    // the longest.
    static constexpr double firstResumeRetrySeconds = 3.0;
    static constexpr double longestResumeRetrySeconds = 30.0;

    // The suspended processes and, of those, the ones whose resume failed with the reason, read together.
    struct Listing
    {
        std::map<std::int32_t, FrozenProcess> frozenProcesses;
        std::map<std::int32_t, std::string> resumeFailures;
    };

    // What ending a persona leaves: the processes to resume, with their names, and the names of those
    // another active persona keeps suspended, with that persona when it is one.
    struct Ending
    {
        std::vector<std::pair<std::int32_t, std::string>> toResume;
        std::vector<std::string> kept;
        std::optional<AutoPersona> keptFor;
    };

    // The failed resumes whose wait is over, and how many wait in all.
    struct Due
    {
        std::vector<std::int32_t> pids;
        int waiting = 0;
    };

    SuspensionRecords(QString stateFilePath, std::string bootIdPath);

    Listing listing() const;
    std::map<std::int32_t, FrozenProcess> frozenProcesses() const;
    bool holds(std::int32_t pid) const;
    bool indexerPaused() const;
    // When the held process started, as read when it was suspended; 0 when unknown or not held.
    std::uint64_t startTicks(std::int32_t pid) const;
    // Every held process with that start time.
    std::map<std::int32_t, std::uint64_t> heldStartTicks() const;
    // What the state file holds: at start-up, what an earlier run left.
    SuspendedProcessFile::Contents stored() const;

    void add(const FrozenProcess& record, std::uint64_t startTicks, AutoPersona holder, bool single = false);
    // A process an earlier run left stopped, whose resume failed: listed as frozen, held by no persona.
    void adopt(const SuspendedProcessFile::Entry& entry);
    void remove(std::int32_t pid);
    // A process already suspended only gains `persona` as a holder, and a resume that failed is no
    // longer due. False when the process is not held.
    bool holdAlso(std::int32_t pid, AutoPersona persona);
    // Takes `persona` off its processes, unless `others` is empty (then everything goes); one of
    // `others` takes over a process its freeze list names.
    Ending release(AutoPersona persona, const std::set<AutoPersona>& others, const Listed& listed);
    // An active persona holds the process and still asks for it: it is on that persona's freeze
    // list or was suspended on its own, and it waits for no resume. Its name when so.
    std::optional<std::string> wantedName(
        std::int32_t pid, const std::set<AutoPersona>& active, const Listed& listed) const;

    // Keeps a process whose resume failed for a later try, with a longer wait after each failure.
    void noteFailedResume(std::int32_t pid, const std::string& reason, Date now);
    Due dueResumes(Date now) const;

    void setIndexerPaused(bool paused);
    // At start-up: the indexer an earlier run paused stays listed as paused. True when it is to be
    // started again: this run has not paused it itself.
    bool takeOverIndexerPause(bool pausedBefore);

private:
    // One suspended process: which active personas want it suspended, and its start time so that a
    // later process with the same pid is never taken for it.
    struct Suspension
    {
        std::set<AutoPersona> holders;
        std::uint64_t startTicks = 0;
        // A resume that failed: no persona holds the process any more, and it is tried again from
        // nextResume on, with back-off, until it runs again or is gone.
        int failedResumes = 0;
        Date nextResume;
        std::string resumeError;
        // Suspended on its own, by hand or by the watchdog, rather than for being on a freeze list.
        bool single = false;
    };

    std::map<std::int32_t, std::string> resumeFailuresLocked() const;
    void saveLocked();

    const SuspendedProcessFile m_file;

    mutable std::mutex m_mutex; // guards everything below
    std::map<std::int32_t, FrozenProcess> m_frozen;
    std::map<std::int32_t, Suspension> m_suspensions;
    bool m_indexerPaused = false; // the helper paused the file indexer and it is not back yet
};
