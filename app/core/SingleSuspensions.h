#pragma once

#include "XPCConnection.h"

#include "records/AutoPersona.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

class PersonaEngine;
class PersonaRules;
class ProcessWatcher;
class SuspensionLedger;

// The persona engine's suspensions of one process on its own, apart from the freeze lists: a freeze
// asked for by hand, held to the watchdog's exclusions and to the very process chosen; one on a
// persona's behalf (Battery Mode's watchdog); and a resume asked for by hand. A process suspended
// here runs again when its holder persona ends, or when the last active persona does. Each holds
// the engine's operation lock; PersonaEngine's freezeProcess and resumeProcess say what they answer.
class SingleSuspensions
{
public:
    using Error = XPCConnection::Error;
    template<class T> using Result = XPCConnection::Result<T>;
    // Counts one process suspended for `holder` in the engine's tally.
    using Counter = std::function<void(AutoPersona holder)>;

    SingleSuspensions(PersonaEngine& engine, PersonaRules& rules, ProcessWatcher& watcher, SuspensionLedger& ledger,
        std::recursive_timed_mutex& operationMutex, Counter count);

    Result<void> freezeProcess(std::int32_t pid, const std::string& name, std::optional<std::uint64_t> startTicks);
    // Without the exclusions, which the caller has applied.
    Result<void> freezeOnBehalfOf(std::int32_t pid, const std::string& name, AutoPersona holder,
        std::optional<std::uint64_t> startTicks = std::nullopt);
    Result<void> resumeProcess(std::int32_t pid);

private:
    PersonaEngine& m_engine;
    PersonaRules& m_rules;
    ProcessWatcher& m_watcher;
    SuspensionLedger& m_ledger;
    std::recursive_timed_mutex& m_operationMutex;
    const Counter m_count;
};
