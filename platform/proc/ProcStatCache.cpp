#include "ProcStatCache.h"

#include "platform/io/DirectoryEntries.h"
#include "platform/io/ProcFiles.h"
#include "platform/io/TextFields.h"

#include <algorithm>
#include <cstdio>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace platform {

ProcStatCache::ProcStatCache(std::string procRoot, std::optional<std::size_t> maxOpenFiles)
    : m_root(std::move(procRoot))
    , m_maxOpenFiles(maxOpenFiles.value_or(defaultMaxOpenFiles()))
    , m_pageSize(std::max(::sysconf(_SC_PAGESIZE), 1L))
{
}

std::size_t ProcStatCache::defaultMaxOpenFiles()
{
    rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 0;
    if (limit.rlim_cur == RLIM_INFINITY)
        return 16384;
    return static_cast<std::size_t>(limit.rlim_cur / 4);
}

std::size_t ProcStatCache::openFiles() const
{
    std::lock_guard lock(m_mutex);
    return m_openFiles;
}

bool ProcStatCache::readPids(std::vector<int>& pids)
{
    if (!m_dir)
        m_dir.reset(::open(m_root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!m_dir || ::lseek(m_dir.get(), 0, SEEK_SET) != 0)
        return false;
    const bool complete = DirectoryEntries::forEach(m_dir.get(), [&](std::string_view name, unsigned char) {
        if (name[0] >= '1' && name[0] <= '9') {
            if (const auto pid = textfields::parseNumber<int>(name))
                pids.push_back(*pid);
        }
    });
    if (!complete)
        return false;
    // /proc lists pids in ascending order already; a fixture tree on another file system may not.
    if (!std::is_sorted(pids.begin(), pids.end()))
        std::sort(pids.begin(), pids.end());
    return true;
}

std::optional<ProcessTable::StatFields> ProcStatCache::readStat(Entry& entry)
{
    const int pid = entry.pid;
    char buf[4096];
    if (entry.stat) {
        const ssize_t n = procfiles::rereadInto(entry.stat.get(), buf, sizeof buf);
        auto stat = n > 0 ? ProcessTable::parseStat(std::string_view(buf, static_cast<std::size_t>(n))) : std::nullopt;
        if (stat && stat->pid == pid)
            return stat;
        // The process is gone (ESRCH), even if its pid has been given to a new one already.
        entry.stat.reset();
        entry.name.reset();
        --m_openFiles;
    }
    char path[32];
    std::snprintf(path, sizeof path, "%d/stat", pid);
    UniqueFd fd(::openat(m_dir.get(), path, O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd)
        return std::nullopt;
    const ssize_t n = procfiles::rereadInto(fd.get(), buf, sizeof buf);
    auto stat = n > 0 ? ProcessTable::parseStat(std::string_view(buf, static_cast<std::size_t>(n))) : std::nullopt;
    if (!stat || stat->pid != pid)
        return std::nullopt;
    if (m_openFiles < m_maxOpenFiles) {
        entry.stat = std::move(fd);
        ++m_openFiles;
    }
    return stat;
}

const std::string& ProcStatCache::nameOf(Entry& entry)
{
    if (!entry.name) {
        char pidText[16];
        std::snprintf(pidText, sizeof pidText, "%d", entry.pid);
        entry.name = ProcessTable::executableName(m_dir.get(), pidText, entry.kernelThread, entry.comm);
    }
    return *entry.name;
}

ProcessInfo ProcStatCache::infoOf(
    Entry& entry, const ProcessTable::StatFields& stat, Names names, double ticksPerSecond)
{
    ProcessInfo p;
    p.pid = entry.pid;
    p.ppid = stat.ppid;
    p.uid = ProcessTable::unknownUid;
    p.state = stat.state;
    p.kernelThread = entry.kernelThread;
    p.startTimeTicks = stat.startTime;
    p.startTime = static_cast<double>(m_bootTime) + static_cast<double>(stat.startTime) / ticksPerSecond;
    p.cpuTicks = stat.utime + stat.stime;
    p.residentBytes = stat.rssPages > 0 ? static_cast<std::uint64_t>(stat.rssPages) * m_pageSize : 0;
    p.name = names == Names::executable ? nameOf(entry) : entry.comm;
    return p;
}

std::vector<ProcessInfo> ProcStatCache::list(bool includeKernelThreads, Names names)
{
    std::lock_guard lock(m_mutex);
    std::vector<int> pids;
    pids.reserve(m_entries.size() + 64);
    if (!readPids(pids))
        return {};
    if (m_bootTime == 0) {
        if (const auto text = procfiles::readText(m_root + "/stat"))
            m_bootTime = ProcessTable::parseBootTime(*text).value_or(0);
    }
    const double ticksPerSecond = static_cast<double>(ProcessTable::ticksPerSecond());

    // Both lists are in pid order: the previous entries are matched by walking them alongside.
    std::vector<Entry> entries;
    entries.reserve(pids.size());
    auto previous = m_entries.begin();
    const auto dropUpTo = [&](int pid) {
        for (; previous != m_entries.end() && previous->pid < pid; ++previous) {
            if (previous->stat)
                --m_openFiles;
        }
    };
    std::vector<ProcessInfo> processes;
    processes.reserve(pids.size());
    for (int pid : pids) {
        dropUpTo(pid);
        Entry entry;
        if (previous != m_entries.end() && previous->pid == pid)
            entry = std::move(*previous++);
        else
            entry.pid = pid;
        const auto stat = readStat(entry);
        if (!stat)
            continue; // ended since the directory was read
        // A new start time is a new process on a reused pid, a new comm an exec: the name is looked up again.
        if (entry.startTimeTicks != stat->startTime || entry.comm != stat->comm) {
            entry.startTimeTicks = stat->startTime;
            entry.comm = stat->comm;
            entry.name.reset();
        }
        entry.kernelThread = (stat->flags & ProcessTable::kernelThreadFlag) != 0;
        if (!entry.kernelThread || includeKernelThreads)
            processes.push_back(infoOf(entry, *stat, names, ticksPerSecond));
        entries.push_back(std::move(entry));
    }
    for (; previous != m_entries.end(); ++previous) {
        if (previous->stat)
            --m_openFiles;
    }
    m_entries = std::move(entries);
    return processes;
}

std::string ProcStatCache::executableName(int pid)
{
    std::lock_guard lock(m_mutex);
    const auto it = std::lower_bound(
        m_entries.begin(), m_entries.end(), pid, [](const Entry& e, int wanted) { return e.pid < wanted; });
    if (it == m_entries.end() || it->pid != pid || !m_dir)
        return {};
    return nameOf(*it);
}

} // namespace platform
