#include "helper/src/SuspendedProcesses.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace helper {

SuspendedProcesses::SuspendedProcesses(std::string folder, std::string procRoot, std::size_t perUserLimit)
    : m_file(std::move(folder))
    , m_resumer(std::move(procRoot))
    , m_perUserLimit(perUserLimit)
{
}

void SuspendedProcesses::load()
{
    auto stored = m_file.read();
    if (!stored)
        return;
    std::lock_guard file(m_fileMutex);
    m_onDisk = stored->first;
    std::lock_guard lock(m_mutex);
    m_processes = std::move(stored->first);
    m_indexerPaused = stored->second;
}

std::size_t SuspendedProcesses::heldBy(uid_t uid) const
{
    const auto reserved = m_reserved.find(uid);
    return std::size_t(std::count_if(m_processes.begin(), m_processes.end(), [uid](const SuspendedProcess& p) {
        return p.chargedUid() == uid;
    })) + (reserved == m_reserved.end() ? 0 : reserved->second);
}

void SuspendedProcesses::dropEnded(uid_t uid)
{
    std::vector<SuspendedProcess> listed;
    {
        std::lock_guard lock(m_mutex);
        std::copy_if(m_processes.begin(), m_processes.end(), std::back_inserter(listed),
            [uid](const SuspendedProcess& p) { return p.chargedUid() == uid; });
    }
    // Only what has surely ended goes: an entry whose process cannot be read now stays and counts.
    std::erase_if(listed, [this](const SuspendedProcess& p) { return !m_resumer.hasEnded(p); });
    if (listed.empty())
        return;
    {
        std::lock_guard lock(m_mutex);
        const auto erased = std::erase_if(m_processes,
            [&](const SuspendedProcess& p) { return std::find(listed.begin(), listed.end(), p) != listed.end(); });
        if (erased == 0)
            return;
        changed();
    }
    commit();
}

bool SuspendedProcesses::reserve(uid_t uid)
{
    // Ended entries are dropped first, so they never count and the list stays as short as it was
    // before: the reads are the asking user's own cost, made without the lock.
    dropEnded(uid);
    std::lock_guard lock(m_mutex);
    if (heldBy(uid) >= m_perUserLimit)
        return false;
    ++m_reserved[uid];
    return true;
}

void SuspendedProcesses::release(uid_t uid)
{
    std::lock_guard lock(m_mutex);
    giveBack(uid);
}

void SuspendedProcesses::giveBack(uid_t uid)
{
    if (auto it = m_reserved.find(uid); it != m_reserved.end() && --it->second == 0)
        m_reserved.erase(it);
}

int SuspendedProcesses::add(const SuspendedProcess& process)
{
    std::vector<SuspendedProcess> replaced;
    std::uint64_t version = 0;
    {
        std::lock_guard lock(m_mutex);
        giveBack(process.chargedUid());
        for (auto it = m_processes.begin(); it != m_processes.end();) {
            if (it->pid == process.pid) {
                replaced.push_back(std::move(*it));
                it = m_processes.erase(it);
            } else {
                ++it;
            }
        }
        m_processes.push_back(process);
        version = changed();
    }
    const int error = commit(version);
    if (error == 0)
        return 0;
    {
        std::lock_guard lock(m_mutex);
        std::erase(m_processes, process);
        m_processes.insert(m_processes.end(), replaced.begin(), replaced.end());
        changed();
    }
    commit();
    return error;
}

std::optional<SuspendedProcess> SuspendedProcesses::remove(pid_t pid)
{
    std::optional<SuspendedProcess> removed;
    {
        std::lock_guard lock(m_mutex);
        const auto it = std::find_if(
            m_processes.begin(), m_processes.end(), [pid](const SuspendedProcess& p) { return p.pid == pid; });
        if (it == m_processes.end())
            return std::nullopt;
        removed = std::move(*it);
        m_processes.erase(it);
        changed();
    }
    commitRemoval();
    return removed;
}

void SuspendedProcesses::setIndexerPaused(bool paused)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_indexerPaused == paused)
            return;
        m_indexerPaused = paused;
        changed();
    }
    commit();
}

bool SuspendedProcesses::indexerPaused() const
{
    std::lock_guard lock(m_mutex);
    return m_indexerPaused;
}

std::vector<SuspendedProcess> SuspendedProcesses::processes() const
{
    std::lock_guard lock(m_mutex);
    return m_processes;
}

bool SuspendedProcesses::contains(pid_t pid, std::uint64_t startTime) const
{
    std::lock_guard lock(m_mutex);
    return std::any_of(m_processes.begin(), m_processes.end(),
        [&](const SuspendedProcess& p) { return p.pid == pid && p.startTime == startTime; });
}

bool SuspendedProcesses::holdsStopsOf(const SuspendingCaller& caller) const
{
    std::lock_guard lock(m_mutex);
    return std::any_of(
        m_processes.begin(), m_processes.end(), [&](const SuspendedProcess& p) { return p.stoppedBy == caller; });
}

std::vector<SuspendingCaller> SuspendedProcesses::callers() const
{
    std::lock_guard lock(m_mutex);
    std::vector<SuspendingCaller> found;
    for (const auto& p : m_processes) {
        if (p.stoppedBy && std::find(found.begin(), found.end(), *p.stoppedBy) == found.end())
            found.push_back(*p.stoppedBy);
    }
    return found;
}

bool SuspendedProcesses::settle(
    const std::function<bool(const SuspendedProcess&)>& chosen, const Resumption& resumption)
{
    const auto erased = std::erase_if(m_processes, [&](const SuspendedProcess& p) {
        return chosen(p) && std::find(resumption.left.begin(), resumption.left.end(), p) == resumption.left.end();
    });
    if (erased == 0)
        return false;
    changed();
    return true;
}

SuspendedProcesses::Resumption SuspendedProcesses::resumeChosen(
    const std::function<bool(const SuspendedProcess&)>& chosen)
{
    Resumption resumption;
    bool removed = false;
    {
        std::lock_guard lock(m_mutex);
        std::vector<SuspendedProcess> listed;
        std::copy_if(m_processes.begin(), m_processes.end(), std::back_inserter(listed), chosen);
        if (listed.empty() && m_writtenVersion >= m_version)
            return resumption;
        resumption = m_resumer.resume(listed);
        removed = settle(chosen, resumption);
        // A list that could not be written before is tried again.
        if (!removed && m_writtenVersion >= m_version)
            return resumption;
    }
    if (removed)
        commitRemoval();
    else
        commit();
    return resumption;
}

SuspendedProcesses::Resumption SuspendedProcesses::resumeAll()
{
    return resumeChosen([](const SuspendedProcess&) { return true; });
}

SuspendedProcesses::Resumption SuspendedProcesses::resumeStoppedBy(const SuspendingCaller& caller)
{
    return resumeChosen([&](const SuspendedProcess& p) { return p.stoppedBy == caller; });
}

std::uint64_t SuspendedProcesses::changed()
{
    return ++m_version;
}

bool SuspendedProcesses::isBehind() const
{
    std::lock_guard lock(m_mutex);
    return m_writtenVersion < m_version;
}

void SuspendedProcesses::rewriteIfBehind()
{
    // A write under way takes in the list as it is; this one need not wait for it. A retry that failed
    // waits a moment before the next, so that a flood of connections cannot turn into one of writes.
    std::unique_lock file(m_fileMutex, std::try_to_lock);
    if (!file.owns_lock() || std::chrono::steady_clock::now() < m_nextRetry)
        return;
    if (writeUnlessWritten() != 0)
        m_nextRetry = std::chrono::steady_clock::now() + kRetryPause;
}

void SuspendedProcesses::retryWhenBehind(std::function<void()> fellBehind)
{
    std::lock_guard file(m_fileMutex);
    m_fellBehind = std::move(fellBehind);
}

int SuspendedProcesses::commit(std::uint64_t upTo)
{
    std::lock_guard file(m_fileMutex);
    return writeUnlessWritten(upTo);
}

bool SuspendedProcesses::commitRemoval()
{
    std::lock_guard file(m_fileMutex);
    if (writeUnlessWritten() == 0)
        return true;
    // The file still lists what was just resumed. Removing it needs no free space, and frees the
    // room its own blocks took, which is often all a full folder needs for the list as it is now.
    const std::string path = filePath();
    if (const int error = m_file.remove(); error != 0) {
        reportStaleFile(error);
        return false;
    }
    m_onDisk.clear();
    std::size_t stillListed = 0;
    {
        std::lock_guard lock(m_mutex);
        m_writtenVersion = 0; // nothing is on disk now, so every change waits for a write
        stillListed = m_processes.size();
    }
    std::fprintf(stderr,
        "QuorvaneHelper removed %s, which it could not rewrite, so that no process it resumed is continued again "
        "from it\n",
        path.c_str());
    if (writeUnlessWritten() == 0)
        return true;
    std::fprintf(stderr,
        "QuorvaneHelper lists %zu stopped process%s that only this helper knows of until it can write %s%s\n",
        stillListed, stillListed == 1 ? "" : "es", path.c_str(),
        m_fellBehind ? "; it tries again four times a second and as programs connect" : "");
    return false;
}

void SuspendedProcesses::reportStaleFile(int removeError)
{
    std::vector<SuspendedProcess> stale;
    {
        std::lock_guard lock(m_mutex);
        std::copy_if(m_onDisk.begin(), m_onDisk.end(), std::back_inserter(stale), [this](const SuspendedProcess& p) {
            return std::find(m_processes.begin(), m_processes.end(), p) == m_processes.end();
        });
    }
    std::string pids;
    for (std::size_t i = 0; i < stale.size() && i < 16; ++i)
        pids += (i == 0 ? "" : ", ") + std::to_string(stale[i].pid);
    if (stale.size() > 16)
        pids += ", ...";
    if (stale.empty()) {
        std::fprintf(
            stderr, "QuorvaneHelper cannot remove %s either (%s)\n", filePath().c_str(), std::strerror(removeError));
        return;
    }
    std::fprintf(stderr,
        "QuorvaneHelper cannot remove %s either (%s): it still lists %zu process%s the helper has resumed since "
        "(pid %s). %s a helper started later continues each of them that is stopped then, whoever stopped it (at "
        "once where the program that asked for it has ended, else when that program ends or that helper stops), "
        "and --resume-suspended continues them all at once\n",
        filePath().c_str(), std::strerror(removeError), stale.size(), stale.size() == 1 ? "" : "es", pids.c_str(),
        m_fellBehind ? "Unless this helper can write the list first, which it tries four times a second," : "So");
}

int SuspendedProcesses::writeUnlessWritten(std::uint64_t upTo)
{
    // Whoever holds the file writes every change made before it took the list, so the callers that
    // wait behind it usually find their change written already.
    std::vector<SuspendedProcess> listed;
    bool indexerPaused = false;
    std::uint64_t version = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_writtenVersion >= std::min(upTo, m_version))
            return 0;
        listed = m_processes;
        indexerPaused = m_indexerPaused;
        version = m_version;
    }
    // While the file lags behind, the journal hears of the first failure and of the write that ends it.
    if (const int error = m_file.write(SuspendedListFile::encode(listed, indexerPaused) + "\n", m_failing);
        error != 0) {
        m_failing = true;
        if (m_fellBehind)
            m_fellBehind();
        return error;
    }
    {
        std::lock_guard lock(m_mutex);
        m_writtenVersion = version;
    }
    if (m_failing) {
        std::fprintf(stderr, "QuorvaneHelper wrote %s again: it lists all %zu process%s the helper holds stopped\n",
            filePath().c_str(), listed.size(), listed.size() == 1 ? "" : "es");
        m_failing = false;
    }
    m_onDisk = std::move(listed);
    return 0;
}

} // namespace helper
