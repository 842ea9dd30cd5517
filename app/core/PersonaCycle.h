#pragma once

#include "core/Date.h"
#include "records/AutoPersona.h"

#include <atomic>
#include <functional>
#include <mutex>

class PersonaEngine;
class PersonaOwnActions;
class PersonaRules;
class ProcessWatcher;
class SingleSuspensions;
class SuspensionLedger;

// The persona engine's periodic cycle, step by step: the check of what is suspended against each
// process's real state, the retries of resumes that failed, and the three rules, whose decisions
// start and end personas through the engine. Each step holds the engine's operation lock, so none
// overlaps another persona operation; PersonaEngine's methods of the same names say what each does.
class PersonaCycle
{
public:
    PersonaCycle(PersonaEngine& engine, PersonaRules& rules, ProcessWatcher& watcher, SuspensionLedger& ledger,
        PersonaOwnActions& actions, SingleSuspensions& singles, std::recursive_timed_mutex& operationMutex,
        std::function<Date()> now, std::function<void()> buildSeen);

    bool runCycle();
    void evaluateAllRules();
    void evaluateCompileTrigger();
    void evaluateBatteryAndSustainedCPU();
    void evaluateAIFirst();
    void checkSuspendedProcesses();
    int retryFailedResumes();

private:
    bool isActive(AutoPersona persona) const;

    PersonaEngine& m_engine;
    PersonaRules& m_rules;
    ProcessWatcher& m_watcher;
    SuspensionLedger& m_ledger;
    PersonaOwnActions& m_actions;
    SingleSuspensions& m_singles;
    std::recursive_timed_mutex& m_operationMutex;
    const std::function<Date()> m_now;
    // Told when a trigger runs while Compile Mode is on: a Compile Mode started by hand then covers a build.
    const std::function<void()> m_buildSeen;
    std::atomic<bool> m_running {false};
};
