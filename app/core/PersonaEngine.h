#pragma once

#include "PersonaCycle.h"
#include "PersonaEngineOptions.h"
#include "SingleSuspensions.h"
#include "XPCConnection.h"

#include "core/Date.h"
#include "engines/RunningProcess.h"
#include "records/AutoPersona.h"
#include "records/FrozenProcess.h"
#include "records/PersonaConfiguration.h"
#include "records/PersonaEvent.h"
#include "records/SavedYouMetrics.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class MemoryEngine;
class OllamaEngine;
class ProcessWatcher;

// Starts and ends Compile Mode, AI First Mode and Battery Mode from what the machine is doing, and
// suspends and resumes background processes through the helper on their behalf.
//
// Every operation is safe from any thread and may block (helper requests, the model server), so the
// GUI thread hands them to a worker. Persona operations never overlap: activation, deactivation,
// the rules, single-process suspends and resume-all run one at a time, so an "already active" check
// holds for the whole operation. The state itself is guarded separately and its accessors only
// copy it, so a reader never waits for a helper request.
//
// Each of its parts does one job: PersonaRules decides, SuspensionLedger keeps what is stopped
// (with the state file through which what a killed program left stopped is resumed at its next
// start), PersonaOwnActions does what each persona does besides suspending, PersonaTally keeps the
// events and the saved-you counters, PersonaRecords says what happened, PersonaCycle runs the
// periodic cycle and SingleSuspensions suspends and resumes one process on its own.
class PersonaEngine
{
public:
    using Error = XPCConnection::Error;
    template<class T> using Result = XPCConnection::Result<T>;
    using ChangeHandler = std::function<void()>;

    static constexpr const char* kErrorDomain = "QVPersonaError";
    static constexpr int kRefusedCode = 2;

    using Options = PersonaEngineOptions;

    // The values the persona view model shows, read together.
    struct State
    {
        std::set<AutoPersona> activePersonas;
        std::map<std::int32_t, FrozenProcess> frozenProcesses;
        std::vector<PersonaEvent> personaHistory;
        SavedYouMetrics savedYouMetrics;
        PersonaConfiguration configuration;
        // The frozen processes whose resume failed and is being tried again, with the reason.
        std::map<std::int32_t, std::string> resumeFailures;
    };

    // With no configuration the stored one is loaded (the defaults when nothing usable is stored).
    PersonaEngine(XPCConnection& xpcConnection, ProcessWatcher& processWatcher, OllamaEngine& ollamaEngine,
        MemoryEngine& memoryEngine, std::optional<PersonaConfiguration> configuration, SavedYouMetrics savedYouMetrics,
        Options options = {});
    ~PersonaEngine();
    PersonaEngine(const PersonaEngine&) = delete;
    PersonaEngine& operator=(const PersonaEngine&) = delete;

    std::set<AutoPersona> activePersonas() const;
    std::map<std::int32_t, FrozenProcess> frozenProcesses() const;
    std::vector<PersonaEvent> personaHistory() const;
    SavedYouMetrics savedYouMetrics() const;
    PersonaConfiguration configuration() const;
    State state() const;
    std::map<std::int32_t, Date> sustainedCPUStartTimes() const;
    bool isBatteryPollingReduced() const;
    bool holdsSleepAssertion() const;

    // The handler runs on the thread that made the change, possibly inside a persona operation, so it
    // must hand its work elsewhere rather than wait for the engine.
    void setOnChangeHandler(ChangeHandler handler);
    void setMockIsOnBattery(std::optional<bool> onBattery);
    // Calls the change handler, hands the active persona names to the tracker and posts "QVPersonaStateChanged".
    void notifyStateChanged();
    // Stores the configuration under "com.quorvane.personaconfig" and announces the change.
    void updateConfiguration(const PersonaConfiguration& configuration);
    // The saved-you counters start again from zero (their store was erased) and the change is announced.
    void resetSavedYouMetrics();

    // One run of the periodic cycle: the three rules when autonomous mode is on. Returns false, doing
    // nothing, while the previous run has not finished.
    bool runCycle() { return m_cycle.runCycle(); }
    void evaluateAllRules() { m_cycle.evaluateAllRules(); }
    void evaluateCompileTrigger() { m_cycle.evaluateCompileTrigger(); }
    void evaluateBatteryAndSustainedCPU() { m_cycle.evaluateBatteryAndSustainedCPU(); }
    void evaluateAIFirst() { m_cycle.evaluateAIFirst(); }
    bool isOnBattery() const;

    void activatePersona(AutoPersona persona, const std::string& trigger);
    void deactivatePersona(AutoPersona persona);
    // The running processes on the persona's freeze list, in snapshot order, less those nothing may
    // suspend (the never-pause whitelist, the desktop session, this program: WatchdogExclusions).
    std::vector<RunningProcess> runningFreezeCandidates(AutoPersona persona);

    // Suspends or resumes one process; the helper's or the connection's error comes back unchanged.
    // A failed suspend changes nothing; a failed resume is tried again later (retryFailedResumes).
    // A process suspended here is recorded for Compile Mode: it runs again
    // when Compile Mode ends, or when the last active persona does. freezeProcess refuses with
    // kErrorDomain, sending nothing to the helper, once quitting has begun, and with kRefusedCode and
    // a one-line reason for a process the watchdog would spare too (WatchdogExclusions).
    // resumeProcess never continues a pid that now belongs to another process: it forgets the record.
    // Given startTicks (processStartTicks when the process was chosen), freezeProcess also refuses,
    // with kRefusedCode, a process that has ended since, whose pid may have passed to another.
    Result<void> freezeProcess(
        std::int32_t pid, const std::string& name, std::optional<std::uint64_t> startTicks = std::nullopt)
    {
        return m_singles.freezeProcess(pid, name, startTicks);
    }
    Result<void> resumeProcess(std::int32_t pid) { return m_singles.resumeProcess(pid); }
    // When process pid started, in clock ticks after boot; 0 when there is no such process. With the
    // pid it tells a process from a later one that is given the same pid.
    std::uint64_t processStartTicks(std::int32_t pid) const;
    // Resumes every suspended process and ends every persona, undoing each one's own action without
    // notifications. A record whose resume failed is kept, to be tried again, unless its process is gone.
    void resumeAllFrozenProcesses();
    // Compares what the engine holds suspended with each process's real state: one that runs again
    // (a restarted helper resumes what it held) is stopped again while an active persona still asks
    // for it, and is forgotten otherwise, as is one that has gone. The periodic cycle calls it before
    // anything else, so the list never goes on calling a running process frozen.
    void checkSuspendedProcesses() { m_cycle.checkSuspendedProcesses(); }
    // Tries again each resume that failed once its wait is over; the periodic cycle calls it whatever
    // the rules do. Returns how many processes still wait to be resumed.
    int retryFailedResumes() { return m_cycle.retryFailedResumes(); }
    // The same as resumeAllFrozenProcesses for quitting, trying again within budget while resumes
    // fail; from then on nothing is suspended any more. Returns true when nothing the engine
    // suspended is left stopped; what is left stays in the state file and the user is told.
    bool resumeAllBeforeExit(std::chrono::milliseconds budget);
    // At start-up: resumes each process of the state file that is still the same process and still
    // stopped, and restarts the file indexer when the file says it was paused, then empties the file.
    // A process whose resume fails is kept as a frozen record and tried again. Returns how many were
    // resumed.
    int recoverSuspendedProcesses();

private:
    class Private;

    // Resumes every suspended process and ends every persona, each undone without notifications.
    void resumeEverything(std::optional<std::chrono::steady_clock::time_point> deadline);

    std::unique_ptr<Private> d;
    // Built on the parts d holds; kept here so that the operations above hand over to them inline.
    SingleSuspensions m_singles;
    PersonaCycle m_cycle;
};
