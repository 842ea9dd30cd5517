#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

namespace platform {

// One process as /proc describes it.
struct ProcessInfo
{
    int pid = 0;
    int ppid = 0;
    // The executable's file name (/proc/pid/exe); argv[0]'s file name when the link cannot be read
    // (another user's process), the kernel's 15-character comm as the last resort.
    std::string name;
    // Real user id. info() reads it from the status file; a listing takes the owner of the pid folder,
    // the effective uid, which differs only for a process that changed its effective uid and made
    // itself dumpable again. unknownUid when the listing was asked to leave it out.
    uid_t uid = 0;
    // Saved user id: with the real one, the ids whose users the kernel lets signal the process. Read
    // by info() only; unknownUid in listings.
    uid_t savedUid = static_cast<uid_t>(-1);
    char state = '?';
    bool kernelThread = false;
    std::uint64_t startTimeTicks = 0; // clock ticks after boot
    double startTime = 0; // Unix seconds
    std::uint64_t cpuTicks = 0; // user + system time in clock ticks
    std::uint64_t residentBytes = 0;

    bool operator==(const ProcessInfo&) const = default;
};

// The process table read natively from a /proc tree. Stateless apart from the root; safe from any thread.
class ProcessTable
{
public:
    static constexpr uid_t unknownUid = static_cast<uid_t>(-1);
    static constexpr unsigned kernelThreadFlag = 0x00200000; // PF_KTHREAD in the stat line's flags

    explicit ProcessTable(std::string procRoot = "/proc");

    // Every process in ascending pid order, as /proc lists them. A process that ends while it is read is left out.
    std::vector<ProcessInfo> list(bool includeKernelThreads = false) const;
    // The same without the owner (uid = unknownUid), which costs a further file per root process.
    std::vector<ProcessInfo> listWithoutOwners(bool includeKernelThreads = false) const;
    std::optional<ProcessInfo> info(int pid) const;

    // Clock ticks per second of the figures above (sysconf(_SC_CLK_TCK), 100 on Linux).
    static long ticksPerSecond();

    // The fields of /proc/pid/stat that we use.
    struct StatFields
    {
        int pid = 0;
        std::string comm;
        char state = '?';
        int ppid = 0;
        unsigned flags = 0;
        std::uint64_t utime = 0;
        std::uint64_t stime = 0;
        std::uint64_t startTime = 0;
        std::int64_t rssPages = 0;
    };
    static std::optional<StatFields> parseStat(std::string_view text);
    // The real and saved uid of the "Uid:" line of /proc/pid/status (real, effective, saved and
    // file-system uid).
    struct StatusUids
    {
        uid_t real = 0;
        uid_t saved = 0;
    };
    static std::optional<StatusUids> parseStatusUids(std::string_view text);
    // Whether the "SigPnd" or "ShdPnd" line of a /proc/pid/status text holds SIGSTOP: sent, but not yet
    // acted on, as when the process is busy in the kernel. It stops as soon as it returns; SIGCONT would
    // have discarded it.
    static bool stopPending(std::string_view text);
    // "btime" of /proc/stat: the boot time in Unix seconds.
    static std::optional<std::int64_t> parseBootTime(std::string_view procStat);
    // The file name of argv[0] of a NUL-separated command line; empty when there is none.
    static std::string nameFromCmdline(std::string_view cmdline);
    // The file name of an exe link target, without the " (deleted)" the kernel adds for a replaced file.
    static std::string nameFromExeTarget(std::string_view target);
    // The name ProcessInfo::name describes, for the process folder pidText below procFd.
    static std::string executableName(int procFd, const char* pidText, bool kernelThread, std::string_view comm);

private:
    // How a process's owner is read: not at all, from the pid folder's owner (a listing), or from
    // the status file (a single process, whose owner decides what may be done to it).
    enum class Owner { None, Folder, Status };

    std::vector<ProcessInfo> list(bool includeKernelThreads, Owner owner) const;
    std::optional<ProcessInfo> read(
        int procFd, int pid, const char* pidText, std::int64_t bootTime, bool includeKernelThreads, Owner owner) const;
    std::int64_t bootTime() const;

    std::string m_root;
    long m_pageSize;
};

} // namespace platform
