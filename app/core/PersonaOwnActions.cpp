#include "PersonaOwnActions.h"

#include "SuspensionLedger.h"

#include "engines/MemoryEngine.h"
#include "engines/OllamaEngine.h"

#include "platform/desktop/SleepInhibitor.h"

PersonaOwnActions::PersonaOwnActions(OllamaEngine& ollama, MemoryEngine& memory, SuspensionLedger& ledger,
    std::shared_ptr<platform::SleepInhibitor> inhibitor)
    : m_ollama(ollama)
    , m_memory(memory)
    , m_ledger(ledger)
    , m_inhibitor(std::move(inhibitor))
{
}

bool PersonaOwnActions::modelLoaded() const
{
    const auto loaded = m_ollama.loadedModels();
    return loaded.ok() && !loaded.models.empty();
}

void PersonaOwnActions::unloadModels()
{
    const auto loaded = m_ollama.loadedModels();
    if (!loaded.ok())
        return;
    for (const auto& model : loaded.models)
        (void)m_ollama.unloadModel(model.name);
}

void PersonaOwnActions::start(AutoPersona persona, personarecords::ActivationOutcome& outcome)
{
    switch (persona) {
    case AutoPersona::compileMode: {
        if (auto indexer = m_ledger.pauseIndexer(); indexer.ok())
            outcome.indexerPaused = true;
        else if (!outcome.failure)
            outcome.failure = indexer.error();
        const auto memory = m_memory.snapshot();
        outcome.headroomGB = memory.freeGB + memory.inactiveGB;
        break;
    }
    case AutoPersona::aiFirstMode:
        holdSleep();
        outcome.sleepHeld = holdsSleep();
        // Started by hand it may have no model to serve; its notification says so.
        outcome.modelLoaded = modelLoaded();
        break;
    case AutoPersona::batteryMode:
        slowSampling();
        outcome.samplingSlowed = isSamplingSlowed();
        break;
    }
}

void PersonaOwnActions::end(AutoPersona persona, personarecords::DeactivationOutcome& outcome)
{
    switch (persona) {
    case AutoPersona::compileMode:
        if (m_ledger.indexerPaused()) {
            m_ledger.restoreIndexer();
            outcome.indexerStillPaused = m_ledger.indexerPaused();
            outcome.indexerResumed = !outcome.indexerStillPaused;
        }
        break;
    case AutoPersona::aiFirstMode:
        releaseSleep();
        outcome.modelLoaded = modelLoaded();
        break;
    case AutoPersona::batteryMode:
        restoreSampling();
        break;
    }
}

void PersonaOwnActions::endAll(std::optional<std::chrono::steady_clock::time_point> deadline)
{
    if (m_ledger.indexerPaused() && (!deadline || std::chrono::steady_clock::now() < *deadline))
        m_ledger.restoreIndexer();
    releaseSleep();
    restoreSampling();
}

bool PersonaOwnActions::holdsSleep() const
{
    std::lock_guard lock(m_mutex);
    return m_holdsSleep;
}

bool PersonaOwnActions::isSamplingSlowed() const
{
    std::lock_guard lock(m_mutex);
    return m_samplingSlowed;
}

void PersonaOwnActions::holdSleep()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_holdsSleep)
            return;
    }
    const bool held = m_inhibitor->acquire();
    std::lock_guard lock(m_mutex);
    m_holdsSleep = held;
}

void PersonaOwnActions::releaseSleep()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_holdsSleep)
            return;
        m_holdsSleep = false;
    }
    m_inhibitor->release();
}

void PersonaOwnActions::slowSampling()
{
    if (!m_memory.isPolling())
        return;
    {
        std::lock_guard lock(m_mutex);
        if (m_samplingSlowed)
            return;
        m_samplingSlowed = true;
        m_originalInterval = m_memory.interval();
    }
    m_memory.startPolling(slowedSamplingInterval);
}

void PersonaOwnActions::restoreSampling()
{
    double interval = 0;
    {
        std::lock_guard lock(m_mutex);
        if (!m_samplingSlowed)
            return;
        m_samplingSlowed = false;
        interval = m_originalInterval;
    }
    if (m_memory.isPolling())
        m_memory.startPolling(interval);
}
