#pragma once

#include "SuspendedProcessFile.h"
#include "SuspensionReview.h"
#include "XPCConnection.h"

#include "core/Date.h"
#include "engines/RunningProcess.h"
#include "records/AutoPersona.h"
#include "records/FrozenProcess.h"

#include "platform/proc/ProcessTable.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

// What the persona engine holds stopped, and the helper requests that stop and continue it: one
// record per suspended process with the personas that want it stopped, each resume that failed
// with its back-off, and the file indexer's pause. All of it is kept in step with a small state
// file (SuspendedProcessFile), so that what a killed run left stopped is resumed at the next start,
// and compared with each process's real state (SuspensionReview).
//
// Safe from any thread: the records have a lock of their own, never held while the helper is asked.
class SuspensionLedger
{
public:
    using Error = XPCConnection::Error;
    template<class T> using Result = XPCConnection::Result<T>;
    // Whether the persona's freeze list names the process; called with the ledger's lock held.
    using Listed = std::function<bool(AutoPersona, const std::string&)>;
    // Whether nothing may suspend the process now.
    using Spared = std::function<bool(const RunningProcess&)>;

    static constexpr const char* kStateFileName = "suspended_processes.json";
    // A resume that failed is tried again after the first wait, each later wait twice as long, up to
    // the longest.
    static constexpr double firstResumeRetrySeconds = 3.0;
    static constexpr double longestResumeRetrySeconds = 30.0;

    // What suspending a persona's candidates achieved.
    struct Paused
    {
        std::int64_t count = 0; // suspended now
        std::int64_t held = 0; // already suspended, now held by this persona too
        double gigabytesFreed = 0;
        std::optional<Error> failure; // the first suspend that failed
    };

    // What ending a persona did: the names of the processes that run again, of those whose resume
    // failed (they are tried again), and of those another active persona keeps suspended, with that
    // persona when it is one.
    struct Release
    {
        std::vector<std::string> resumed;
        std::vector<std::string> stillPaused;
        std::vector<std::string> kept;
        std::optional<AutoPersona> keptFor;
        bool heldAny = false; // the persona held anything suspended
    };

    // The suspended processes and, of those, the ones whose resume failed with the reason, read together.
    struct Listing
    {
        std::map<std::int32_t, FrozenProcess> frozenProcesses;
        std::map<std::int32_t, std::string> resumeFailures;
    };

    struct Recovery
    {
        int resumed = 0;
        bool adopted = false; // a resume failed: its process is now listed as frozen
    };

    // stateFilePath empty: kStateFileName in the application's data folder. clock empty: Date::now.
    SuspensionLedger(
        XPCConnection& xpc, const std::string& procRoot, QString stateFilePath, std::function<Date()> clock = {});

    Listing listing() const;
    std::map<std::int32_t, FrozenProcess> frozenProcesses() const;
    bool holds(std::int32_t pid) const;
    bool indexerPaused() const;
    // When process pid started, in clock ticks after boot; 0 when there is no such process.
    std::uint64_t startTicksOf(std::int32_t pid) const;
    // Process pid is stopped (state T or t) and not by this ledger: its user or a debugger stopped it.
    bool stoppedElsewhere(std::int32_t pid) const;

    // Quitting has begun: from now on nothing is suspended any more.
    void close() { m_closed = true; }
    bool isClosed() const { return m_closed; }

    // Suspends the candidates for `persona` until the ledger closes; a process already suspended
    // only gains the persona as a holder (and is no longer due to be resumed).
    Paused suspendFor(AutoPersona persona, const std::vector<RunningProcess>& candidates);
    // Suspends one process on its own; `holder` is the persona whose end lets it run again. With
    // startTicks (when the process was chosen) the helper stops it only if it is still that process.
    // The helper's or the connection's error comes back unchanged, and then nothing changes.
    Result<void> suspendSingle(std::int32_t pid, const std::string& name, AutoPersona holder,
        std::optional<std::uint64_t> startTicks = std::nullopt);
    // Resumes what `persona` wanted suspended, unless one of `others` (the other active personas)
    // wants it too: one that suspended it as well, or one whose freeze list names it. With no other
    // persona active everything goes, so nothing stays suspended with none active.
    Release release(AutoPersona persona, const std::set<AutoPersona>& others, const Listed& listed);

    // A resume asked for by hand. A pid that now belongs to another process is forgotten without
    // being resumed; a resume that fails is tried again later, and the helper's error comes back.
    Result<void> resume(std::int32_t pid);
    // Tries again each resume that failed once its wait is over. `tried` tells whether any was due.
    struct Retry
    {
        int waiting = 0; // still waiting to be resumed
        bool tried = false;
    };
    Retry retryFailedResumes();
    // Resumes every suspended process, in pid order, until the deadline.
    void resumeAll(std::optional<std::chrono::steady_clock::time_point> deadline);
    // Tries the resumes that failed again and again, pausing longer each time, while the deadline allows.
    void keepResuming(std::chrono::steady_clock::time_point deadline);

    // Compares the records with the processes' real state, forgetting each process that has gone,
    // and returns those that run again without the ledger: a restarted helper resumes what it held.
    SuspensionReview::Findings review();
    // Stops again each of `running` an active persona still asks for and nothing spares now;
    // forgets the others, so that the list never goes on calling a running process frozen.
    void stopAgainOrForget(const std::vector<std::int32_t>& running, const std::set<AutoPersona>& active,
        const Listed& listed, const Spared& spared);

    // Asks the helper to pause or restart the file indexer and keeps the state file in step.
    Result<void> pauseIndexer();
    void restoreIndexer();

    // At start-up: resumes each process of the state file that is still the same process and still
    // stopped, and restarts the file indexer when the file says it was paused, then empties the file.
    // A process whose resume fails is kept as a frozen record and tried again.
    Recovery recover();

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

    // What ending `persona` leaves to resume, with the names; what stays goes into `release`.
    std::vector<std::pair<std::int32_t, std::string>> releaseFor(
        AutoPersona persona, const std::set<AutoPersona>& others, const Listed& listed, Release& release);
    Date now() const;
    // The process has ended, or its pid now belongs to another process.
    bool isGone(std::int32_t pid, std::uint64_t startTicks) const;
    // The pid now belongs to another process than the one suspended (known by its start time).
    bool isReused(std::int32_t pid, std::uint64_t startTicks) const;
    std::uint64_t suspendedStartTicks(std::int32_t pid) const;
    // An active persona holds the process and still asks for it: it is on that persona's freeze
    // list or was suspended on its own, and it waits for no resume. Its name when so.
    std::optional<std::string> wantedName(
        std::int32_t pid, const std::set<AutoPersona>& active, const Listed& listed) const;

    // Resumes a suspended process and forgets it; a process that is gone is forgotten too, and a pid
    // that now belongs to another process is forgotten without being resumed. False when it is still
    // there and its resume failed: then its record stays, due to be tried again. ranAgain tells
    // whether the helper resumed it.
    bool resumeOrDrop(std::int32_t pid, bool* ranAgain = nullptr);
    // The helper stops pid only while it is the process that started at startTicks (0: unknown).
    Result<void> suspend(std::int32_t pid, std::uint64_t startTicks);
    void add(const FrozenProcess& record, std::uint64_t startTicks, AutoPersona holder, bool single = false);
    void remove(std::int32_t pid);
    // Keeps a process whose resume failed for a later try, with a longer wait after each failure.
    void noteFailedResume(std::int32_t pid, const Error& error);
    std::map<std::int32_t, std::string> resumeFailuresLocked() const;
    void saveLocked();

    XPCConnection& m_xpc;
    const platform::ProcessTable m_processTable;
    const SuspensionReview m_review;
    const SuspendedProcessFile m_file;
    const std::function<Date()> m_clock;
    std::atomic<bool> m_closed {false};

    mutable std::mutex m_mutex; // guards everything below
    std::map<std::int32_t, FrozenProcess> m_frozen;
    std::map<std::int32_t, Suspension> m_suspensions;
    bool m_indexerPaused = false; // the helper paused the file indexer and it is not back yet
};
