#include "PersonaEngine.h"

#include "PersonaEnginePrivate.h"

#include "core/NotificationCenter.h"
#include "core/Notifications.h"
#include "core/UserDefaults.h"
#include "engines/OllamaEngine.h"

#include "ProcessWatcher.h"

#include "platform/power/PowerSupplies.h"

#include <algorithm>

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
    std::lock_guard lock(d->mutex);
    return d->frozenProcesses;
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
    return {d->activePersonas, d->frozenProcesses, d->personaHistory, d->savedYouMetrics, d->configuration,
        d->resumeFailuresLocked()};
}

std::map<std::int32_t, Date> PersonaEngine::sustainedCPUStartTimes() const
{
    std::lock_guard lock(d->mutex);
    return d->sustainedCPUStartTimes;
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
    std::lock_guard lock(d->mutex);
    d->mockIsOnBattery = onBattery;
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
    if (d->quitting || d->cycleRunning.exchange(true))
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
    const auto first = std::find_if(processes.begin(), processes.end(),
        [&](const RunningProcess& p) { return std::find(triggers.begin(), triggers.end(), p.name) != triggers.end(); });
    const bool active = d->isActive(AutoPersona::compileMode);
    if (first == processes.end()) {
        if (active)
            deactivatePersona(AutoPersona::compileMode);
    } else if (!active) {
        activatePersona(AutoPersona::compileMode, first->name);
    }
}

void PersonaEngine::evaluateBatteryAndSustainedCPU()
{
    std::lock_guard operation(d->operationMutex);
    const bool onBattery = isOnBattery();
    const bool active = d->isActive(AutoPersona::batteryMode);
    if (onBattery && !active)
        activatePersona(AutoPersona::batteryMode, "power disconnected");
    else if (!onBattery && active)
        deactivatePersona(AutoPersona::batteryMode);

    if (!d->isActive(AutoPersona::batteryMode)) {
        std::lock_guard lock(d->mutex);
        d->sustainedCPUStartTimes.clear();
        return;
    }
    const auto processes = d->watcher.scanProcesses();
    const Date now = d->now();
    const auto config = configuration();
    d->exclusions.prepare(processes, config.neverPauseWhitelist);
    for (const auto& process : processes) {
        {
            std::lock_guard lock(d->mutex);
            auto& startTimes = d->sustainedCPUStartTimes;
            if (!(process.cpuPercent > cpuThreshold)) {
                startTimes.erase(process.pid);
                continue;
            }
            const auto seen = startTimes.find(process.pid);
            if (seen == startTimes.end()) {
                startTimes.emplace(process.pid, now);
                continue;
            }
            if (!(now.timeIntervalSince(seen->second) > sustainedSeconds) || d->frozenProcesses.contains(process.pid))
                continue;
        }
        const auto& custom = config.customFreezeList;
        if (std::find(custom.begin(), custom.end(), process.name) != custom.end() || d->exclusions.excludes(process))
            continue;
        // Suspended on Battery Mode's behalf, so it runs again when Battery Mode ends.
        (void)freezeOnBehalfOf(process.pid, process.name, AutoPersona::batteryMode);
    }
}

void PersonaEngine::evaluateAIFirst()
{
    std::lock_guard operation(d->operationMutex);
    const auto loaded = d->ollama.loadedModels();
    const bool anyLoaded = loaded.ok() && !loaded.models.empty();
    const bool active = d->isActive(AutoPersona::aiFirstMode);
    if (d->isActive(AutoPersona::compileMode) || !anyLoaded) {
        if (active)
            deactivatePersona(AutoPersona::aiFirstMode);
        return;
    }
    if (isOnBattery() || active)
        return;
    activatePersona(AutoPersona::aiFirstMode, "model loaded");
}

bool PersonaEngine::isOnBattery() const
{
    {
        std::lock_guard lock(d->mutex);
        if (d->mockIsOnBattery)
            return *d->mockIsOnBattery;
    }
    const auto battery = platform::PowerSupplies(d->options.sysRoot).internalBattery();
    return battery && battery->onBattery;
}

std::vector<std::string> PersonaEngine::freezeList(AutoPersona persona, const PersonaConfiguration& configuration)
{
    // Each persona's own names, then the Linux programs of the same kinds. dockerd is on no list:
    // stopping it stops every container with it.
    switch (persona) {
    case AutoPersona::compileMode: {
        std::vector<std::string> names {"ollama", "ollama_llama_server", "com.docker.hyperkit", "UTM",
            "Parallels Desktop", "postgres", "mysql", "redis-server", "mongod", "com.apple.MobileDevice",
            "qemu-system-x86_64", "qemu-system-aarch64", "VirtualBoxVM", "mysqld", "mariadbd"};
        names.insert(names.end(), configuration.customFreezeList.begin(), configuration.customFreezeList.end());
        return names;
    }
    case AutoPersona::aiFirstMode:
        return {"com.apple.backupd", "mds_stores", "tracker-miner-fs-3", "baloo_file", "deja-dup", "restic"};
    case AutoPersona::batteryMode:
        return {"ollama", "ollama_llama_server", "com.docker.hyperkit", "UTM", "postgres", "mysql", "redis-server",
            "qemu-system-x86_64", "qemu-system-aarch64", "VirtualBoxVM", "mysqld", "mariadbd"};
    }
    return {};
}

const std::set<std::string>& PersonaEngine::sessionProcessNames()
{
    return WatchdogExclusions::sessionProcessNames();
}

std::vector<RunningProcess> PersonaEngine::runningFreezeCandidates(AutoPersona persona)
{
    std::lock_guard operation(d->operationMutex); // the exclusions are shared with the rules
    const auto config = configuration();
    const auto names = freezeList(persona, config);
    auto processes = d->watcher.scanProcesses();
    d->exclusions.prepare(processes, config.neverPauseWhitelist);
    std::vector<RunningProcess> candidates;
    for (auto& process : processes) {
        if (std::find(names.begin(), names.end(), process.name) != names.end() && !d->exclusions.excludes(process))
            candidates.push_back(std::move(process));
    }
    return candidates;
}
