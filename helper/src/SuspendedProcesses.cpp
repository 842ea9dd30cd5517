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
#include <sys/stat.h>
#include <unistd.h>

namespace helper {

namespace {

using Json = nlohmann::json;

std::optional<std::uint64_t> startTimeOf(const std::string& procRoot, pid_t pid)
{
    const auto text = platform::procfiles::readText(procRoot + "/" + std::to_string(pid) + "/stat", 4096);
    if (!text)
        return std::nullopt;
    const auto fields = platform::ProcessTable::parseStat(*text);
    if (!fields || fields->pid != pid)
        return std::nullopt;
    return fields->startTime;
}

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

SuspendedProcesses::SuspendedProcesses(std::string folder, std::string procRoot)
    : m_folder(std::move(folder))
    , m_procRoot(std::move(procRoot))
{
}

std::string SuspendedProcesses::encode(const std::vector<SuspendedProcess>& processes, bool indexerPaused)
{
    Json list = Json::array();
    for (const auto& p : processes)
        list.push_back(
            {{"pid", p.pid}, {"startTime", p.startTime}, {"uid", p.uid}, {"name", platform::toValidUtf8(p.name)}});
    return Json {{"indexerPaused", indexerPaused}, {"processes", std::move(list)}}.dump();
}

std::optional<std::pair<std::vector<SuspendedProcess>, bool>> SuspendedProcesses::decode(std::string_view text)
{
    const Json j = Json::parse(text.begin(), text.end(), nullptr, false);
    if (!j.is_object() || !j.contains("indexerPaused") || !j["indexerPaused"].is_boolean() || !j.contains("processes")
        || !j["processes"].is_array())
        return std::nullopt;
    std::vector<SuspendedProcess> processes;
    for (const auto& entry : j["processes"]) {
        if (!entry.is_object() || !entry.contains("pid") || !entry["pid"].is_number_integer()
            || !entry.contains("startTime") || !entry["startTime"].is_number_unsigned() || !entry.contains("uid")
            || !entry["uid"].is_number_unsigned() || !entry.contains("name") || !entry["name"].is_string())
            return std::nullopt;
        const auto pid = entry["pid"].get<std::int64_t>();
        if (pid <= 1 || pid > INT32_MAX)
            return std::nullopt;
        processes.push_back(SuspendedProcess {pid_t(pid), entry["startTime"].get<std::uint64_t>(),
            entry["uid"].get<uid_t>(), entry["name"].get<std::string>()});
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

bool SuspendedProcesses::isStillRunning(const SuspendedProcess& process) const
{
    return startTimeOf(m_procRoot, process.pid) == process.startTime;
}

void SuspendedProcesses::add(const SuspendedProcess& process)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_processes, [&](const SuspendedProcess& p) { return p.pid == process.pid || !isStillRunning(p); });
    m_processes.push_back(process);
    save();
}

void SuspendedProcesses::remove(pid_t pid)
{
    std::lock_guard lock(m_mutex);
    if (std::erase_if(m_processes, [pid](const SuspendedProcess& p) { return p.pid == pid; }) > 0)
        save();
}

void SuspendedProcesses::setIndexerPaused(bool paused)
{
    std::lock_guard lock(m_mutex);
    if (m_indexerPaused == paused)
        return;
    m_indexerPaused = paused;
    save();
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

std::vector<std::pair<SuspendedProcess, bool>> SuspendedProcesses::resumeAll()
{
    std::lock_guard lock(m_mutex);
    std::vector<std::pair<SuspendedProcess, bool>> resumed;
    for (const auto& process : m_processes) {
        // Pinned first, then compared: the pidfd cannot move on to a later process with this pid.
        const auto pidfd = platform::openPidfd(process.pid);
        if (!pidfd.valid() || !isStillRunning(process))
            continue;
        resumed.emplace_back(process, platform::pidfdSendSignal(pidfd.get(), SIGCONT) == 0);
    }
    if (!m_processes.empty()) {
        m_processes.clear();
        save();
    }
    return resumed;
}

void SuspendedProcesses::save()
{
    ::mkdir(m_folder.c_str(), 0755);
    const std::string path = filePath();
    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        std::fprintf(stderr, "QuorvaneHelper cannot write %s: %s\n", temporary.c_str(), std::strerror(errno));
        return;
    }
    const bool written = writeWhole(fd, encode(m_processes, m_indexerPaused) + "\n") && ::fsync(fd) == 0;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "QuorvaneHelper cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        ::unlink(temporary.c_str());
    }
}

} // namespace helper
