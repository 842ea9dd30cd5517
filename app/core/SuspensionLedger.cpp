#include "SuspensionLedger.h"

#include "core/AppSupport.h"

#include <algorithm>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

} // namespace

SuspensionLedger::SuspensionLedger(
    XPCConnection& xpc, const std::string& procRoot, QString stateFilePath, std::function<Date()> clock)
    : m_xpc(xpc)
    , m_processTable(procRoot)
    , m_review(procRoot)
    , m_records(stateFilePath.isEmpty() ? appSupportFilePath(QString::fromLatin1(kStateFileName)) : stateFilePath,
          procRoot + "/sys/kernel/random/boot_id")
    , m_clock(std::move(clock))
{
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

SuspensionLedger::Paused SuspensionLedger::suspendFor(
    AutoPersona persona, const std::vector<RunningProcess>& candidates)
{
    Paused paused;
    for (const auto& candidate : candidates) {
        if (m_records.holdAlso(candidate.pid, persona)) {
            ++paused.held;
            continue;
        }
        if (m_closed)
            break;
        const auto startTicks = startTicksOf(candidate.pid);
        if (auto result = suspend(candidate.pid, startTicks); !result.ok()) {
            if (!paused.failure)
                paused.failure = result.error();
            continue;
        }
        m_records.add(
            {Uuid::random(), candidate.pid, candidate.name, persona, now(), candidate.memoryMB, candidate.cpuPercent},
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
    m_records.add({Uuid::random(), pid, name, AutoPersona::compileMode, now(), 0, 0.0}, startTicks, holder, true);
    return {};
}

SuspensionLedger::Release SuspensionLedger::release(
    AutoPersona persona, const std::set<AutoPersona>& others, const Listed& listed)
{
    auto ending = m_records.release(persona, others, listed);
    Release release;
    release.kept = std::move(ending.kept);
    release.keptFor = ending.keptFor;
    release.heldAny = !ending.toResume.empty() || !release.kept.empty();
    for (const auto& [pid, name] : ending.toResume) {
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

bool SuspensionLedger::resumeOrDrop(std::int32_t pid, bool* ranAgain)
{
    const std::uint64_t startTicks = m_records.startTicks(pid);
    // Checked before the signal: a reused pid may be a job the user stopped (Ctrl-Z) themselves.
    if (isReused(pid, startTicks)) {
        m_records.remove(pid);
        return true;
    }
    const auto result = m_xpc.resumeProcess(pid);
    if (ranAgain)
        *ranAgain = result.ok();
    if (result.ok() || isGone(pid, startTicks)) {
        m_records.remove(pid);
        return true;
    }
    noteFailedResume(pid, result.error());
    return false;
}

SuspensionLedger::Result<void> SuspensionLedger::resume(std::int32_t pid)
{
    if (isReused(pid, m_records.startTicks(pid))) {
        m_records.remove(pid); // the process we suspended is gone; the pid's new owner is not ours
        return {};
    }
    if (auto result = m_xpc.resumeProcess(pid); !result.ok()) {
        // Asked to run again, it is tried again until it does; its row says why it has not yet.
        noteFailedResume(pid, result.error());
        return result;
    }
    m_records.remove(pid);
    return {};
}

void SuspensionLedger::noteFailedResume(std::int32_t pid, const Error& error)
{
    m_records.noteFailedResume(pid, error.message, now());
}

SuspensionLedger::Retry SuspensionLedger::retryFailedResumes()
{
    const auto due = m_records.dueResumes(now());
    Retry retry;
    retry.waiting = due.waiting;
    retry.tried = !due.pids.empty();
    for (const auto pid : due.pids) {
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

SuspensionReview::Findings SuspensionLedger::review()
{
    auto findings = m_review.review(m_records.heldStartTicks());
    for (const auto pid : findings.gone)
        m_records.remove(pid);
    return findings;
}

void SuspensionLedger::stopAgainOrForget(const std::vector<std::int32_t>& running, const std::set<AutoPersona>& active,
    const Listed& listed, const Spared& spared)
{
    for (const auto pid : running) {
        // Stopped again it keeps its record; else it runs, and is not listed as frozen.
        const auto name = m_records.wantedName(pid, active, listed);
        if (!name || spared(RunningProcess {pid, *name, 0, 0, Date()}) || !suspend(pid, m_records.startTicks(pid)).ok())
            m_records.remove(pid);
    }
}

SuspensionLedger::Result<void> SuspensionLedger::pauseIndexer()
{
    auto result = m_xpc.pauseFileIndexer();
    // One that timed out is restarted as if it had been paused, since one left off would stay off.
    if (!result.ok() && !XPCConnection::timedOut(result.error()))
        return result;
    m_records.setIndexerPaused(true);
    return result;
}

void SuspensionLedger::restoreIndexer()
{
    if (!m_xpc.resumeFileIndexer().ok())
        return; // still listed: quitting or the next start tries again
    m_records.setIndexerPaused(false);
}

SuspensionLedger::Recovery SuspensionLedger::recover()
{
    Recovery recovery;
    const auto left = m_records.stored();
    for (const auto& entry : left.processes) {
        const std::int32_t pid = entry.process.pid;
        // What this run suspended itself is listed too; it is no leftover of an earlier run.
        if (m_records.holds(pid))
            continue;
        const auto info = m_processTable.info(pid);
        // Only the very process that was suspended, and only while it is still stopped.
        if (!info || entry.startTimeTicks == 0 || info->startTimeTicks != entry.startTimeTicks || info->state != 'T')
            continue;
        const auto result = m_xpc.resumeProcess(pid);
        if (result.ok()) {
            ++recovery.resumed;
            continue;
        }
        m_records.adopt(entry);
        noteFailedResume(pid, result.error());
        recovery.adopted = true;
    }
    // The indexer an earlier run paused is started again, unless this run has paused it itself;
    // if that fails it stays listed, and quitting or the next start tries again.
    if (m_records.takeOverIndexerPause(left.indexerPaused))
        restoreIndexer();
    return recovery;
}
