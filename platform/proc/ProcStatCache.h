#pragma once

#include "platform/io/UniqueFd.h"
#include "platform/proc/ProcessTable.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The process table for callers that list it every second or so. Each process's stat file stays open
// between listings and is read again in place, one system call a process instead of three; the
// executable's name is looked up only for a process not seen before or whose comm changed (an exec).
//
// A kept descriptor follows its process, not its pid: once the process is gone a read fails, the entry
// is dropped and a process that got the pid again is opened afresh. The number of kept descriptors is
// bounded; processes beyond the bound are read the ordinary way. Thread-safe.
class ProcStatCache
{
public:
    enum class Names { comm, executable };

    // maxOpenFiles: how many stat files may stay open; defaultMaxOpenFiles() when nothing is given.
    explicit ProcStatCache(std::string procRoot = "/proc", std::optional<std::size_t> maxOpenFiles = std::nullopt);

    // Every process in ascending pid order with its owner left out (uid = ProcessTable::unknownUid).
    // Names::comm names each by the kernel's 15-character comm; Names::executable as ProcessTable does.
    // A process that ends while it is read is left out.
    std::vector<ProcessInfo> list(bool includeKernelThreads, Names names);

    // The executable's name of a process of the last listing, as Names::executable gives it; empty for a
    // pid that listing did not see.
    std::string executableName(int pid);

    std::size_t openFiles() const;
    // A quarter of the soft limit on open files: room for the rest of the application.
    static std::size_t defaultMaxOpenFiles();

private:
    struct Entry
    {
        int pid = 0;
        UniqueFd stat; // not open beyond the bound
        std::uint64_t startTimeTicks = 0;
        std::string comm;
        bool kernelThread = false;
        std::optional<std::string> name; // for this start time and comm
    };

    bool readPids(std::vector<int>& pids);
    std::optional<ProcessTable::StatFields> readStat(Entry& entry);
    const std::string& nameOf(Entry& entry);
    // The listing's record of a process whose stat file was just read.
    ProcessInfo infoOf(Entry& entry, const ProcessTable::StatFields& stat, Names names, double ticksPerSecond);

    std::string m_root;
    std::size_t m_maxOpenFiles;
    long m_pageSize;
    mutable std::mutex m_mutex;
    UniqueFd m_dir;
    std::int64_t m_bootTime = 0;
    std::vector<Entry> m_entries; // the processes of the last listing, by pid
    std::size_t m_openFiles = 0;
};

} // namespace platform
