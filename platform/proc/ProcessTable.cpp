#include "ProcessTable.h"

#include "platform/io/ProcFiles.h"
#include "platform/io/TextFields.h"
#include "platform/text/AsciiText.h"

#include <algorithm>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

template<typename T> bool parseNumber(std::string_view text, T& out)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

// Splits off the next space-separated field of text. A plain loop: find_first_of calls memchr once per
// character, which made parsing a tenth of the cost of a process listing.
std::string_view nextField(std::string_view& text)
{
    std::size_t start = 0;
    while (start < text.size() && text[start] == ' ')
        ++start;
    std::size_t end = start;
    while (end < text.size() && text[end] != ' ' && text[end] != '\n')
        ++end;
    const auto field = text.substr(start, end - start);
    text.remove_prefix(end);
    return field;
}

std::string_view baseName(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool isPidName(const char* name)
{
    if (*name == '\0')
        return false;
    for (const char* c = name; *c; ++c) {
        if (*c < '0' || *c > '9')
            return false;
    }
    return true;
}

} // namespace

ProcessTable::ProcessTable(std::string procRoot)
    : m_root(std::move(procRoot))
    , m_pageSize(::sysconf(_SC_PAGESIZE) > 0 ? ::sysconf(_SC_PAGESIZE) : 4096)
{
}

long ProcessTable::ticksPerSecond()
{
    static const long ticks = [] {
        const long t = ::sysconf(_SC_CLK_TCK);
        return t > 0 ? t : 100;
    }();
    return ticks;
}

std::optional<ProcessTable::StatFields> ProcessTable::parseStat(std::string_view text)
{
    // "pid (comm) state ppid ..."; comm may itself hold spaces and parentheses, so it ends at the last ')'.
    const auto open = text.find('(');
    const auto close = text.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open)
        return std::nullopt;
    StatFields s;
    if (!parseNumber(asciiTrimmed(text.substr(0, open)), s.pid))
        return std::nullopt;
    s.comm = std::string(text.substr(open + 1, close - open - 1));

    std::string_view rest = text.substr(close + 1);
    // Fields after comm, counted from 3 as proc(5) does.
    std::string_view fields[22];
    for (auto& f : fields) {
        f = nextField(rest);
        if (f.empty())
            return std::nullopt;
    }
    const auto field = [&](int number) { return fields[number - 3]; };
    if (field(3).size() != 1)
        return std::nullopt;
    s.state = field(3)[0];
    if (!parseNumber(field(4), s.ppid) || !parseNumber(field(9), s.flags) || !parseNumber(field(14), s.utime)
        || !parseNumber(field(15), s.stime) || !parseNumber(field(22), s.startTime)
        || !parseNumber(field(24), s.rssPages))
        return std::nullopt;
    return s;
}

bool ProcessTable::stopPending(std::string_view text)
{
    constexpr std::uint64_t stopBit = std::uint64_t(1) << (SIGSTOP - 1);
    while (!text.empty()) {
        std::string_view line = textfields::takeLine(text);
        if (line.substr(0, 7) != "SigPnd:" && line.substr(0, 7) != "ShdPnd:")
            continue;
        line.remove_prefix(7);
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos)
            continue;
        std::uint64_t mask = 0;
        std::from_chars(line.data() + first, line.data() + line.size(), mask, 16);
        if (mask & stopBit)
            return true;
    }
    return false;
}

std::optional<ProcessTable::StatusUids> ProcessTable::parseStatusUids(std::string_view text)
{
    while (!text.empty()) {
        std::string_view line = textfields::takeLine(text);
        if (line.substr(0, 4) != "Uid:")
            continue;
        line.remove_prefix(4);
        uid_t ids[3] = {};
        for (uid_t& id : ids) {
            const auto first = line.find_first_not_of(" \t");
            if (first == std::string_view::npos)
                return std::nullopt;
            line.remove_prefix(first);
            const auto end = std::min(line.find_first_of(" \t"), line.size());
            if (!parseNumber(line.substr(0, end), id))
                return std::nullopt;
            line.remove_prefix(end);
        }
        return StatusUids {ids[0], ids[2]};
    }
    return std::nullopt;
}

std::optional<std::int64_t> ProcessTable::parseBootTime(std::string_view procStat)
{
    while (!procStat.empty()) {
        const std::string_view line = textfields::takeLine(procStat);
        if (line.substr(0, 6) == "btime ") {
            std::int64_t value = 0;
            if (parseNumber(asciiTrimmed(line.substr(6)), value))
                return value;
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::string ProcessTable::nameFromCmdline(std::string_view cmdline)
{
    const std::string_view argv0 = cmdline.substr(0, cmdline.find('\0'));
    // Programs that rewrite their title ("sshd: user@pts/0") put it all in argv[0].
    return std::string(baseName(argv0.substr(0, argv0.find(' '))));
}

std::string ProcessTable::nameFromExeTarget(std::string_view target)
{
    constexpr std::string_view deleted = " (deleted)";
    if (target.size() > deleted.size() && target.substr(target.size() - deleted.size()) == deleted)
        target.remove_suffix(deleted.size());
    return std::string(baseName(target));
}

std::int64_t ProcessTable::bootTime() const
{
    const auto text = procfiles::readText(m_root + "/stat");
    if (!text)
        return 0;
    return parseBootTime(*text).value_or(0);
}

std::optional<ProcessInfo> ProcessTable::read(
    int procFd, int pid, const char* pidText, std::int64_t bootTime, bool includeKernelThreads, Owner owner) const
{
    char path[64];
    char buf[4096];

    std::snprintf(path, sizeof path, "%s/stat", pidText);
    ssize_t n = procfiles::readInto(procFd, path, buf, sizeof buf);
    if (n <= 0)
        return std::nullopt;
    auto stat = parseStat(std::string_view(buf, static_cast<std::size_t>(n)));
    if (!stat || stat->pid != pid)
        return std::nullopt;

    ProcessInfo p;
    p.pid = pid;
    p.ppid = stat->ppid;
    p.state = stat->state;
    p.kernelThread = (stat->flags & kernelThreadFlag) != 0;
    if (p.kernelThread && !includeKernelThreads)
        return std::nullopt;
    p.startTimeTicks = stat->startTime;
    p.startTime
        = static_cast<double>(bootTime) + static_cast<double>(stat->startTime) / static_cast<double>(ticksPerSecond());
    p.cpuTicks = stat->utime + stat->stime;
    p.residentBytes = stat->rssPages > 0 ? static_cast<std::uint64_t>(stat->rssPages) * m_pageSize : 0;

    // The pid folder belongs to the process's effective uid while the process is dumpable, else to
    // root. The effective uid equals the real one unless the process changed identity, which also
    // makes it non-dumpable, so a listing reads the slower status file only for root-owned folders.
    // A process can make itself dumpable again after such a change, though, so a single process,
    // whose owner decides who may signal it, is always read from its status file.
    p.uid = ProcessTable::unknownUid;
    bool fromStatus = owner == Owner::Status;
    if (owner == Owner::Folder) {
        struct stat dirStat
        {
        };
        if (::fstatat(procFd, pidText, &dirStat, 0) != 0)
            return std::nullopt; // ended after its stat was read
        p.uid = dirStat.st_uid;
        fromStatus = p.uid == 0;
    }
    if (fromStatus) {
        std::snprintf(path, sizeof path, "%s/status", pidText);
        n = procfiles::readInto(procFd, path, buf, sizeof buf);
        const auto uids = n > 0 ? parseStatusUids(std::string_view(buf, static_cast<std::size_t>(n))) : std::nullopt;
        if (!uids)
            return std::nullopt;
        p.uid = uids->real;
        if (owner == Owner::Status)
            p.savedUid = uids->saved;
    }

    p.name = executableName(procFd, pidText, p.kernelThread, stat->comm);
    return p;
}

std::string ProcessTable::executableName(int procFd, const char* pidText, bool kernelThread, std::string_view comm)
{
    std::string name;
    if (!kernelThread) {
        char path[64];
        char buf[4096];
        std::snprintf(path, sizeof path, "%s/exe", pidText);
        ssize_t n = ::readlinkat(procFd, path, buf, sizeof buf);
        if (n > 0)
            name = nameFromExeTarget(std::string_view(buf, static_cast<std::size_t>(n)));
        if (name.empty()) {
            std::snprintf(path, sizeof path, "%s/cmdline", pidText);
            n = procfiles::readInto(procFd, path, buf, sizeof buf);
            if (n > 0)
                name = nameFromCmdline(std::string_view(buf, static_cast<std::size_t>(n)));
        }
    }
    if (name.empty())
        name = std::string(comm);
    return name;
}

std::vector<ProcessInfo> ProcessTable::list(bool includeKernelThreads) const
{
    return list(includeKernelThreads, Owner::Folder);
}

std::vector<ProcessInfo> ProcessTable::listWithoutOwners(bool includeKernelThreads) const
{
    return list(includeKernelThreads, Owner::None);
}

std::vector<ProcessInfo> ProcessTable::list(bool includeKernelThreads, Owner owner) const
{
    std::vector<ProcessInfo> result;
    const int procFd = ::open(m_root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (procFd < 0)
        return result;
    const int listFd = ::dup(procFd);
    DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        if (listFd >= 0)
            ::close(listFd);
        ::close(procFd);
        return result;
    }
    const std::int64_t boot = bootTime();
    result.reserve(512);
    while (const dirent* entry = ::readdir(dir)) {
        if (!isPidName(entry->d_name))
            continue;
        int pid = 0;
        if (!parseNumber(std::string_view(entry->d_name), pid) || pid <= 0)
            continue;
        if (auto p = read(procFd, pid, entry->d_name, boot, includeKernelThreads, owner))
            result.push_back(std::move(*p));
    }
    ::closedir(dir);
    ::close(procFd);
    // /proc lists pids in ascending order already; a fixture tree on another file system may not.
    if (!std::is_sorted(result.begin(), result.end(), [](const auto& a, const auto& b) { return a.pid < b.pid; }))
        std::sort(result.begin(), result.end(), [](const auto& a, const auto& b) { return a.pid < b.pid; });
    return result;
}

std::optional<ProcessInfo> ProcessTable::info(int pid) const
{
    if (pid <= 0)
        return std::nullopt;
    const int procFd = ::open(m_root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (procFd < 0)
        return std::nullopt;
    char pidText[16];
    std::snprintf(pidText, sizeof pidText, "%d", pid);
    auto p = read(procFd, pid, pidText, bootTime(), true, Owner::Status);
    ::close(procFd);
    return p;
}

} // namespace platform
