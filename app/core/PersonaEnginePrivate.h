#pragma once

#include "PersonaEngine.h"
#include "PersonaRules.h"
#include "SuspensionLedger.h"

#include <atomic>
#include <mutex>

// The persona engine's state and the helpers its source files share.
class PersonaEngine::Private
{
public:
    Private(XPCConnection& xpcConnection, ProcessWatcher& processWatcher, OllamaEngine& ollamaEngine,
        MemoryEngine& memoryEngine, Options options);

    Date now() const;
    bool isActive(AutoPersona persona) const;
    // Whether the persona's freeze list in `config` names the process.
    static SuspensionLedger::Listed listedIn(const PersonaConfiguration& config);
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
    PersonaRules rules; // prepared and asked under operationMutex
    SuspensionLedger ledger;
    QMetaObject::Connection settingsErasedWatch;

    // Held for a whole persona operation; recursive because the rules call activation and deactivation.
    std::recursive_timed_mutex operationMutex;
    std::atomic<bool> cycleRunning {false};

    // Guards everything below; the ledger's lock may be taken inside it, never the other way round.
    mutable std::mutex mutex;
    std::set<AutoPersona> activePersonas;
    std::vector<PersonaEvent> personaHistory;
    SavedYouMetrics savedYouMetrics;
    PersonaConfiguration configuration;
    bool holdsSleepAssertion = false;
    // Something was paused for the Compile Mode that is on: only then is its build counted as protected.
    bool buildProtected = false;
    bool isBatteryPollingReduced = false;
    double originalMemoryPollInterval = 3.0;
    ChangeHandler onChangeHandler;
};
