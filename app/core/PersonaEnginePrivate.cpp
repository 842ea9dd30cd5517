#include "PersonaEnginePrivate.h"

#include "core/AppSupport.h"
#include "core/UserDefaults.h"
#include "records/ActivePersonaTracker.h"
#include "records/AssistanceTracker.h"

#include "platform/desktop/DesktopNotifier.h"
#include "platform/desktop/LogindSleepInhibitor.h"

#include <QCoreApplication>
#include <QSet>

#include <algorithm>
#include <cmath>

PersonaEngine::Private::Private(XPCConnection& xpcConnection, ProcessWatcher& processWatcher,
    OllamaEngine& ollamaEngine, MemoryEngine& memoryEngine, Options opts)
    : xpc(xpcConnection)
    , watcher(processWatcher)
    , ollama(ollamaEngine)
    , memory(memoryEngine)
    , options(std::move(opts))
    , defaults(options.userDefaults ? *options.userDefaults : UserDefaults::standard())
    , assistance(options.assistanceTracker ? *options.assistanceTracker : AssistanceTracker::shared())
    , inhibitor(options.sleepInhibitor ? options.sleepInhibitor : std::make_shared<platform::LogindSleepInhibitor>())
    , notifier(options.notifier ? options.notifier : std::make_shared<platform::DesktopNotifier>())
    , processTable(options.procRoot)
    , stateFile(options.stateFilePath.isEmpty() ? appSupportFilePath(QString::fromLatin1(kStateFileName))
                                                : options.stateFilePath,
          options.procRoot + "/sys/kernel/random/boot_id")
    , rules(options.procRoot, options.sysRoot, options.session)
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

std::uint64_t PersonaEngine::Private::startTicksOf(std::int32_t pid) const
{
    const auto info = processTable.info(pid);
    return info ? info->startTimeTicks : 0;
}

bool PersonaEngine::Private::isGone(std::int32_t pid, std::uint64_t startTicks) const
{
    const auto info = processTable.info(pid);
    return !info || (startTicks != 0 && info->startTimeTicks != startTicks);
}

bool PersonaEngine::Private::isReused(std::int32_t pid, std::uint64_t startTicks) const
{
    if (startTicks == 0)
        return false;
    const auto info = processTable.info(pid);
    return info && info->startTimeTicks != startTicks;
}

std::uint64_t PersonaEngine::Private::suspendedStartTicks(std::int32_t pid) const
{
    std::lock_guard lock(mutex);
    const auto it = suspensions.find(pid);
    return it == suspensions.end() ? 0 : it->second.startTicks;
}

XPCConnection::Result<void> PersonaEngine::Private::suspend(std::int32_t pid)
{
    auto result = xpc.freezeProcess(pid);
    // A request that timed out may still have been carried out; a stopped process nobody tracks
    // would stay stopped for good, so it is sent one resume that may or may not be needed.
    if (!result.ok() && result.error().domain == XPCConnection::kErrorDomain && result.error().code == -2)
        (void)xpc.resumeProcess(pid);
    return result;
}

void PersonaEngine::Private::addSuspension(
    const FrozenProcess& record, std::uint64_t startTicks, AutoPersona holder, bool single)
{
    std::lock_guard lock(mutex);
    frozenProcesses[record.pid] = record;
    auto& suspension = suspensions[record.pid];
    suspension.startTicks = startTicks;
    suspension.holders.insert(holder);
    suspension.single = suspension.single || single;
    saveStateFileLocked();
}

bool PersonaEngine::Private::stillWanted(std::int32_t pid, const PersonaConfiguration& config) const
{
    std::string name;
    {
        std::lock_guard lock(mutex);
        const auto it = suspensions.find(pid);
        const auto record = frozenProcesses.find(pid);
        if (it == suspensions.end() || record == frozenProcesses.end() || it->second.failedResumes > 0)
            return false;
        name = record->second.name;
        const bool asked = std::any_of(it->second.holders.begin(), it->second.holders.end(), [&](AutoPersona h) {
            if (!activePersonas.contains(h))
                return false;
            return it->second.single || PersonaRules::isOnFreezeList(h, name, config);
        });
        if (!asked)
            return false;
    }
    return !rules.spares(RunningProcess {pid, name, 0, 0, Date()});
}

PersonaEngine::Private::Paused PersonaEngine::Private::suspendFor(
    AutoPersona persona, const std::vector<RunningProcess>& candidates)
{
    Paused paused;
    for (const auto& candidate : candidates) {
        {
            std::lock_guard lock(mutex);
            if (const auto it = suspensions.find(candidate.pid); it != suspensions.end()) {
                // Wanted suspended again: a resume that failed is no longer due.
                it->second.holders.insert(persona);
                it->second.failedResumes = 0;
                it->second.resumeError.clear();
                ++paused.held;
                continue;
            }
        }
        if (quitting)
            break;
        const auto startTicks = startTicksOf(candidate.pid);
        if (auto result = suspend(candidate.pid); !result.ok()) {
            if (!paused.failure)
                paused.failure = result.error();
            continue;
        }
        addSuspension(
            {Uuid::random(), candidate.pid, candidate.name, persona, now(), candidate.memoryMB, candidate.cpuPercent},
            startTicks, persona);
        ++paused.count;
        paused.gigabytesFreed += static_cast<double>(candidate.memoryMB) / 1024.0;
        if (quitting) // a quit started while this one was being suspended
            resumeOrDrop(candidate.pid);
    }
    return paused;
}

void PersonaEngine::Private::removeSuspension(std::int32_t pid)
{
    std::lock_guard lock(mutex);
    frozenProcesses.erase(pid);
    suspensions.erase(pid);
    saveStateFileLocked();
}

void PersonaEngine::Private::saveStateFileLocked()
{
    std::vector<SuspendedProcessFile::Entry> entries;
    entries.reserve(frozenProcesses.size());
    for (const auto& [pid, record] : frozenProcesses) {
        const auto it = suspensions.find(pid);
        entries.push_back({record, it == suspensions.end() ? 0 : it->second.startTicks});
    }
    stateFile.save(entries, indexerPaused);
}

XPCConnection::Result<void> PersonaEngine::Private::pauseIndexer()
{
    auto result = xpc.pauseFileIndexer();
    // A request that timed out may still have been carried out: then the indexer is restarted as if
    // it had been paused, since one left off would stay off.
    const bool maybePaused
        = !result.ok() && result.error().domain == XPCConnection::kErrorDomain && result.error().code == -2;
    if (!result.ok() && !maybePaused)
        return result;
    std::lock_guard lock(mutex);
    indexerPaused = true;
    saveStateFileLocked();
    return result;
}

void PersonaEngine::Private::restoreIndexer()
{
    if (!xpc.resumeFileIndexer().ok())
        return; // still listed: quitting or the next start tries again
    std::lock_guard lock(mutex);
    indexerPaused = false;
    saveStateFileLocked();
}

PersonaEngine::Private::Release PersonaEngine::Private::releaseFor(AutoPersona persona)
{
    // A process this persona wanted suspended stays so while another active persona wants it too: one
    // that suspended it as well, or one whose freeze list names it. When the last persona ends,
    // everything goes, so nothing the engine suspended stays suspended with no persona active.
    Release release;
    bool oneKeeper = true;
    std::lock_guard lock(mutex);
    std::set<AutoPersona> others = activePersonas;
    others.erase(persona);
    for (auto& [pid, suspension] : suspensions) {
        if (!others.empty() && !suspension.holders.erase(persona))
            continue;
        const auto record = frozenProcesses.find(pid);
        const std::string name = record == frozenProcesses.end() ? std::string() : record->second.name;
        for (const auto other : others) {
            if (record != frozenProcesses.end() && PersonaRules::isOnFreezeList(other, name, configuration))
                suspension.holders.insert(other);
        }
        const auto keeper = std::find_if(suspension.holders.begin(), suspension.holders.end(),
            [&](AutoPersona holder) { return others.contains(holder); });
        if (keeper == suspension.holders.end()) {
            release.toResume.emplace_back(pid, name);
            continue;
        }
        release.kept.push_back(name);
        oneKeeper = oneKeeper && (!release.keptFor || *release.keptFor == *keeper);
        release.keptFor = *keeper;
    }
    if (!oneKeeper)
        release.keptFor.reset();
    return release;
}

bool PersonaEngine::Private::resumeOrDrop(std::int32_t pid, bool* ranAgain)
{
    const std::uint64_t startTicks = suspendedStartTicks(pid);
    // Checked before the signal: a reused pid may be a job the user stopped (Ctrl-Z) themselves.
    if (isReused(pid, startTicks)) {
        removeSuspension(pid);
        return true;
    }
    const auto result = xpc.resumeProcess(pid);
    if (ranAgain)
        *ranAgain = result.ok();
    if (result.ok() || isGone(pid, startTicks)) {
        removeSuspension(pid);
        return true;
    }
    noteFailedResume(pid, result.error());
    return false;
}

void PersonaEngine::Private::noteFailedResume(std::int32_t pid, const Error& error)
{
    std::lock_guard lock(mutex);
    const auto it = suspensions.find(pid);
    if (it == suspensions.end())
        return;
    auto& suspension = it->second;
    suspension.holders.clear();
    suspension.failedResumes = std::min(suspension.failedResumes + 1, 16);
    const double wait
        = std::min(firstResumeRetrySeconds * std::pow(2.0, suspension.failedResumes - 1), longestResumeRetrySeconds);
    suspension.nextResume = now().addingTimeInterval(wait);
    suspension.resumeError = error.message;
}

std::map<std::int32_t, std::string> PersonaEngine::Private::resumeFailuresLocked() const
{
    std::map<std::int32_t, std::string> failures;
    for (const auto& [pid, suspension] : suspensions) {
        if (suspension.failedResumes > 0 && frozenProcesses.contains(pid))
            failures.emplace(pid, suspension.resumeError);
    }
    return failures;
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
    // The tracker belongs to the GUI thread; it is created and updated there.
    QMetaObject::invokeMethod(
        app, [names] { ActivePersonaTracker::shared().updateActivePersonas(names); }, Qt::QueuedConnection);
}
