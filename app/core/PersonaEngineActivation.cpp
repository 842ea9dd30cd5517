// Starting and ending personas, and suspending and resuming single processes.

#include "PersonaEngine.h"

#include "PersonaEnginePrivate.h"
#include "PersonaRecords.h"
#include "SuspensionReview.h"

#include "engines/MemoryEngine.h"
#include "engines/OllamaEngine.h"
#include "records/AssistanceTracker.h"

#include "ProcessWatcher.h"

#include "platform/desktop/SleepInhibitor.h"
#include "platform/desktop/UserNotifier.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

} // namespace

void PersonaEngine::activatePersona(AutoPersona persona, const std::string& trigger)
{
    std::lock_guard operation(d->operationMutex);
    if (d->isActive(persona) || d->quitting)
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
    const auto paused = d->suspendFor(persona, candidates);

    personarecords::ActivationOutcome outcome;
    outcome.paused = paused.count + paused.held;
    outcome.candidates = candidates.size();
    outcome.failure = paused.failure;
    outcome.trigger = trigger;
    outcome.gigabytesFreed = paused.gigabytesFreed;
    switch (persona) {
    case AutoPersona::compileMode: {
        if (auto indexer = d->pauseIndexer(); indexer.ok())
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

void PersonaEngine::recordProtectedBuild()
{
    double hoursSaved = 0;
    std::int64_t secondsSaved = 0;
    {
        std::lock_guard lock(d->mutex);
        // A build nothing was paused for was not protected: no line, no time saved, no count.
        if (!std::exchange(d->buildProtected, false))
            return;
        d->savedYouMetrics.buildsProtected += 1;
        const auto& history = d->personaHistory;
        const auto newest = std::find_if(history.rbegin(), history.rend(),
            [](const PersonaEvent& e) { return e.persona == AutoPersona::compileMode; });
        if (newest == history.rend())
            return;
        const double duration = d->now().timeIntervalSince(newest->activated);
        secondsSaved = std::max<std::int64_t>(static_cast<std::int64_t>(std::trunc(duration * 0.5)), 5);
        hoursSaved = duration / 3600.0 * 0.5;
        d->savedYouMetrics.totalHoursSaved += hoursSaved;
    }
    d->assistance.record(AssistanceCategory::computing, "Build Protected",
        "Build completed with zero AI RAM collisions", "~" + std::to_string(secondsSaved) + "s saved", hoursSaved, 0,
        1);
}

void PersonaEngine::deactivatePersona(AutoPersona persona)
{
    std::lock_guard operation(d->operationMutex);
    if (!d->isActive(persona))
        return;
    auto release = d->releaseFor(persona);
    personarecords::DeactivationOutcome outcome;
    outcome.kept = std::move(release.kept);
    outcome.keptFor = release.keptFor;
    for (const auto& [pid, name] : release.toResume) {
        bool ranAgain = false;
        if (d->resumeOrDrop(pid, &ranAgain)) {
            if (ranAgain)
                outcome.resumed.push_back(name);
            continue;
        }
        std::lock_guard lock(d->mutex);
        if (d->frozenProcesses.contains(pid))
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
    const auto notification = personarecords::deactivationNotification(persona, outcome);
    d->notifier->post(notification.title, notification.body);
    notifyStateChanged();
}

void PersonaEngine::endCompileModesOwnAction(personarecords::DeactivationOutcome& outcome)
{
    // An indexer this build never paused is left alone, and nothing is said about it.
    bool indexerPaused = false;
    {
        std::lock_guard lock(d->mutex);
        indexerPaused = d->indexerPaused;
        outcome.pausedAnything = outcome.pausedAnything || d->buildProtected;
    }
    if (indexerPaused) {
        d->restoreIndexer();
        std::lock_guard lock(d->mutex);
        outcome.indexerStillPaused = d->indexerPaused;
        outcome.indexerResumed = !d->indexerPaused;
    }
    recordProtectedBuild();
}

PersonaEngine::Result<void> PersonaEngine::freezeProcess(
    std::int32_t pid, const std::string& name, std::optional<std::uint64_t> startTicks)
{
    std::lock_guard operation(d->operationMutex);
    // A freeze the user asked for is held to the same exclusions as the rules: one click must not
    // stop this program, the helper, the desktop or the user's terminal.
    d->exclusions.prepare(d->watcher.scanProcesses(), configuration().neverPauseWhitelist);
    if (const auto reason = d->exclusions.reasonFor(RunningProcess {pid, name, 0, 0, Date()});
        reason != WatchdogExclusions::Reason::none)
        return Error {kErrorDomain, kRefusedCode, WatchdogExclusions::describe(reason)};
    if (startTicks && (*startTicks == 0 || d->startTicksOf(pid) != *startTicks))
        return Error {kErrorDomain, kRefusedCode, "the process you chose has ended"};
    return freezeOnBehalfOf(pid, name, AutoPersona::compileMode);
}

std::uint64_t PersonaEngine::processStartTicks(std::int32_t pid) const
{
    return d->startTicksOf(pid);
}

PersonaEngine::Result<void> PersonaEngine::freezeOnBehalfOf(
    std::int32_t pid, const std::string& name, AutoPersona holder)
{
    std::lock_guard operation(d->operationMutex);
    if (d->quitting)
        return Error {kErrorDomain, 1, "Quorvane Pro is quitting"};
    const auto startTicks = d->startTicksOf(pid);
    if (auto result = d->suspend(pid); !result.ok())
        return result;
    // The record names Compile Mode whoever asked; holder says which persona keeps it suspended.
    d->addSuspension({Uuid::random(), pid, name, AutoPersona::compileMode, d->now(), 0, 0.0}, startTicks, holder, true);
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
    if (d->isReused(pid, d->suspendedStartTicks(pid))) {
        d->removeSuspension(pid); // the process we suspended is gone; the pid's new owner is not ours
        notifyStateChanged();
        return {};
    }
    if (auto result = d->xpc.resumeProcess(pid); !result.ok()) {
        // Asked to run again, it is tried again until it does; its row says why it has not yet.
        d->noteFailedResume(pid, result.error());
        notifyStateChanged();
        return result;
    }
    d->removeSuspension(pid);
    notifyStateChanged();
    return {};
}

void PersonaEngine::checkSuspendedProcesses()
{
    std::lock_guard operation(d->operationMutex);
    if (d->quitting)
        return;
    std::map<std::int32_t, std::uint64_t> held;
    {
        std::lock_guard lock(d->mutex);
        for (const auto& [pid, suspension] : d->suspensions)
            held.emplace(pid, suspension.startTicks);
    }
    const auto findings = SuspensionReview(d->options.procRoot).review(held);
    if (findings.running.empty() && findings.gone.empty())
        return;
    for (const auto pid : findings.gone)
        d->removeSuspension(pid);
    if (!findings.running.empty()) {
        const auto config = configuration();
        d->exclusions.prepare(d->watcher.scanProcesses(), config.neverPauseWhitelist);
        for (const auto pid : findings.running) {
            // Stopped again it keeps its record; else it runs, and is not listed as frozen.
            if (!d->stillWanted(pid, config) || !d->suspend(pid).ok())
                d->removeSuspension(pid);
        }
    }
    notifyStateChanged();
}

int PersonaEngine::retryFailedResumes()
{
    std::lock_guard operation(d->operationMutex);
    if (d->quitting)
        return 0;
    std::vector<std::int32_t> due;
    std::size_t waiting = 0;
    {
        std::lock_guard lock(d->mutex);
        const Date now = d->now();
        for (const auto& [pid, suspension] : d->suspensions) {
            if (suspension.failedResumes == 0)
                continue;
            ++waiting;
            // A wall clock set back far is no reason to wait longer than the longest wait.
            const double wait = suspension.nextResume.timeIntervalSince(now);
            if (wait <= 0 || wait > longestResumeRetrySeconds)
                due.push_back(pid);
        }
    }
    if (due.empty())
        return int(waiting);
    for (const auto pid : due) {
        if (d->resumeOrDrop(pid))
            --waiting;
    }
    notifyStateChanged();
    return int(waiting);
}

void PersonaEngine::resumeEverything(std::optional<std::chrono::steady_clock::time_point> deadline)
{
    const auto inTime = [&] { return !deadline || Clock::now() < *deadline; };
    for (const auto& [pid, record] : frozenProcesses()) {
        if (!inTime())
            break;
        d->resumeOrDrop(pid);
    }
    std::set<AutoPersona> personas;
    {
        std::lock_guard lock(d->mutex);
        personas.swap(d->activePersonas);
        d->buildProtected = false;
    }
    bool indexerPaused = false;
    {
        std::lock_guard lock(d->mutex);
        indexerPaused = d->indexerPaused;
    }
    if (indexerPaused && inTime())
        d->restoreIndexer();
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
    d->quitting = true;
    const auto deadline = Clock::now() + budget;
    // A running operation normally ends soon, and suspends nothing more now; if it does not, resume
    // anyway: the state is guarded on its own, and what is left stays in the state file.
    std::unique_lock operation(d->operationMutex, std::defer_lock);
    (void)operation.try_lock_for(budget / 2);
    resumeEverything(deadline);
    // A refusal may pass (a helper restarting, a full rate window): try again while the budget lasts.
    auto pause = std::chrono::milliseconds(100);
    while (!frozenProcesses().empty() && Clock::now() + pause < deadline) {
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(800));
        for (const auto& [pid, record] : frozenProcesses()) {
            if (Clock::now() >= deadline)
                break;
            d->resumeOrDrop(pid);
        }
    }
    const auto left = frozenProcesses();
    if (left.empty())
        return true;
    std::vector<std::string> names;
    for (const auto& [pid, record] : left)
        names.push_back(record.name);
    notifyStateChanged();
    d->notifier->post("Quorvane Pro",
        "Could not resume " + personarecords::shortList(names)
            + " before quitting; they stay paused until Quorvane Pro starts again.");
    return false;
}

int PersonaEngine::recoverSuspendedProcesses()
{
    std::lock_guard operation(d->operationMutex);
    int resumed = 0;
    bool adopted = false;
    const auto left = d->stateFile.read();
    for (const auto& entry : left.processes) {
        const std::int32_t pid = entry.process.pid;
        {
            // What this run suspended itself is listed too; it is no leftover of an earlier run.
            std::lock_guard lock(d->mutex);
            if (d->suspensions.count(pid))
                continue;
        }
        const auto info = d->processTable.info(pid);
        // Only the very process that was suspended, and only while it is still stopped.
        if (!info || entry.startTimeTicks == 0 || info->startTimeTicks != entry.startTimeTicks || info->state != 'T')
            continue;
        const auto result = d->xpc.resumeProcess(pid);
        if (result.ok()) {
            ++resumed;
            continue;
        }
        {
            std::lock_guard lock(d->mutex);
            d->frozenProcesses[pid] = entry.process;
            d->suspensions[pid] = {};
            d->suspensions[pid].startTicks = entry.startTimeTicks;
        }
        d->noteFailedResume(pid, result.error());
        adopted = true;
    }
    bool restoreIndexer = false;
    {
        std::lock_guard lock(d->mutex);
        // The indexer an earlier run paused is started again, unless this run has paused it itself;
        // if that fails it stays listed, and quitting or the next start tries again.
        restoreIndexer = left.indexerPaused && !d->indexerPaused;
        d->indexerPaused = d->indexerPaused || left.indexerPaused;
        d->saveStateFileLocked();
    }
    if (restoreIndexer)
        d->restoreIndexer();
    if (adopted)
        notifyStateChanged();
    return resumed;
}
