#pragma once

#include "SuspensionRecords.h"
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
#include <optional>
#include <set>
#include <string>
#include <vector>

// What the persona engine holds stopped, and the helper requests that stop and continue it: one
// record per suspended process with the personas that want it stopped, each resume that failed
// with its back-off, and the file indexer's pause. SuspensionRecords keeps them, in step with a
// small state file so that what a killed run left stopped is resumed at the next start; the ledger
// asks the helper and compares the records with each process's real state (SuspensionReview).
//
// Safe from any thread: the records have a lock of their own, never held while the helper is asked.
class SuspensionLedger
{
public:
    using Error = XPCConnection::Error;
    template<class T> using Result = XPCConnection::Result<T>;
    // Whether the persona's freeze list names the process; called with the records' lock held.
    using Listed = SuspensionRecords::Listed;
    // Whether nothing may suspend the process now.
    using Spared = std::function<bool(const RunningProcess&)>;

    static constexpr const char* kStateFileName = "suspended_processes.json";
    // A resume that failed is tried again after the first wait, each later wait twice as long, up to
    // the longest.
    static constexpr double firstResumeRetrySeconds = SuspensionRecords::firstResumeRetrySeconds;
    static constexpr double longestResumeRetrySeconds = SuspensionRecords::longestResumeRetrySeconds;

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
    using Listing = SuspensionRecords::Listing;

    struct Recovery
    {
        int resumed = 0;
        bool adopted = false; // a resume failed: its process is now listed as frozen
    };

    // stateFilePath empty: kStateFileName in the application's data folder. clock empty: Date::now.
    SuspensionLedger(
        XPCConnection& xpc, const std::string& procRoot, QString stateFilePath, std::function<Date()> clock = {});

    Listing listing() const { return m_records.listing(); }
    std::map<std::int32_t, FrozenProcess> frozenProcesses() const { return m_records.frozenProcesses(); }
    bool holds(std::int32_t pid) const { return m_records.holds(pid); }
    bool indexerPaused() const { return m_records.indexerPaused(); }
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
    Date now() const;
    // The process has ended, or its pid now belongs to another process.
    bool isGone(std::int32_t pid, std::uint64_t startTicks) const;
    // The pid now belongs to another process than the one suspended (known by its start time).
    bool isReused(std::int32_t pid, std::uint64_t startTicks) const;

    // Resumes a suspended process and forgets it; a process that is gone is forgotten too, and a pid
    // that now belongs to another process is forgotten without being resumed. False when it is still
    // there and its resume failed: then its record stays, due to be tried again. ranAgain tells
    // whether the helper resumed it.
    bool resumeOrDrop(std::int32_t pid, bool* ranAgain = nullptr);
    // The helper stops pid only while it is the process that started at startTicks (0: unknown).
    Result<void> suspend(std::int32_t pid, std::uint64_t startTicks);
    // Keeps a process whose resume failed for a later try, with a longer wait after each failure.
    void noteFailedResume(std::int32_t pid, const Error& error);

    XPCConnection& m_xpc;
    const platform::ProcessTable m_processTable;
    const SuspensionReview m_review;
    SuspensionRecords m_records;
    const std::function<Date()> m_clock;
    std::atomic<bool> m_closed {false};
};
