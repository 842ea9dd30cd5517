#include "PersonaCycle.h"

#include "PersonaEngine.h"
#include "PersonaOwnActions.h"
#include "PersonaRules.h"
#include "ProcessWatcher.h"
#include "SingleSuspensions.h"
#include "SuspensionLedger.h"

namespace {

// Starts or ends the persona as the rule decided.
void apply(PersonaEngine& engine, AutoPersona persona, const PersonaRules::Decision& decision)
{
    using Change = PersonaRules::Decision::Change;
    if (decision.change == Change::activate)
        engine.activatePersona(persona, decision.trigger);
    else if (decision.change == Change::deactivate)
        engine.deactivatePersona(persona);
}

} // namespace

PersonaCycle::PersonaCycle(PersonaEngine& engine, PersonaRules& rules, ProcessWatcher& watcher,
    SuspensionLedger& ledger, PersonaOwnActions& actions, SingleSuspensions& singles,
    std::recursive_timed_mutex& operationMutex, std::function<Date()> now, std::function<void()> buildSeen)
    : m_engine(engine)
    , m_rules(rules)
    , m_watcher(watcher)
    , m_ledger(ledger)
    , m_actions(actions)
    , m_singles(singles)
    , m_operationMutex(operationMutex)
    , m_now(std::move(now))
    , m_buildSeen(std::move(buildSeen))
{
}

bool PersonaCycle::isActive(AutoPersona persona) const
{
    return m_engine.activePersonas().contains(persona);
}

bool PersonaCycle::runCycle()
{
    if (m_ledger.isClosed() || m_running.exchange(true))
        return false;
    struct Done
    {
        std::atomic<bool>& running;
        ~Done() { running = false; }
    } done {m_running};
    evaluateAllRules();
    return true;
}

void PersonaCycle::evaluateAllRules()
{
    std::lock_guard operation(m_operationMutex);
    if (!m_engine.configuration().autonomousModeEnabled)
        return;
    evaluateCompileTrigger();
    evaluateBatteryAndSustainedCPU();
    evaluateAIFirst();
}

void PersonaCycle::evaluateCompileTrigger()
{
    std::lock_guard operation(m_operationMutex);
    const auto triggers = m_engine.configuration().compileModeTriggers;
    const auto processes = m_watcher.scanProcesses();
    const bool active = isActive(AutoPersona::compileMode);
    const auto decision = PersonaRules::compileRule(active, processes, triggers);
    // On and left on: a trigger runs, so a Compile Mode started by hand now covers a build.
    if (active && decision.change == PersonaRules::Decision::Change::none)
        m_buildSeen();
    apply(m_engine, AutoPersona::compileMode, decision);
}

void PersonaCycle::evaluateBatteryAndSustainedCPU()
{
    std::lock_guard operation(m_operationMutex);
    apply(m_engine, AutoPersona::batteryMode, m_rules.batteryRule(isActive(AutoPersona::batteryMode)));
    if (!isActive(AutoPersona::batteryMode)) {
        m_rules.forgetBusyProcesses();
        return;
    }
    const auto processes = m_watcher.scanProcesses();
    const Date now = m_now();
    const auto isSuspended = [this](std::int32_t pid) { return m_ledger.holds(pid); };
    for (const auto& process : m_rules.overdueProcesses(processes, now, m_engine.configuration(), isSuspended)) {
        // Suspended on Battery Mode's behalf, so it runs again when Battery Mode ends.
        (void)m_singles.freezeOnBehalfOf(process.pid, process.name, AutoPersona::batteryMode);
    }
}

void PersonaCycle::evaluateAIFirst()
{
    std::lock_guard operation(m_operationMutex);
    const bool anyLoaded = m_actions.modelLoaded();
    apply(m_engine, AutoPersona::aiFirstMode,
        m_rules.aiFirstRule(isActive(AutoPersona::aiFirstMode), anyLoaded, isActive(AutoPersona::compileMode)));
}

void PersonaCycle::checkSuspendedProcesses()
{
    std::lock_guard operation(m_operationMutex);
    if (m_ledger.isClosed())
        return;
    const auto findings = m_ledger.review();
    if (findings.running.empty() && findings.gone.empty())
        return;
    if (!findings.running.empty()) {
        const auto config = m_engine.configuration();
        m_rules.prepare(m_watcher.scanProcesses(), config);
        m_ledger.stopAgainOrForget(findings.running, m_engine.activePersonas(), PersonaRules::freezeLists(config),
            [this](const RunningProcess& process) { return m_rules.spares(process); });
    }
    m_engine.notifyStateChanged();
}

int PersonaCycle::retryFailedResumes()
{
    std::lock_guard operation(m_operationMutex);
    if (m_ledger.isClosed())
        return 0;
    const auto retry = m_ledger.retryFailedResumes();
    if (retry.tried)
        m_engine.notifyStateChanged();
    return retry.waiting;
}
