#include "helper/src/SuspendedListFile.h"

#include "platform/io/ProcFiles.h"
#include "platform/io/Utf8.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace helper {

namespace {

using Json = nlohmann::json;

// 0, or the errno of the write that failed.
int writeWhole(int fd, const std::string& text)
{
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return EIO;
        written += std::size_t(n);
    }
    return 0;
}

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

SuspendedListFile::SuspendedListFile(std::string folder)
    : m_folder(std::move(folder))
{
}

std::string SuspendedListFile::encode(const std::vector<SuspendedProcess>& processes, bool indexerPaused)
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

std::optional<std::pair<std::vector<SuspendedProcess>, bool>> SuspendedListFile::decode(std::string_view text)
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

std::optional<std::pair<std::vector<SuspendedProcess>, bool>> SuspendedListFile::read() const
{
    const auto text = platform::procfiles::readText(path());
    if (!text)
        return std::nullopt;
    auto decoded = decode(*text);
    if (!decoded)
        std::fprintf(stderr, "QuorvaneHelper cannot read %s; it is taken as empty\n", path().c_str());
    return decoded;
}

int SuspendedListFile::write(const std::string& text, bool quiet) const
{
    ::mkdir(m_folder.c_str(), 0755);
    const std::string target = path();
    const std::string temporary = target + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int error = errno;
        if (!quiet)
            std::fprintf(stderr, "QuorvaneHelper cannot write %s: %s\n", temporary.c_str(), std::strerror(error));
        return error;
    }
    int error = writeWhole(fd, text);
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    ::close(fd);
    if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        if (!quiet)
            std::fprintf(stderr, "QuorvaneHelper cannot write %s: %s\n", target.c_str(), std::strerror(error));
        ::unlink(temporary.c_str());
    }
    return error;
}

int SuspendedListFile::remove() const
{
    return ::unlink(path().c_str()) == 0 || errno == ENOENT ? 0 : errno;
}

} // namespace helper
