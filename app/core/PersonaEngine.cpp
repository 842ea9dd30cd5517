#include "PersonaEngine.h"

#include "PersonaEnginePrivate.h"

#include "core/NotificationCenter.h"
#include "core/Notifications.h"
#include "core/UserDefaults.h"
#include "engines/OllamaEngine.h"

#include "ProcessWatcher.h"

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

PersonaEngine::PersonaEngine(XPCConnection& xpcConnection, ProcessWatcher& processWatcher, OllamaEngine& ollamaEngine,
    MemoryEngine& memoryEngine, std::optional<PersonaConfiguration> configuration, SavedYouMetrics savedYouMetrics,
    Options options)
    : d(std::make_unique<Private>(xpcConnection, processWatcher, ollamaEngine, memoryEngine, std::move(options)))
{
    d->configuration = configuration ? std::move(*configuration) : PersonaConfiguration::load(d->defaults);
    d->savedYouMetrics = savedYouMetrics;
    // Settings erased (privacy erasure): the defaults take over, and nothing is written back.
    d->settingsErasedWatch = QObject::connect(&d->defaults, &UserDefaults::valueChanged, [this](const QString& key) {
        if (key != PersonaConfiguration::userDefaultsKey || d->defaults.contains(key))
            return;
        {
            std::lock_guard lock(d->mutex);
            d->configuration = PersonaConfiguration::defaultConfiguration();
        }
        notifyStateChanged();
    });
}

PersonaEngine::~PersonaEngine()
{
    QObject::disconnect(d->settingsErasedWatch);
}

std::set<AutoPersona> PersonaEngine::activePersonas() const
{
    std::lock_guard lock(d->mutex);
    return d->activePersonas;
}

std::map<std::int32_t, FrozenProcess> PersonaEngine::frozenProcesses() const
{
    return d->ledger.frozenProcesses();
}

std::vector<PersonaEvent> PersonaEngine::personaHistory() const
{
    std::lock_guard lock(d->mutex);
    return d->personaHistory;
}

SavedYouMetrics PersonaEngine::savedYouMetrics() const
{
    std::lock_guard lock(d->mutex);
    return d->savedYouMetrics;
}

PersonaConfiguration PersonaEngine::configuration() const
{
    std::lock_guard lock(d->mutex);
    return d->configuration;
}

PersonaEngine::State PersonaEngine::state() const
{
    std::lock_guard lock(d->mutex);
    auto listing = d->ledger.listing();
    return {d->activePersonas, std::move(listing.frozenProcesses), d->personaHistory, d->savedYouMetrics,
        d->configuration, std::move(listing.resumeFailures)};
}

std::map<std::int32_t, Date> PersonaEngine::sustainedCPUStartTimes() const
{
    return d->rules.sustainedCPUStartTimes();
}

bool PersonaEngine::isBatteryPollingReduced() const
{
    std::lock_guard lock(d->mutex);
    return d->isBatteryPollingReduced;
}

bool PersonaEngine::holdsSleepAssertion() const
{
    std::lock_guard lock(d->mutex);
    return d->holdsSleepAssertion;
}

void PersonaEngine::setOnChangeHandler(ChangeHandler handler)
{
    std::lock_guard lock(d->mutex);
    d->onChangeHandler = std::move(handler);
}

void PersonaEngine::setMockIsOnBattery(std::optional<bool> onBattery)
{
    d->rules.setMockIsOnBattery(onBattery);
}

void PersonaEngine::notifyStateChanged()
{
    ChangeHandler handler;
    std::set<AutoPersona> personas;
    {
        std::lock_guard lock(d->mutex);
        handler = d->onChangeHandler;
        personas = d->activePersonas;
    }
    if (handler)
        handler();
    d->postToTracker(personas);
    NotificationCenter::defaultCenter().post(Notifications::personaStateChanged);
}

void PersonaEngine::updateConfiguration(const PersonaConfiguration& configuration)
{
    {
        std::lock_guard lock(d->mutex);
        d->configuration = configuration;
    }
    PersonaConfiguration::store(configuration, d->defaults);
    notifyStateChanged();
}

void PersonaEngine::resetSavedYouMetrics()
{
    {
        std::lock_guard lock(d->mutex);
        d->savedYouMetrics = SavedYouMetrics::fresh();
    }
    notifyStateChanged();
}

bool PersonaEngine::runCycle()
{
    if (d->ledger.isClosed() || d->cycleRunning.exchange(true))
        return false;
    struct Done
    {
        std::atomic<bool>& running;
        ~Done() { running = false; }
    } done {d->cycleRunning};
    evaluateAllRules();
    return true;
}

void PersonaEngine::evaluateAllRules()
{
    std::lock_guard operation(d->operationMutex);
    if (!configuration().autonomousModeEnabled)
        return;
    evaluateCompileTrigger();
    evaluateBatteryAndSustainedCPU();
    evaluateAIFirst();
}

void PersonaEngine::evaluateCompileTrigger()
{
    std::lock_guard operation(d->operationMutex);
    const auto triggers = configuration().compileModeTriggers;
    const auto processes = d->watcher.scanProcesses();
    apply(*this, AutoPersona::compileMode,
        PersonaRules::compileRule(d->isActive(AutoPersona::compileMode), processes, triggers));
}

void PersonaEngine::evaluateBatteryAndSustainedCPU()
{
    std::lock_guard operation(d->operationMutex);
    apply(*this, AutoPersona::batteryMode, d->rules.batteryRule(d->isActive(AutoPersona::batteryMode)));
    if (!d->isActive(AutoPersona::batteryMode)) {
        d->rules.forgetBusyProcesses();
        return;
    }
    const auto processes = d->watcher.scanProcesses();
    const Date now = d->now();
    const auto isSuspended = [this](std::int32_t pid) { return d->ledger.holds(pid); };
    for (const auto& process : d->rules.overdueProcesses(processes, now, configuration(), isSuspended)) {
        // Suspended on Battery Mode's behalf, so it runs again when Battery Mode ends.
        (void)freezeOnBehalfOf(process.pid, process.name, AutoPersona::batteryMode);
    }
}

void PersonaEngine::evaluateAIFirst()
{
    std::lock_guard operation(d->operationMutex);
    const auto loaded = d->ollama.loadedModels();
    const bool anyLoaded = loaded.ok() && !loaded.models.empty();
    apply(*this, AutoPersona::aiFirstMode,
        d->rules.aiFirstRule(d->isActive(AutoPersona::aiFirstMode), anyLoaded, d->isActive(AutoPersona::compileMode)));
}

bool PersonaEngine::isOnBattery() const
{
    return d->rules.isOnBattery();
}

std::vector<std::string> PersonaEngine::freezeList(AutoPersona persona, const PersonaConfiguration& configuration)
{
    return PersonaRules::freezeList(persona, configuration);
}

const std::set<std::string>& PersonaEngine::sessionProcessNames()
{
    return WatchdogExclusions::sessionProcessNames();
}

std::vector<RunningProcess> PersonaEngine::runningFreezeCandidates(AutoPersona persona)
{
    std::lock_guard operation(d->operationMutex); // the rules' exclusions serve one run at a time
    const auto config = configuration();
    return d->rules.freezeCandidates(persona, d->watcher.scanProcesses(), config);
}
