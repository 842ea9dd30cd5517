// Starting and ending personas, and suspending and resuming single processes.

#include "PersonaEngine.h"

#include "PersonaEnginePrivate.h"

#include "engines/MemoryEngine.h"
#include "engines/OllamaEngine.h"
#include "records/AssistanceTracker.h"

#include "ProcessWatcher.h"

#include "platform/desktop/SleepInhibitor.h"
#include "platform/desktop/UserNotifier.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

struct ActivationTexts
{
    AssistanceCategory category;
    const char* title;
    const char* detail;
    const char* impactValue;
    const char* notificationTitle;
    const char* notificationBody; // Compile Mode builds its own
};

ActivationTexts activationTexts(AutoPersona persona)
{
    switch (persona) {
    case AutoPersona::compileMode:
        return {AssistanceCategory::computing, "Compile Shield Engaged",
            "Suspended background AI processes for compilation", "Protected", "⚙️ Compile Mode", ""};
    case AutoPersona::aiFirstMode:
        return {AssistanceCategory::performance, "AI Workload Prioritized",
            "Locked system sleep assertion for local model inference", "Max compute", "🧠 AI First Mode",
            "Model loaded · Background tasks paused"};
    case AutoPersona::batteryMode:
        break;
    }
    return {AssistanceCategory::computing, "Battery Saver Active", "Constrained background compute on battery",
        "Power saved", "🍃 Battery Mode", "Saving power · Resources throttled"};
}

std::pair<const char*, const char*> deactivationTexts(AutoPersona persona)
{
    switch (persona) {
    case AutoPersona::compileMode:
        return {"✅ Build done", "Ollama resumed · Background apps running"};
    case AutoPersona::aiFirstMode:
        return {"💤 AI First ended", "No models loaded"};
    case AutoPersona::batteryMode:
        break;
    }
    return {"⚡ Back on AC", "All processes resumed"};
}

std::string oneDecimal(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

bool contains(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

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

    const auto [count, gigabytesFreed] = d->suspendFor(persona, runningFreezeCandidates(persona));

    switch (persona) {
    case AutoPersona::compileMode:
        d->pauseIndexer();
        break;
    case AutoPersona::aiFirstMode:
        acquireSleepAssertion();
        break;
    case AutoPersona::batteryMode:
        reduceMemoryPolling();
        break;
    }

    {
        std::lock_guard lock(d->mutex);
        d->activePersonas.insert(persona);
        d->personaHistory.push_back({persona, trigger, d->now(), std::nullopt, count});
        d->savedYouMetrics.totalGBFreed += gigabytesFreed;
        d->savedYouMetrics.autonomousActionsCount += count;
    }
    const auto texts = activationTexts(persona);
    d->assistance.record(texts.category, texts.title, texts.detail, texts.impactValue, 0, 0, 0);
    sendActivationNotification(persona, trigger, gigabytesFreed);
    notifyStateChanged();
}

void PersonaEngine::sendActivationNotification(AutoPersona persona, const std::string& trigger, double gigabytesFreed)
{
    const auto memory = d->memory.snapshot();
    const auto texts = activationTexts(persona);
    const std::string body = persona == AutoPersona::compileMode ? trigger + " · " + oneDecimal(gigabytesFreed)
            + "GB freed · " + oneDecimal(memory.freeGB + memory.inactiveGB) + "GB headroom"
                                                                 : texts.notificationBody;
    d->notifier->post(texts.notificationTitle, body);
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
    // A process this persona wanted suspended stays so while another active persona wants it too: one
    // that suspended it as well, or one whose freeze list names it. When the last persona ends,
    // everything goes, so nothing the engine suspended stays suspended with no persona active.
    std::vector<std::int32_t> toResume;
    {
        std::lock_guard lock(d->mutex);
        std::set<AutoPersona> others = d->activePersonas;
        others.erase(persona);
        for (auto& [pid, suspension] : d->suspensions) {
            if (!others.empty() && !suspension.holders.erase(persona))
                continue;
            const auto record = d->frozenProcesses.find(pid);
            for (const auto other : others) {
                if (record != d->frozenProcesses.end()
                    && contains(freezeList(other, d->configuration), record->second.name))
                    suspension.holders.insert(other);
            }
            const bool kept = std::any_of(suspension.holders.begin(), suspension.holders.end(),
                [&](AutoPersona holder) { return others.contains(holder); });
            if (!kept)
                toResume.push_back(pid);
        }
    }
    for (const auto pid : toResume)
        d->resumeOrDrop(pid);

    switch (persona) {
    case AutoPersona::compileMode:
        d->restoreIndexer();
        recordProtectedBuild();
        break;
    case AutoPersona::aiFirstMode:
        releaseSleepAssertion();
        break;
    case AutoPersona::batteryMode:
        restoreMemoryPolling();
        break;
    }

    {
        std::lock_guard lock(d->mutex);
        d->activePersonas.erase(persona);
        auto& history = d->personaHistory;
        const auto open = std::find_if(history.rbegin(), history.rend(),
            [&](const PersonaEvent& e) { return e.persona == persona && !e.deactivated; });
        if (open != history.rend())
            open->deactivated = d->now();
    }
    const auto [title, body] = deactivationTexts(persona);
    d->notifier->post(title, body);
    notifyStateChanged();
}

PersonaEngine::Result<void> PersonaEngine::freezeProcess(std::int32_t pid, const std::string& name)
{
    std::lock_guard operation(d->operationMutex);
    // A freeze the user asked for is held to the same exclusions as the rules: one click must not
    // stop this program, the helper, the desktop or the user's terminal.
    d->exclusions.prepare(d->watcher.scanProcesses(), configuration().neverPauseWhitelist);
    if (const auto reason = d->exclusions.reasonFor(RunningProcess {pid, name, 0, 0, Date()});
        reason != WatchdogExclusions::Reason::none)
        return Error {kErrorDomain, kRefusedCode, WatchdogExclusions::describe(reason)};
    return freezeOnBehalfOf(pid, name, AutoPersona::compileMode);
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
    d->addSuspension({Uuid::random(), pid, name, AutoPersona::compileMode, d->now(), 0, 0.0}, startTicks, holder);
    {
        std::lock_guard lock(d->mutex);
        d->savedYouMetrics.autonomousActionsCount += 1;
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
    if (auto result = d->xpc.resumeProcess(pid); !result.ok())
        return result;
    d->removeSuspension(pid);
    notifyStateChanged();
    return {};
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
    }
    bool indexerPaused = false;
    {
        std::lock_guard lock(d->mutex);
        indexerPaused = d->indexerPaused;
    }
    if ((personas.contains(AutoPersona::compileMode) || indexerPaused) && inTime())
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
    return frozenProcesses().empty();
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
        if (d->xpc.resumeProcess(pid).ok()) {
            ++resumed;
            continue;
        }
        std::lock_guard lock(d->mutex);
        d->frozenProcesses[pid] = entry.process;
        d->suspensions[pid] = {{}, entry.startTimeTicks};
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
