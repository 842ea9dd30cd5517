#include "SingleSuspensions.h"

#include "PersonaEngine.h"
#include "PersonaRules.h"
#include "ProcessWatcher.h"
#include "SuspensionLedger.h"

SingleSuspensions::SingleSuspensions(PersonaEngine& engine, PersonaRules& rules, ProcessWatcher& watcher,
    SuspensionLedger& ledger, std::recursive_timed_mutex& operationMutex, Counter count)
    : m_engine(engine)
    , m_rules(rules)
    , m_watcher(watcher)
    , m_ledger(ledger)
    , m_operationMutex(operationMutex)
    , m_count(std::move(count))
{
}

SingleSuspensions::Result<void> SingleSuspensions::freezeProcess(
    std::int32_t pid, const std::string& name, std::optional<std::uint64_t> startTicks)
{
    std::lock_guard operation(m_operationMutex);
    // A freeze the user asked for is held to the same exclusions as the rules: one click must not
    // stop this program, the helper, the desktop or the user's terminal.
    m_rules.prepare(m_watcher.scanProcesses(), m_engine.configuration());
    if (const auto reason = m_rules.whySpared(RunningProcess {pid, name, 0, 0, Date()});
        reason != WatchdogExclusions::Reason::none)
        return Error {PersonaEngine::kErrorDomain, PersonaEngine::kRefusedCode, WatchdogExclusions::describe(reason)};
    if (startTicks && (*startTicks == 0 || m_ledger.startTicksOf(pid) != *startTicks))
        return Error {PersonaEngine::kErrorDomain, PersonaEngine::kRefusedCode, "the process you chose has ended"};
    return freezeOnBehalfOf(pid, name, AutoPersona::compileMode, startTicks);
}

SingleSuspensions::Result<void> SingleSuspensions::freezeOnBehalfOf(
    std::int32_t pid, const std::string& name, AutoPersona holder, std::optional<std::uint64_t> startTicks)
{
    std::lock_guard operation(m_operationMutex);
    if (m_ledger.isClosed())
        return Error {PersonaEngine::kErrorDomain, 1, "Quorvane Pro is quitting"};
    if (auto result = m_ledger.suspendSingle(pid, name, holder, startTicks); !result.ok())
        return result;
    m_count(holder);
    m_engine.notifyStateChanged();
    return {};
}

SingleSuspensions::Result<void> SingleSuspensions::resumeProcess(std::int32_t pid)
{
    std::lock_guard operation(m_operationMutex);
    auto result = m_ledger.resume(pid);
    m_engine.notifyStateChanged();
    return result;
}
