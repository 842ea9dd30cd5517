#include "SuspensionLedger.h"

#include "core/AppSupport.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

} // namespace

SuspensionLedger::SuspensionLedger(
    XPCConnection& xpc, const std::string& procRoot, QString stateFilePath, std::function<Date()> clock)
    : m_xpc(xpc)
    , m_processTable(procRoot)
    , m_review(procRoot)
    , m_file(stateFilePath.isEmpty() ? appSupportFilePath(QString::fromLatin1(kStateFileName)) : stateFilePath,
          procRoot + "/sys/kernel/random/boot_id")
    , m_clock(std::move(clock))
{
}

SuspensionLedger::Listing SuspensionLedger::listing() const
{
    std::lock_guard lock(m_mutex);
    return {m_frozen, resumeFailuresLocked()};
}

std::map<std::int32_t, FrozenProcess> SuspensionLedger::frozenProcesses() const
{
    std::lock_guard lock(m_mutex);
    return m_frozen;
}

bool SuspensionLedger::holds(std::int32_t pid) const
{
    std::lock_guard lock(m_mutex);
    return m_frozen.contains(pid);
}

bool SuspensionLedger::indexerPaused() const
{
    std::lock_guard lock(m_mutex);
    return m_indexerPaused;
}

Date SuspensionLedger::now() const
{
    return m_clock ? m_clock() : Date::now();
}

std::uint64_t SuspensionLedger::startTicksOf(std::int32_t pid) const
{
    const auto info = m_processTable.info(pid);
    return info ? info->startTimeTicks : 0;
}

bool SuspensionLedger::isGone(std::int32_t pid, std::uint64_t startTicks) const
{
    const auto info = m_processTable.info(pid);
    return !info || (startTicks != 0 && info->startTimeTicks != startTicks);
}

bool SuspensionLedger::isReused(std::int32_t pid, std::uint64_t startTicks) const
{
    if (startTicks == 0)
        return false;
    const auto info = m_processTable.info(pid);
    return info && info->startTimeTicks != startTicks;
}

std::uint64_t SuspensionLedger::suspendedStartTicks(std::int32_t pid) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_suspensions.find(pid);
    return it == m_suspensions.end() ? 0 : it->second.startTicks;
}

bool SuspensionLedger::stoppedElsewhere(std::int32_t pid) const
{
    const auto info = m_processTable.info(pid);
    return info && (info->state == 'T' || info->state == 't') && !holds(pid);
}

SuspensionLedger::Result<void> SuspensionLedger::suspend(std::int32_t pid, std::uint64_t startTicks)
{
    auto result = m_xpc.freezeProcess(pid, startTicks != 0 ? std::optional(startTicks) : std::nullopt);
    // A stopped process nobody tracks would stay stopped for good, so one whose request timed out
    // is sent one resume that may or may not be needed.
    if (!result.ok() && XPCConnection::timedOut(result.error()))
        (void)m_xpc.resumeProcess(pid);
    return result;
}

void SuspensionLedger::add(const FrozenProcess& record, std::uint64_t startTicks, AutoPersona holder, bool single)
{
    std::lock_guard lock(m_mutex);
    m_frozen[record.pid] = record;
    auto& suspension = m_suspensions[record.pid];
    suspension.startTicks = startTicks;
    suspension.holders.insert(holder);
    suspension.single = suspension.single || single;
    saveLocked();
}

void SuspensionLedger::remove(std::int32_t pid)
{
    std::lock_guard lock(m_mutex);
    m_frozen.erase(pid);
    m_suspensions.erase(pid);
    saveLocked();
}

SuspensionLedger::Paused SuspensionLedger::suspendFor(
    AutoPersona persona, const std::vector<RunningProcess>& candidates)
{
    Paused paused;
    for (const auto& candidate : candidates) {
        {
            std::lock_guard lock(m_mutex);
            if (const auto it = m_suspensions.find(candidate.pid); it != m_suspensions.end()) {
                // Wanted suspended again: a resume that failed is no longer due.
                it->second.holders.insert(persona);
                it->second.failedResumes = 0;
                it->second.resumeError.clear();
                ++paused.held;
                continue;
            }
        }
        if (m_closed)
            break;
        const auto startTicks = startTicksOf(candidate.pid);
        if (auto result = suspend(candidate.pid, startTicks); !result.ok()) {
            if (!paused.failure)
                paused.failure = result.error();
            continue;
        }
        add({Uuid::random(), candidate.pid, candidate.name, persona, now(), candidate.memoryMB, candidate.cpuPercent},
            startTicks, persona);
        ++paused.count;
        paused.gigabytesFreed += static_cast<double>(candidate.memoryMB) / 1024.0;
        if (m_closed) // a quit started while this one was being suspended
            resumeOrDrop(candidate.pid);
    }
    return paused;
}

SuspensionLedger::Result<void> SuspensionLedger::suspendSingle(
    std::int32_t pid, const std::string& name, AutoPersona holder, std::optional<std::uint64_t> chosenStartTicks)
{
    const auto startTicks = chosenStartTicks.value_or(startTicksOf(pid));
    if (auto result = suspend(pid, startTicks); !result.ok())
        return result;
    // The record names Compile Mode whoever asked; holder says which persona keeps it suspended.
    add({Uuid::random(), pid, name, AutoPersona::compileMode, now(), 0, 0.0}, startTicks, holder, true);
    return {};
}

SuspensionLedger::Release SuspensionLedger::release(
    AutoPersona persona, const std::set<AutoPersona>& others, const Listed& listed)
{
    Release release;
    const auto toResume = releaseFor(persona, others, listed, release);
    release.heldAny = !toResume.empty() || !release.kept.empty();
    for (const auto& [pid, name] : toResume) {
        bool ranAgain = false;
        if (resumeOrDrop(pid, &ranAgain)) {
            if (ranAgain)
                release.resumed.push_back(name);
            continue;
        }
        if (holds(pid))
            release.stillPaused.push_back(name);
    }
    return release;
}

std::vector<std::pair<std::int32_t, std::string>> SuspensionLedger::releaseFor(
    AutoPersona persona, const std::set<AutoPersona>& others, const Listed& listed, Release& release)
{
    std::vector<std::pair<std::int32_t, std::string>> toResume;
    bool oneKeeper = true;
    std::lock_guard lock(m_mutex);
    for (auto& [pid, suspension] : m_suspensions) {
        if (!others.empty() && !suspension.holders.erase(persona))
            continue;
        const auto record = m_frozen.find(pid);
        const std::string name = record == m_frozen.end() ? std::string() : record->second.name;
        for (const auto other : others) {
            if (record != m_frozen.end() && listed(other, name))
                suspension.holders.insert(other);
        }
        const auto keeper = std::find_if(suspension.holders.begin(), suspension.holders.end(),
            [&](AutoPersona holder) { return others.contains(holder); });
        if (keeper == suspension.holders.end()) {
            toResume.emplace_back(pid, name);
            continue;
        }
        release.kept.push_back(name);
        oneKeeper = oneKeeper && (!release.keptFor || *release.keptFor == *keeper);
        release.keptFor = *keeper;
    }
    if (!oneKeeper)
        release.keptFor.reset();
    return toResume;
}

bool SuspensionLedger::resumeOrDrop(std::int32_t pid, bool* ranAgain)
{
    const std::uint64_t startTicks = suspendedStartTicks(pid);
    // Checked before the signal: a reused pid may be a job the user stopped (Ctrl-Z) themselves.
    if (isReused(pid, startTicks)) {
        remove(pid);
        return true;
    }
    const auto result = m_xpc.resumeProcess(pid);
    if (ranAgain)
        *ranAgain = result.ok();
    if (result.ok() || isGone(pid, startTicks)) {
        remove(pid);
        return true;
    }
    noteFailedResume(pid, result.error());
    return false;
}

SuspensionLedger::Result<void> SuspensionLedger::resume(std::int32_t pid)
{
    if (isReused(pid, suspendedStartTicks(pid))) {
        remove(pid); // the process we suspended is gone; the pid's new owner is not ours
        return {};
    }
    if (auto result = m_xpc.resumeProcess(pid); !result.ok()) {
        // Asked to run again, it is tried again until it does; its row says why it has not yet.
        noteFailedResume(pid, result.error());
        return result;
    }
    remove(pid);
    return {};
}

void SuspensionLedger::noteFailedResume(std::int32_t pid, const Error& error)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_suspensions.find(pid);
    if (it == m_suspensions.end())
        return;
    auto& suspension = it->second;
    suspension.holders.clear();
    suspension.failedResumes = std::min(suspension.failedResumes + 1, 16);
    const double wait
        = std::min(firstResumeRetrySeconds * std::pow(2.0, suspension.failedResumes - 1), longestResumeRetrySeconds);
    suspension.nextResume = now().addingTimeInterval(wait);
    suspension.resumeError = error.message;
}

SuspensionLedger::Retry SuspensionLedger::retryFailedResumes()
{
    std::vector<std::int32_t> due;
    Retry retry;
    {
        std::lock_guard lock(m_mutex);
        const Date now = this->now();
        for (const auto& [pid, suspension] : m_suspensions) {
            if (suspension.failedResumes == 0)
                continue;
            ++retry.waiting;
            // A wall clock set back far is no reason to wait longer than the longest wait.
            const double wait = suspension.nextResume.timeIntervalSince(now);
            if (wait <= 0 || wait > longestResumeRetrySeconds)
                due.push_back(pid);
        }
    }
    retry.tried = !due.empty();
    for (const auto pid : due) {
        if (resumeOrDrop(pid))
            --retry.waiting;
    }
    return retry;
}

void SuspensionLedger::resumeAll(std::optional<std::chrono::steady_clock::time_point> deadline)
{
    for (const auto& [pid, record] : frozenProcesses()) {
        if (deadline && Clock::now() >= *deadline)
            break;
        resumeOrDrop(pid);
    }
}

void SuspensionLedger::keepResuming(std::chrono::steady_clock::time_point deadline)
{
    // A refusal may pass (a helper restarting, a full rate window): try again while the time lasts.
    auto pause = std::chrono::milliseconds(100);
    while (!frozenProcesses().empty() && Clock::now() + pause < deadline) {
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(800));
        resumeAll(deadline);
    }
}

std::map<std::int32_t, std::string> SuspensionLedger::resumeFailuresLocked() const
{
    std::map<std::int32_t, std::string> failures;
    for (const auto& [pid, suspension] : m_suspensions) {
        if (suspension.failedResumes > 0 && m_frozen.contains(pid))
            failures.emplace(pid, suspension.resumeError);
    }
    return failures;
}

void SuspensionLedger::saveLocked()
{
    std::vector<SuspendedProcessFile::Entry> entries;
    entries.reserve(m_frozen.size());
    for (const auto& [pid, record] : m_frozen) {
        const auto it = m_suspensions.find(pid);
        entries.push_back({record, it == m_suspensions.end() ? 0 : it->second.startTicks});
    }
    m_file.save(entries, m_indexerPaused);
}

SuspensionReview::Findings SuspensionLedger::review()
{
    std::map<std::int32_t, std::uint64_t> held;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [pid, suspension] : m_suspensions)
            held.emplace(pid, suspension.startTicks);
    }
    auto findings = m_review.review(held);
    for (const auto pid : findings.gone)
        remove(pid);
    return findings;
}

std::optional<std::string> SuspensionLedger::wantedName(
    std::int32_t pid, const std::set<AutoPersona>& active, const Listed& listed) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_suspensions.find(pid);
    const auto record = m_frozen.find(pid);
    if (it == m_suspensions.end() || record == m_frozen.end() || it->second.failedResumes > 0)
        return std::nullopt;
    const std::string& name = record->second.name;
    const bool asked = std::any_of(it->second.holders.begin(), it->second.holders.end(),
        [&](AutoPersona h) { return active.contains(h) && (it->second.single || listed(h, name)); });
    return asked ? std::optional(name) : std::nullopt;
}

void SuspensionLedger::stopAgainOrForget(const std::vector<std::int32_t>& running, const std::set<AutoPersona>& active,
    const Listed& listed, const Spared& spared)
{
    for (const auto pid : running) {
        // Stopped again it keeps its record; else it runs, and is not listed as frozen.
        const auto name = wantedName(pid, active, listed);
        if (!name || spared(RunningProcess {pid, *name, 0, 0, Date()}) || !suspend(pid, suspendedStartTicks(pid)).ok())
            remove(pid);
    }
}

SuspensionLedger::Result<void> SuspensionLedger::pauseIndexer()
{
    auto result = m_xpc.pauseFileIndexer();
    // One that timed out is restarted as if it had been paused, since one left off would stay off.
    if (!result.ok() && !XPCConnection::timedOut(result.error()))
        return result;
    std::lock_guard lock(m_mutex);
    m_indexerPaused = true;
    saveLocked();
    return result;
}

void SuspensionLedger::restoreIndexer()
{
    if (!m_xpc.resumeFileIndexer().ok())
        return; // still listed: quitting or the next start tries again
    std::lock_guard lock(m_mutex);
    m_indexerPaused = false;
    saveLocked();
}

SuspensionLedger::Recovery SuspensionLedger::recover()
{
    Recovery recovery;
    const auto left = m_file.read();
    for (const auto& entry : left.processes) {
        const std::int32_t pid = entry.process.pid;
        {
            // What this run suspended itself is listed too; it is no leftover of an earlier run.
            std::lock_guard lock(m_mutex);
            if (m_suspensions.count(pid))
                continue;
        }
        const auto info = m_processTable.info(pid);
        // Only the very process that was suspended, and only while it is still stopped.
        if (!info || entry.startTimeTicks == 0 || info->startTimeTicks != entry.startTimeTicks || info->state != 'T')
            continue;
        const auto result = m_xpc.resumeProcess(pid);
        if (result.ok()) {
            ++recovery.resumed;
            continue;
        }
        {
            std::lock_guard lock(m_mutex);
            m_frozen[pid] = entry.process;
            m_suspensions[pid] = {};
            m_suspensions[pid].startTicks = entry.startTimeTicks;
        }
        noteFailedResume(pid, result.error());
        recovery.adopted = true;
    }
    bool restore = false;
    {
        std::lock_guard lock(m_mutex);
        // The indexer an earlier run paused is started again, unless this run has paused it itself;
        // if that fails it stays listed, and quitting or the next start tries again.
        restore = left.indexerPaused && !m_indexerPaused;
        m_indexerPaused = m_indexerPaused || left.indexerPaused;
        saveLocked();
    }
    if (restore)
        restoreIndexer();
    return recovery;
}
