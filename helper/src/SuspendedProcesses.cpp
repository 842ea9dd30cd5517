#include "helper/src/SuspendedProcesses.h"

#include "platform/io/ProcFiles.h"
#include "platform/io/Utf8.h"
#include "platform/proc/Pidfd.h"
#include "platform/proc/ProcessTable.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace helper {

namespace {

using Json = nlohmann::json;

bool writeWhole(int fd, const std::string& text)
{
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += std::size_t(n);
    }
    return true;
}

} // namespace

SuspendedProcesses::SuspendedProcesses(std::string folder, std::string procRoot, std::size_t perUserLimit)
    : m_folder(std::move(folder))
    , m_procRoot(std::move(procRoot))
    , m_perUserLimit(perUserLimit)
{
}

std::string SuspendedProcesses::encode(const std::vector<SuspendedProcess>& processes, bool indexerPaused)
{
    Json list = Json::array();
    for (const auto& p : processes) {
        Json entry
            = {{"pid", p.pid}, {"startTime", p.startTime}, {"uid", p.uid}, {"name", platform::toValidUtf8(p.name)}};
        if (p.stoppedBy) {
            entry["callerPid"] = p.stoppedBy->pid;
            entry["callerStartTime"] = p.stoppedBy->startTime;
            entry["callerUid"] = p.stoppedBy->uid;
        }
        list.push_back(std::move(entry));
    }
    return Json {{"indexerPaused", indexerPaused}, {"processes", std::move(list)}}.dump();
}

namespace {

bool isPid(const Json& value)
{
    return value.is_number_integer() && value.get<std::int64_t>() > 1 && value.get<std::int64_t>() <= INT32_MAX;
}

// The caller of an entry: nothing when it names none (a list of an older helper), an error when it
// names one badly.
std::optional<std::optional<SuspendingCaller>> callerOf(const Json& entry)
{
    const int present
        = int(entry.contains("callerPid")) + int(entry.contains("callerStartTime")) + int(entry.contains("callerUid"));
    if (present == 0)
        return std::optional<SuspendingCaller>();
    if (present != 3 || !isPid(entry["callerPid"]) || !entry["callerStartTime"].is_number_unsigned()
        || !entry["callerUid"].is_number_unsigned())
        return std::nullopt;
    return std::optional<SuspendingCaller>(SuspendingCaller {pid_t(entry["callerPid"].get<std::int64_t>()),
        entry["callerStartTime"].get<std::uint64_t>(), entry["callerUid"].get<uid_t>()});
}

} // namespace

std::optional<std::pair<std::vector<SuspendedProcess>, bool>> SuspendedProcesses::decode(std::string_view text)
{
    const Json j = Json::parse(text.begin(), text.end(), nullptr, false);
    if (!j.is_object() || !j.contains("indexerPaused") || !j["indexerPaused"].is_boolean() || !j.contains("processes")
        || !j["processes"].is_array())
        return std::nullopt;
    std::vector<SuspendedProcess> processes;
    for (const auto& entry : j["processes"]) {
        if (!entry.is_object() || !entry.contains("pid") || !isPid(entry["pid"]) || !entry.contains("startTime")
            || !entry["startTime"].is_number_unsigned() || !entry.contains("uid") || !entry["uid"].is_number_unsigned()
            || !entry.contains("name") || !entry["name"].is_string())
            return std::nullopt;
        const auto caller = callerOf(entry);
        if (!caller)
            return std::nullopt;
        processes.push_back(
            SuspendedProcess {pid_t(entry["pid"].get<std::int64_t>()), entry["startTime"].get<std::uint64_t>(),
                entry["uid"].get<uid_t>(), entry["name"].get<std::string>(), *caller});
    }
    return std::pair {std::move(processes), j["indexerPaused"].get<bool>()};
}

void SuspendedProcesses::load()
{
    const auto text = platform::procfiles::readText(filePath());
    if (!text)
        return;
    auto decoded = decode(*text);
    if (!decoded) {
        std::fprintf(stderr, "QuorvaneHelper cannot read %s; it is taken as empty\n", filePath().c_str());
        return;
    }
    std::lock_guard lock(m_mutex);
    m_processes = std::move(decoded->first);
    m_indexerPaused = decoded->second;
}

SuspendedProcesses::Presence SuspendedProcesses::presenceOf(const SuspendedProcess& process) const
{
    errno = 0;
    const auto text = platform::procfiles::readText(m_procRoot + "/" + std::to_string(process.pid) + "/stat", 4096);
    if (!text)
        return errno == ENOENT || errno == ESRCH ? Presence::gone : Presence::unknown;
    const auto fields = platform::ProcessTable::parseStat(*text);
    if (!fields)
        return Presence::unknown;
    return fields->pid == process.pid && fields->startTime == process.startTime ? Presence::same : Presence::gone;
}

SuspendedProcesses::Outcome SuspendedProcesses::resumeOne(const SuspendedProcess& process) const
{
    // Pinned first, then compared: the pidfd cannot move on to a later process with this pid.
    const auto pidfd = platform::openPidfd(process.pid);
    if (!pidfd.valid() && errno == ESRCH)
        return Outcome::gone;
    switch (presenceOf(process)) {
    case Presence::gone:
        return Outcome::gone;
    case Presence::unknown:
        return Outcome::left;
    case Presence::same:
        break;
    }
    const int sent = pidfd.valid() ? platform::pidfdSendSignal(pidfd.get(), SIGCONT) : ::kill(process.pid, SIGCONT);
    if (sent == 0)
        return Outcome::resumed;
    if (errno == ESRCH)
        return Outcome::gone;
    return Outcome::failed;
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
    std::erase_if(listed, [this](const SuspendedProcess& p) { return presenceOf(p) != Presence::gone; });
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

bool SuspendedProcesses::add(const SuspendedProcess& process)
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
    if (commit(version))
        return true;
    {
        std::lock_guard lock(m_mutex);
        std::erase(m_processes, process);
        m_processes.insert(m_processes.end(), replaced.begin(), replaced.end());
        changed();
    }
    commit();
    return false;
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

SuspendedProcesses::Resumption SuspendedProcesses::resume(const std::vector<SuspendedProcess>& listed) const
{
    Resumption resumption;
    for (const auto& process : listed) {
        switch (resumeOne(process)) {
        case Outcome::resumed:
            resumption.resumed.emplace_back(process, true);
            break;
        case Outcome::failed:
            resumption.resumed.emplace_back(process, false);
            resumption.left.push_back(process);
            break;
        case Outcome::left:
            resumption.left.push_back(process);
            break;
        case Outcome::gone:
            break;
        }
    }
    return resumption;
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

SuspendedProcesses::Resumption SuspendedProcesses::resumeAll()
{
    Resumption resumption;
    bool removed = false;
    {
        // Under the lock, so that no stop recorded meanwhile is dropped unresumed.
        std::lock_guard lock(m_mutex);
        resumption = resume(m_processes);
        removed = settle([](const SuspendedProcess&) { return true; }, resumption);
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

SuspendedProcesses::Resumption SuspendedProcesses::resumeStoppedBy(const SuspendingCaller& caller)
{
    Resumption resumption;
    bool removed = false;
    {
        std::lock_guard lock(m_mutex);
        const auto theirs = [&](const SuspendedProcess& p) { return p.stoppedBy == caller; };
        std::vector<SuspendedProcess> listed;
        std::copy_if(m_processes.begin(), m_processes.end(), std::back_inserter(listed), theirs);
        if (listed.empty())
            return resumption;
        resumption = resume(listed);
        removed = settle(theirs, resumption);
        if (!removed && m_writtenVersion >= m_version)
            return resumption;
    }
    if (removed)
        commitRemoval();
    else
        commit();
    return resumption;
}

std::uint64_t SuspendedProcesses::changed()
{
    return ++m_version;
}

bool SuspendedProcesses::commit(std::uint64_t upTo)
{
    std::lock_guard file(m_fileMutex);
    return writeUnlessWritten(upTo);
}

bool SuspendedProcesses::commitRemoval()
{
    std::lock_guard file(m_fileMutex);
    if (writeUnlessWritten())
        return true;
    // The file still lists what was just resumed. Removing it needs no free space, and frees the
    // room its own blocks took, which is often all a full folder needs for the list as it is now.
    const std::string path = filePath();
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        std::fprintf(stderr,
            "QuorvaneHelper cannot remove %s either (%s): it may list processes that were resumed since\n",
            path.c_str(), std::strerror(errno));
        return false;
    }
    std::size_t stillListed = 0;
    {
        std::lock_guard lock(m_mutex);
        m_writtenVersion = 0; // nothing is on disk now, so every change waits for a write
        stillListed = m_processes.size();
    }
    if (writeUnlessWritten()) {
        std::fprintf(stderr, "QuorvaneHelper wrote %s again only after removing it, for want of room in its folder\n",
            path.c_str());
        return true;
    }
    std::fprintf(stderr,
        "QuorvaneHelper removed %s, which it could not rewrite, so that no process it resumed is resumed "
        "again from it; what it still lists (%zu) is known only to this helper until the list can be written\n",
        path.c_str(), stillListed);
    return false;
}

bool SuspendedProcesses::writeUnlessWritten(std::uint64_t upTo)
{
    // Whoever holds the file writes every change made before it took the list, so the callers that
    // wait behind it usually find their change written already.
    std::vector<SuspendedProcess> listed;
    bool indexerPaused = false;
    std::uint64_t version = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_writtenVersion >= std::min(upTo, m_version))
            return true;
        listed = m_processes;
        indexerPaused = m_indexerPaused;
        version = m_version;
    }
    if (!write(encode(listed, indexerPaused) + "\n"))
        return false;
    std::lock_guard lock(m_mutex);
    m_writtenVersion = version;
    return true;
}

bool SuspendedProcesses::write(const std::string& text) const
{
    ::mkdir(m_folder.c_str(), 0755);
    const std::string path = filePath();
    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        std::fprintf(stderr, "QuorvaneHelper cannot write %s: %s\n", temporary.c_str(), std::strerror(errno));
        return false;
    }
    const bool written = writeWhole(fd, text) && ::fsync(fd) == 0;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "QuorvaneHelper cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace helper
