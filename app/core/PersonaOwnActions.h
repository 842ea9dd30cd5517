#pragma once

#include "PersonaRecords.h"

#include "records/AutoPersona.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>

class MemoryEngine;
class OllamaEngine;
class SuspensionLedger;

namespace platform {
class SleepInhibitor;
} // namespace platform

// What each persona does besides suspending processes, and its undo: Compile Mode pauses the file
// indexer (through the ledger, whose state file remembers it), AI First Mode holds system sleep off,
// Battery Mode slows the memory sampling. Each says in the change's outcome what it achieved. The
// sleep lock and the slower sampling are taken at most once and given back at most once, however
// often they are asked for. Safe from any thread.
class PersonaOwnActions
{
public:
    // The memory sampling interval while Battery Mode is on, in seconds.
    static constexpr double slowedSamplingInterval = 15.0;

    PersonaOwnActions(OllamaEngine& ollama, MemoryEngine& memory, SuspensionLedger& ledger,
        std::shared_ptr<platform::SleepInhibitor> inhibitor);

    // Whether the model server has a model loaded; a failed query counts as none.
    bool modelLoaded() const;
    // Unloads every loaded model; done before the model server is suspended, which could not answer.
    void unloadModels();

    void start(AutoPersona persona, personarecords::ActivationOutcome& outcome);
    // An indexer Compile Mode never paused is left alone.
    void end(AutoPersona persona, personarecords::DeactivationOutcome& outcome);
    // Undoes every persona's action at once, restarting the indexer only before the deadline.
    void endAll(std::optional<std::chrono::steady_clock::time_point> deadline);

    bool holdsSleep() const;
    bool isSamplingSlowed() const;

private:
    // The system may refuse the lock; then none is held.
    void holdSleep();
    void releaseSleep();
    // Only a sampling loop that runs is slowed: none is started for Battery Mode, and none is left
    // running after it; one stopped meanwhile stays stopped.
    void slowSampling();
    void restoreSampling();

    OllamaEngine& m_ollama;
    MemoryEngine& m_memory;
    SuspensionLedger& m_ledger;
    const std::shared_ptr<platform::SleepInhibitor> m_inhibitor;
    mutable std::mutex m_mutex; // guards the three below
    bool m_holdsSleep = false;
    bool m_samplingSlowed = false;
    double m_originalInterval = 3.0;
};
