// Starting and ending personas, and suspending and resuming single processes.

#include "PersonaEngine.h"

#include "PersonaEnginePrivate.h"
#include "PersonaRecords.h"

#include "engines/MemoryEngine.h"
#include "engines/OllamaEngine.h"
#include "records/AssistanceTracker.h"

#include "ProcessWatcher.h"

#include "platform/desktop/SleepInhibitor.h"
#include "platform/desktop/UserNotifier.h"

#include <algorithm>
#include <cmath>

namespace {

using Clock = std::chrono::steady_clock;

} // namespace

void PersonaEngine::activatePersona(AutoPersona persona, const std::string& trigger)
{
    std::lock_guard operation(d->operationMutex);
    if (d->isActive(persona) || d->ledger.isClosed())
        return;
    const auto config = configuration();
    // Models go first: a suspended model server cannot answer its unload requests.
    if (persona == AutoPersona::compileMode && config.autoUnloadOllamaEnabled) {
        const auto loaded = d->ollama.loadedModels();
        if (loaded.ok()) {
            for (const auto& model : loaded.models)
                (void)d->ollama.unloadModel(model.name);
        }
    }

    const auto candidates = runningFreezeCandidates(persona);
    const auto paused = d->ledger.suspendFor(persona, candidates);

    personarecords::ActivationOutcome outcome;
    outcome.paused = paused.count + paused.held;
    outcome.failure = paused.failure;
    outcome.trigger = trigger;
    outcome.gigabytesFreed = paused.gigabytesFreed;
    switch (persona) {
    case AutoPersona::compileMode: {
        if (auto indexer = d->ledger.pauseIndexer(); indexer.ok())
            outcome.indexerPaused = true;
        else if (!outcome.failure)
            outcome.failure = indexer.error();
        const auto memory = d->memory.snapshot();
        outcome.headroomGB = memory.freeGB + memory.inactiveGB;
        break;
    }
    case AutoPersona::aiFirstMode: {
        acquireSleepAssertion();
        outcome.sleepHeld = holdsSleepAssertion();
        // Started by hand it may have no model to serve; its notification says so.
        const auto loaded = d->ollama.loadedModels();
        outcome.modelLoaded = loaded.ok() && !loaded.models.empty();
        break;
    }
    case AutoPersona::batteryMode:
        reduceMemoryPolling();
        outcome.samplingSlowed = isBatteryPollingReduced();
        break;
    }

    {
        std::lock_guard lock(d->mutex);
        d->activePersonas.insert(persona);
        d->personaHistory.push_back({persona, trigger, d->now(), std::nullopt, paused.count});
        d->savedYouMetrics.totalGBFreed += paused.gigabytesFreed;
        d->savedYouMetrics.autonomousActionsCount += paused.count;
        if (persona == AutoPersona::compileMode)
            d->buildProtected = outcome.paused > 0 || outcome.indexerPaused;
    }
    // The persona's own texts where they are true; else lines that say what was done, and why not more.
    const auto texts = personarecords::activationTexts(persona, outcome);
    const auto& line = texts.record;
    d->assistance.record(line.category, line.title, line.detail, line.impactValue, 0, 0, 0);
    d->notifier->post(texts.notification.title, texts.notification.body);
    notifyStateChanged();
}

void PersonaEngine::acquireSleepAssertion()
{
    {
        std::lock_guard lock(d->mutex);
        if (d->holdsSleepAssertion)
            return;
    }
    const bool held = d->inhibitor->acquire();
    std::lock_guard lock(d->mutex);
    d->holdsSleepAssertion = held;
}

void PersonaEngine::releaseSleepAssertion()
{
    {
        std::lock_guard lock(d->mutex);
        if (!d->holdsSleepAssertion)
            return;
        d->holdsSleepAssertion = false;
    }
    d->inhibitor->release();
}

void PersonaEngine::reduceMemoryPolling()
{
    // Only a sampling loop that runs is slowed: none is started for Battery Mode, and none is left
    // running after it.
    if (!d->memory.isPolling())
        return;
    {
        std::lock_guard lock(d->mutex);
        if (d->isBatteryPollingReduced)
            return;
        d->isBatteryPollingReduced = true;
        d->originalMemoryPollInterval = d->memory.interval();
    }
    d->memory.startPolling(batteryMemoryPollInterval);
}

void PersonaEngine::restoreMemoryPolling()
{
    double interval = 0;
    {
        std::lock_guard lock(d->mutex);
        if (!d->isBatteryPollingReduced)
            return;
        d->isBatteryPollingReduced = false;
        interval = d->originalMemoryPollInterval;
    }
    // Whoever ran the loop may have stopped it meanwhile; then it stays stopped.
    if (d->memory.isPolling())
        d->memory.startPolling(interval);
}

void PersonaEngine::countProtectedBuild(personarecords::DeactivationOutcome& outcome)
{
    std::lock_guard lock(d->mutex);
    // A build nothing was paused for was not protected: no line, no time saved, no count.
    if (!std::exchange(d->buildProtected, false))
        return;
    d->savedYouMetrics.buildsProtected += 1;
    const auto& history = d->personaHistory;
    const auto newest = std::find_if(
        history.rbegin(), history.rend(), [](const PersonaEvent& e) { return e.persona == AutoPersona::compileMode; });
    if (newest == history.rend())
        return;
    const double duration = d->now().timeIntervalSince(newest->activated);
    outcome.secondsSaved = std::max<std::int64_t>(static_cast<std::int64_t>(std::trunc(duration * 0.5)), 5);
    outcome.hoursSaved = duration / 3600.0 * 0.5;
    d->savedYouMetrics.totalHoursSaved += outcome.hoursSaved;
}

void PersonaEngine::deactivatePersona(AutoPersona persona)
{
    std::lock_guard operation(d->operationMutex);
    if (!d->isActive(persona))
        return;
    std::set<AutoPersona> others = activePersonas();
    others.erase(persona);
    auto release = d->ledger.releaseFor(persona, others, Private::listedIn(configuration()));
    personarecords::DeactivationOutcome outcome;
    outcome.kept = std::move(release.kept);
    outcome.keptFor = release.keptFor;
    for (const auto& [pid, name] : release.toResume) {
        bool ranAgain = false;
        if (d->ledger.resumeOrDrop(pid, &ranAgain)) {
            if (ranAgain)
                outcome.resumed.push_back(name);
            continue;
        }
        if (d->ledger.holds(pid))
            outcome.stillPaused.push_back(name);
    }

    outcome.pausedAnything = !release.toResume.empty() || !outcome.kept.empty();
    switch (persona) {
    case AutoPersona::compileMode:
        endCompileModesOwnAction(outcome);
        break;
    case AutoPersona::aiFirstMode: {
        releaseSleepAssertion();
        const auto loaded = d->ollama.loadedModels();
        outcome.modelLoaded = loaded.ok() && !loaded.models.empty();
        outcome.compileModeOn = d->isActive(AutoPersona::compileMode);
        break;
    }
    case AutoPersona::batteryMode:
        restoreMemoryPolling();
        outcome.onBattery = isOnBattery();
        break;
    }

    {
        std::lock_guard lock(d->mutex);
        d->activePersonas.erase(persona);
        auto& history = d->personaHistory;
        const auto open = std::find_if(history.rbegin(), history.rend(),
            [&](const PersonaEvent& e) { return e.persona == persona && !e.deactivated; });
        if (open != history.rend()) {
            open->deactivated = d->now();
            outcome.pausedAnything = outcome.pausedAnything || open->processesAffected > 0;
        }
    }
    const auto texts = personarecords::deactivationTexts(persona, outcome);
    if (const auto& line = texts.record)
        d->assistance.record(line->category, line->title, line->detail, line->impactValue, outcome.hoursSaved, 0, 1);
    d->notifier->post(texts.notification.title, texts.notification.body);
    notifyStateChanged();
}

void PersonaEngine::endCompileModesOwnAction(personarecords::DeactivationOutcome& outcome)
{
    // An indexer this build never paused is left alone, and nothing is said about it.
    const bool indexerPaused = d->ledger.indexerPaused();
    {
        std::lock_guard lock(d->mutex);
        outcome.pausedAnything = outcome.pausedAnything || d->buildProtected;
    }
    if (indexerPaused) {
        d->ledger.restoreIndexer();
        outcome.indexerStillPaused = d->ledger.indexerPaused();
        outcome.indexerResumed = !outcome.indexerStillPaused;
    }
    countProtectedBuild(outcome);
}

PersonaEngine::Result<void> PersonaEngine::freezeProcess(std::int32_t pid, const std::string& name)
{
    std::lock_guard operation(d->operationMutex);
    // A freeze the user asked for is held to the same exclusions as the rules: one click must not
    // stop this program, the helper, the desktop or the user's terminal.
    d->rules.prepare(d->watcher.scanProcesses(), configuration());
    if (const auto reason = d->rules.whySpared(RunningProcess {pid, name, 0, 0, Date()});
        reason != WatchdogExclusions::Reason::none)
        return Error {kErrorDomain, kRefusedCode, WatchdogExclusions::describe(reason)};
    return freezeOnBehalfOf(pid, name, AutoPersona::compileMode);
}

PersonaEngine::Result<void> PersonaEngine::freezeOnBehalfOf(
    std::int32_t pid, const std::string& name, AutoPersona holder)
{
    std::lock_guard operation(d->operationMutex);
    if (d->ledger.isClosed())
        return Error {kErrorDomain, 1, "Quorvane Pro is quitting"};
    if (auto result = d->ledger.suspendSingle(pid, name, holder); !result.ok())
        return result;
    {
        std::lock_guard lock(d->mutex);
        d->savedYouMetrics.autonomousActionsCount += 1;
        if (holder == AutoPersona::compileMode && d->activePersonas.contains(AutoPersona::compileMode))
            d->buildProtected = true;
    }
    notifyStateChanged();
    return {};
}

PersonaEngine::Result<void> PersonaEngine::resumeProcess(std::int32_t pid)
{
    std::lock_guard operation(d->operationMutex);
    auto result = d->ledger.resume(pid);
    notifyStateChanged();
    return result;
}

void PersonaEngine::checkSuspendedProcesses()
{
    std::lock_guard operation(d->operationMutex);
    if (d->ledger.isClosed())
        return;
    const auto findings = d->ledger.review();
    if (findings.running.empty() && findings.gone.empty())
        return;
    if (!findings.running.empty()) {
        const auto config = configuration();
        d->rules.prepare(d->watcher.scanProcesses(), config);
        d->ledger.stopAgainOrForget(findings.running, activePersonas(), Private::listedIn(config),
            [this](const RunningProcess& process) { return d->rules.spares(process); });
    }
    notifyStateChanged();
}

int PersonaEngine::retryFailedResumes()
{
    std::lock_guard operation(d->operationMutex);
    if (d->ledger.isClosed())
        return 0;
    const auto retry = d->ledger.retryFailedResumes();
    if (retry.tried)
        notifyStateChanged();
    return retry.waiting;
}

void PersonaEngine::resumeEverything(std::optional<std::chrono::steady_clock::time_point> deadline)
{
    d->ledger.resumeAll(deadline);
    std::set<AutoPersona> personas;
    {
        std::lock_guard lock(d->mutex);
        personas.swap(d->activePersonas);
        d->buildProtected = false;
    }
    if (d->ledger.indexerPaused() && (!deadline || Clock::now() < *deadline))
        d->ledger.restoreIndexer();
    releaseSleepAssertion();
    restoreMemoryPolling();
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
