#include "PersonaEngine.h"

#include "PersonaOwnActions.h"
#include "PersonaRecords.h"
#include "PersonaRules.h"
#include "PersonaTally.h"
#include "SuspensionLedger.h"

#include "core/NotificationCenter.h"
#include "core/Notifications.h"
#include "core/PoolWork.h"
#include "core/UserDefaults.h"
#include "records/ActivePersonaTracker.h"
#include "records/AssistanceTracker.h"

#include "ProcessWatcher.h"

#include "platform/desktop/DesktopNotifier.h"
#include "platform/desktop/LogindSleepInhibitor.h"
#include "platform/desktop/UserNotifier.h"

#include <QCoreApplication>
#include <QSet>

#include <mutex>

// The engine's collaborators, its parts and the state they do not keep themselves.
class PersonaEngine::Private
{
public:
    Private(XPCConnection& xpcConnection, ProcessWatcher& processWatcher, OllamaEngine& ollamaEngine,
        MemoryEngine& memoryEngine, SavedYouMetrics savedYouMetrics, Options options);

    Date now() const;
    bool isActive(AutoPersona persona) const;
    void postToTracker(const std::set<AutoPersona>& personas) const;

    ProcessWatcher& watcher;
    const Options options;
    UserDefaults& defaults;
    AssistanceTracker& assistance;
    const std::shared_ptr<platform::UserNotifier> notifier;
    PersonaRules rules; // prepared and asked under operationMutex
    SuspensionLedger ledger;
    PersonaOwnActions actions;
    QMetaObject::Connection settingsErasedWatch;

    // Held for a whole persona operation; recursive because the rules call activation and deactivation.
    std::recursive_timed_mutex operationMutex;

    // Guards everything below; the ledger's lock may be taken inside it, never the other way round.
    mutable std::mutex mutex;
    std::set<AutoPersona> activePersonas;
    PersonaTally tally;
    PersonaConfiguration configuration;
    ChangeHandler onChangeHandler;
};

namespace {

using Clock = std::chrono::steady_clock;

} // namespace

PersonaEngine::Private::Private(XPCConnection& xpcConnection, ProcessWatcher& processWatcher,
    OllamaEngine& ollamaEngine, MemoryEngine& memoryEngine, SavedYouMetrics savedYouMetrics, Options opts)
    : watcher(processWatcher)
    , options(std::move(opts))
    , defaults(options.userDefaults ? *options.userDefaults : UserDefaults::standard())
    , assistance(options.assistanceTracker ? *options.assistanceTracker : AssistanceTracker::shared())
    , notifier(options.notifier ? options.notifier : std::make_shared<platform::DesktopNotifier>())
    , rules(options.procRoot, options.sysRoot, options.session)
    , ledger(xpcConnection, options.procRoot, options.stateFilePath, options.clock)
    , actions(ollamaEngine, memoryEngine, ledger,
          options.sleepInhibitor ? options.sleepInhibitor : std::make_shared<platform::LogindSleepInhibitor>())
    , tally(savedYouMetrics)
{
}

Date PersonaEngine::Private::now() const
{
    return options.clock ? options.clock() : Date::now();
}

bool PersonaEngine::Private::isActive(AutoPersona persona) const
{
    std::lock_guard lock(mutex);
    return activePersonas.contains(persona);
}

void PersonaEngine::Private::postToTracker(const std::set<AutoPersona>& personas) const
{
    if (!options.updatesPersonaTracker)
        return;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    QSet<QString> names;
    for (const auto persona : personas)
        names.insert(QString::fromUtf8(rawValue(persona).data(), static_cast<qsizetype>(rawValue(persona).size())));
    // The tracker belongs to the GUI thread and lives as long as the program; it is created and updated there.
    deliverHome(app, [names] { ActivePersonaTracker::shared().updateActivePersonas(names); });
}

PersonaEngine::PersonaEngine(XPCConnection& xpcConnection, ProcessWatcher& processWatcher, OllamaEngine& ollamaEngine,
    MemoryEngine& memoryEngine, std::optional<PersonaConfiguration> configuration, SavedYouMetrics savedYouMetrics,
    Options options)
    : d(std::make_unique<Private>(
        xpcConnection, processWatcher, ollamaEngine, memoryEngine, savedYouMetrics, std::move(options)))
    , m_singles(*this, d->rules, d->watcher, d->ledger, d->operationMutex,
          [this](AutoPersona holder) {
              std::lock_guard lock(d->mutex);
              d->tally.suspendedOne(
                  holder == AutoPersona::compileMode && d->activePersonas.contains(AutoPersona::compileMode));
          })
    , m_cycle(
          *this, d->rules, d->watcher, d->ledger, d->actions, m_singles, d->operationMutex, [this] { return d->now(); },
          [this] {
              std::lock_guard lock(d->mutex);
              d->tally.buildSeen();
          })
{
    d->configuration = configuration ? std::move(*configuration) : PersonaConfiguration::load(d->defaults);
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
    return d->tally.history();
}

SavedYouMetrics PersonaEngine::savedYouMetrics() const
{
    std::lock_guard lock(d->mutex);
    return d->tally.metrics();
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
    return {d->activePersonas, std::move(listing.frozenProcesses), d->tally.history(), d->tally.metrics(),
        d->configuration, std::move(listing.resumeFailures)};
}

std::map<std::int32_t, Date> PersonaEngine::sustainedCPUStartTimes() const
{
    return d->rules.sustainedCPUStartTimes();
}

bool PersonaEngine::isBatteryPollingReduced() const
{
    return d->actions.isSamplingSlowed();
}

bool PersonaEngine::holdsSleepAssertion() const
{
    return d->actions.holdsSleep();
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
        d->tally.resetMetrics();
    }
    notifyStateChanged();
}

bool PersonaEngine::isOnBattery() const
{
    return d->rules.isOnBattery();
}

std::vector<RunningProcess> PersonaEngine::runningFreezeCandidates(AutoPersona persona)
{
    std::lock_guard operation(d->operationMutex); // the rules' exclusions serve one run at a time
    const auto config = configuration();
    return d->rules.freezeCandidates(persona, d->watcher.scanProcesses(), config,
        [this](std::int32_t pid) { return d->ledger.stoppedElsewhere(pid); });
}

void PersonaEngine::activatePersona(AutoPersona persona, const std::string& trigger)
{
    std::lock_guard operation(d->operationMutex);
    if (d->isActive(persona) || d->ledger.isClosed())
        return;
    // Models go first: a suspended model server cannot answer its unload requests.
    if (persona == AutoPersona::compileMode && configuration().autoUnloadOllamaEnabled)
        d->actions.unloadModels();

    const auto paused = d->ledger.suspendFor(persona, runningFreezeCandidates(persona));
    personarecords::ActivationOutcome outcome;
    outcome.paused = paused.count + paused.held;
    outcome.failure = paused.failure;
    outcome.trigger = trigger;
    outcome.gigabytesFreed = paused.gigabytesFreed;
    if (persona == AutoPersona::batteryMode)
        outcome.onBattery = d->rules.onBatteryPower();
    d->actions.start(persona, outcome);
    {
        std::lock_guard lock(d->mutex);
        d->activePersonas.insert(persona);
        d->tally.activated(persona, trigger, d->now(), paused.count, paused.gigabytesFreed);
        if (persona == AutoPersona::compileMode)
            d->tally.setBuildProtected(outcome.paused > 0 || outcome.indexerPaused);
    }
    // The persona's own texts where they are true; else lines that say what was done, and why not more.
    const auto texts = personarecords::activationTexts(persona, outcome);
    const auto& line = texts.record;
    d->assistance.record(line.category, line.title, line.detail, line.impactValue, 0, 0, 0);
    d->notifier->post(texts.notification.title, texts.notification.body);
    notifyStateChanged();
}

void PersonaEngine::deactivatePersona(AutoPersona persona)
{
    std::lock_guard operation(d->operationMutex);
    if (!d->isActive(persona))
        return;
    std::set<AutoPersona> others = activePersonas();
    others.erase(persona);
    auto release = d->ledger.release(persona, others, PersonaRules::freezeLists(configuration()));
    personarecords::DeactivationOutcome outcome;
    outcome.resumed = std::move(release.resumed);
    outcome.stillPaused = std::move(release.stillPaused);
    outcome.kept = std::move(release.kept);
    outcome.keptFor = release.keptFor;
    outcome.pausedAnything = release.heldAny;
    d->actions.end(persona, outcome);
    if (persona == AutoPersona::aiFirstMode)
        outcome.compileModeOn = d->isActive(AutoPersona::compileMode);
    else if (persona == AutoPersona::batteryMode)
        outcome.onBattery = d->rules.onBatteryPower();
    {
        std::lock_guard lock(d->mutex);
        d->activePersonas.erase(persona);
        const Date now = d->now();
        outcome.pausedAnything = d->tally.deactivated(persona, now) || outcome.pausedAnything;
        if (persona == AutoPersona::compileMode) {
            outcome.pausedAnything = outcome.pausedAnything || d->tally.buildProtected();
            outcome.buildDetected = d->tally.buildDetected();
            if (const auto saving = d->tally.endBuild(now)) {
                outcome.secondsSaved = saving->seconds;
                outcome.hoursSaved = saving->hours;
            }
        }
    }
    const auto texts = personarecords::deactivationTexts(persona, outcome);
    if (const auto& line = texts.record)
        d->assistance.record(line->category, line->title, line->detail, line->impactValue, outcome.hoursSaved, 0, 1);
    d->notifier->post(texts.notification.title, texts.notification.body);
    notifyStateChanged();
}

std::uint64_t PersonaEngine::processStartTicks(std::int32_t pid) const
{
    return d->ledger.startTicksOf(pid);
}

void PersonaEngine::resumeEverything(std::optional<std::chrono::steady_clock::time_point> deadline)
{
    d->ledger.resumeAll(deadline);
    {
        std::lock_guard lock(d->mutex);
        d->activePersonas.clear();
        d->tally.setBuildProtected(false);
    }
    d->actions.endAll(deadline);
    notifyStateChanged();
}

void PersonaEngine::resumeAllFrozenProcesses()
{
    std::lock_guard operation(d->operationMutex);
    resumeEverything(std::nullopt);
}

bool PersonaEngine::resumeAllBeforeExit(std::chrono::milliseconds budget)
{
    d->ledger.close();
    const auto deadline = Clock::now() + budget;
    // A running operation normally ends soon, and suspends nothing more now; if it does not, resume
    // anyway: the state is guarded on its own, and what is left stays in the state file.
    std::unique_lock operation(d->operationMutex, std::defer_lock);
    (void)operation.try_lock_for(budget / 2);
    resumeEverything(deadline);
    d->ledger.keepResuming(deadline);
    const auto left = frozenProcesses();
    if (left.empty())
        return true;
    std::vector<std::string> names;
    for (const auto& [pid, record] : left)
        names.push_back(record.name);
    notifyStateChanged();
    const auto notification = personarecords::notResumedBeforeQuitting(names);
    d->notifier->post(notification.title, notification.body);
    return false;
}

int PersonaEngine::recoverSuspendedProcesses()
{
    std::lock_guard operation(d->operationMutex);
    const auto recovery = d->ledger.recover();
    if (recovery.adopted)
        notifyStateChanged();
    return recovery.resumed;
}
