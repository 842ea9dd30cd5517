#pragma once

#include "PersonaEngine.h"
#include "PersonaRules.h"
#include "SuspendedProcessFile.h"

#include "platform/proc/ProcessTable.h"

#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

// The persona engine's state and the helpers its source files share.
class PersonaEngine::Private
{
public:
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

    // What suspending a persona's candidates achieved.
    struct Paused
    {
        std::int64_t count = 0; // suspended now
        std::int64_t held = 0; // already suspended, now held by this persona too
        double gigabytesFreed = 0;
        std::optional<Error> failure; // the first suspend that failed
    };

    Private(XPCConnection& xpcConnection, ProcessWatcher& processWatcher, OllamaEngine& ollamaEngine,
        MemoryEngine& memoryEngine, Options options);

    Date now() const;
    bool isActive(AutoPersona persona) const;
    std::uint64_t startTicksOf(std::int32_t pid) const;
    // The process has ended, or its pid now belongs to another process.
    bool isGone(std::int32_t pid, std::uint64_t startTicks) const;
    // The pid now belongs to another process than the one suspended (known by its start time).
    bool isReused(std::int32_t pid, std::uint64_t startTicks) const;
    std::uint64_t suspendedStartTicks(std::int32_t pid) const;

    XPCConnection::Result<void> suspend(std::int32_t pid);
    void addSuspension(const FrozenProcess& record, std::uint64_t startTicks, AutoPersona holder, bool single = false);
    // An active persona holds the process and still asks for it: it is on that persona's freeze
    // list or was suspended on its own, it waits for no resume, and nothing spares it now.
    // Call rules.prepare() first.
    bool stillWanted(std::int32_t pid, const PersonaConfiguration& config) const;
    void removeSuspension(std::int32_t pid);
    // Suspends the candidates for `persona` until quitting begins; a process already suspended only
    // gains the persona as a holder (and is no longer due to be resumed).
    Paused suspendFor(AutoPersona persona, const std::vector<RunningProcess>& candidates);
    // What ending a persona leaves to do: the processes to resume now, with their names, and the
    // names another active persona keeps suspended, with that persona when it is one.
    struct Release
    {
        std::vector<std::pair<std::int32_t, std::string>> toResume;
        std::vector<std::string> kept;
        std::optional<AutoPersona> keptFor;
    };
    Release releaseFor(AutoPersona persona);
    // Resumes a suspended process and forgets it; a process that is gone is forgotten too, and a pid
    // that now belongs to another process is forgotten without being resumed. False when it is still
    // there and its resume failed: then its record stays, due to be tried again. ranAgain tells
    // whether the helper resumed it.
    bool resumeOrDrop(std::int32_t pid, bool* ranAgain = nullptr);
    // Keeps a process whose resume failed for a later try, with a longer wait after each failure.
    void noteFailedResume(std::int32_t pid, const Error& error);
    // The suspended processes whose resume failed, each with the helper's or connection's reason.
    std::map<std::int32_t, std::string> resumeFailuresLocked() const;
    void saveStateFileLocked();
    // Asks the helper to pause or restart the file indexer and keeps the state file in step.
    XPCConnection::Result<void> pauseIndexer();
    void restoreIndexer();
    void postToTracker(const std::set<AutoPersona>& personas) const;

    XPCConnection& xpc;
    ProcessWatcher& watcher;
    OllamaEngine& ollama;
    MemoryEngine& memory;
    const Options options;
    UserDefaults& defaults;
    AssistanceTracker& assistance;
    const std::shared_ptr<platform::SleepInhibitor> inhibitor;
    const std::shared_ptr<platform::UserNotifier> notifier;
    const platform::ProcessTable processTable;
    const SuspendedProcessFile stateFile;
    PersonaRules rules; // prepared and asked under operationMutex
    QMetaObject::Connection settingsErasedWatch;

    // Held for a whole persona operation; recursive because the rules call activation and deactivation.
    std::recursive_timed_mutex operationMutex;
    std::atomic<bool> cycleRunning {false};
    std::atomic<bool> quitting {false};

    mutable std::mutex mutex; // guards everything below
    std::set<AutoPersona> activePersonas;
    std::map<std::int32_t, FrozenProcess> frozenProcesses;
    std::map<std::int32_t, Suspension> suspensions;
    std::vector<PersonaEvent> personaHistory;
    SavedYouMetrics savedYouMetrics;
    PersonaConfiguration configuration;
    bool holdsSleepAssertion = false;
    bool indexerPaused = false; // the helper paused the file indexer for Compile Mode and it is not back yet
    // Something was paused for the Compile Mode that is on: only then is its build counted as protected.
    bool buildProtected = false;
    bool isBatteryPollingReduced = false;
    double originalMemoryPollInterval = 3.0;
    ChangeHandler onChangeHandler;
};
