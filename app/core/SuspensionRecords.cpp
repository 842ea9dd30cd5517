#include "SuspensionRecords.h"

#include <algorithm>
#include <cmath>

SuspensionRecords::SuspensionRecords(QString stateFilePath, std::string bootIdPath)
    : m_file(std::move(stateFilePath), std::move(bootIdPath))
{
}

SuspensionRecords::Listing SuspensionRecords::listing() const
{
    std::lock_guard lock(m_mutex);
    return {m_frozen, resumeFailuresLocked()};
}

std::map<std::int32_t, FrozenProcess> SuspensionRecords::frozenProcesses() const
{
    std::lock_guard lock(m_mutex);
    return m_frozen;
}

bool SuspensionRecords::holds(std::int32_t pid) const
{
    std::lock_guard lock(m_mutex);
    return m_frozen.contains(pid);
}

bool SuspensionRecords::indexerPaused() const
{
    std::lock_guard lock(m_mutex);
    return m_indexerPaused;
}

std::uint64_t SuspensionRecords::startTicks(std::int32_t pid) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_suspensions.find(pid);
    return it == m_suspensions.end() ? 0 : it->second.startTicks;
}

std::map<std::int32_t, std::uint64_t> SuspensionRecords::heldStartTicks() const
{
    std::map<std::int32_t, std::uint64_t> held;
    std::lock_guard lock(m_mutex);
    for (const auto& [pid, suspension] : m_suspensions)
        held.emplace(pid, suspension.startTicks);
    return held;
}

SuspendedProcessFile::Contents SuspensionRecords::stored() const
{
    return m_file.read();
}

void SuspensionRecords::add(const FrozenProcess& record, std::uint64_t startTicks, AutoPersona holder, bool single)
{
    std::lock_guard lock(m_mutex);
    m_frozen[record.pid] = record;
    auto& suspension = m_suspensions[record.pid];
    suspension.startTicks = startTicks;
    suspension.holders.insert(holder);
    suspension.single = suspension.single || single;
    saveLocked();
}

void SuspensionRecords::adopt(const SuspendedProcessFile::Entry& entry)
{
    const std::int32_t pid = entry.process.pid;
    std::lock_guard lock(m_mutex);
    m_frozen[pid] = entry.process;
    m_suspensions[pid] = {};
    m_suspensions[pid].startTicks = entry.startTimeTicks;
}

void SuspensionRecords::remove(std::int32_t pid)
{
    std::lock_guard lock(m_mutex);
    m_frozen.erase(pid);
    m_suspensions.erase(pid);
    saveLocked();
}

bool SuspensionRecords::holdAlso(std::int32_t pid, AutoPersona persona)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_suspensions.find(pid);
    if (it == m_suspensions.end())
        return false;
    // Wanted suspended again: a resume that failed is no longer due.
    it->second.holders.insert(persona);
    it->second.failedResumes = 0;
    it->second.resumeError.clear();
    return true;
}

SuspensionRecords::Ending SuspensionRecords::release(
    AutoPersona persona, const std::set<AutoPersona>& others, const Listed& listed)
{
    Ending ending;
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
            ending.toResume.emplace_back(pid, name);
            continue;
        }
        ending.kept.push_back(name);
        oneKeeper = oneKeeper && (!ending.keptFor || *ending.keptFor == *keeper);
        ending.keptFor = *keeper;
    }
    if (!oneKeeper)
        ending.keptFor.reset();
    return ending;
}

std::optional<std::string> SuspensionRecords::wantedName(
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

void SuspensionRecords::noteFailedResume(std::int32_t pid, const std::string& reason, Date now)
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
    suspension.nextResume = now.addingTimeInterval(wait);
    suspension.resumeError = reason;
}

SuspensionRecords::Due SuspensionRecords::dueResumes(Date now) const
{
    Due due;
    std::lock_guard lock(m_mutex);
    for (const auto& [pid, suspension] : m_suspensions) {
        if (suspension.failedResumes == 0)
            continue;
        ++due.waiting;
        // A wall clock set back far is no reason to wait longer than the longest wait.
        const double wait = suspension.nextResume.timeIntervalSince(now);
        if (wait <= 0 || wait > longestResumeRetrySeconds)
            due.pids.push_back(pid);
    }
    return due;
}

void SuspensionRecords::setIndexerPaused(bool paused)
{
    std::lock_guard lock(m_mutex);
    m_indexerPaused = paused;
    saveLocked();
}

bool SuspensionRecords::takeOverIndexerPause(bool pausedBefore)
{
    std::lock_guard lock(m_mutex);
    const bool restore = pausedBefore && !m_indexerPaused;
    m_indexerPaused = m_indexerPaused || pausedBefore;
    saveLocked();
    return restore;
}

std::map<std::int32_t, std::string> SuspensionRecords::resumeFailuresLocked() const
{
    std::map<std::int32_t, std::string> failures;
    for (const auto& [pid, suspension] : m_suspensions) {
        if (suspension.failedResumes > 0 && m_frozen.contains(pid))
            failures.emplace(pid, suspension.resumeError);
    }
    return failures;
}

void SuspensionRecords::saveLocked()
{
    std::vector<SuspendedProcessFile::Entry> entries;
    entries.reserve(m_frozen.size());
    for (const auto& [pid, record] : m_frozen) {
        const auto it = m_suspensions.find(pid);
        entries.push_back({record, it == m_suspensions.end() ? 0 : it->second.startTicks});
    }
    m_file.save(entries, m_indexerPaused);
}
