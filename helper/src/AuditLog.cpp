#include "helper/src/AuditLog.h"

#include "platform/io/Utf8.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace helper {

namespace {

constexpr const char* kCallerBundleId = "com.quorvane.pro";

void makeParentFolders(const std::string& path)
{
    for (auto slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), 0755);
}

} // namespace

AuditLog::AuditLog(std::string path)
    : m_path(std::move(path))
{
}

std::string AuditLog::makeRecord(std::string_view action, std::optional<std::int32_t> targetPid,
    std::string_view targetProcessName, bool success, std::time_t now)
{
    std::tm utc {};
    gmtime_r(&now, &utc);
    char timestamp[32];
    std::strftime(timestamp, sizeof timestamp, "%Y-%m-%dT%H:%M:%SZ", &utc);

    const nlohmann::json record = {
        {"timestamp", timestamp},
        {"action", platform::toValidUtf8(action)},
        {"targetPID", targetPid.value_or(-1)},
        // A process name need not be UTF-8; keep the record with replacement characters.
        {"targetProcessName", platform::toValidUtf8(targetProcessName)},
        {"callerBundleID", kCallerBundleId},
        {"success", success},
    };
    return record.dump();
}

void AuditLog::log(
    std::string_view action, std::optional<std::int32_t> targetPid, std::string_view targetProcessName, bool success)
{
    try {
        append(makeRecord(action, targetPid, targetProcessName, success, std::time(nullptr)) + "\n");
    } catch (const std::exception&) {
    }
}

void AuditLog::append(const std::string& line)
{
    std::lock_guard lock(m_mutex);
    int fd = ::open(m_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0640);
    if (fd < 0 && errno == ENOENT) {
        makeParentFolders(m_path);
        fd = ::open(m_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0640);
    }
    if (fd < 0)
        return;
    std::size_t written = 0;
    while (written < line.size()) {
        const ssize_t n = ::write(fd, line.data() + written, line.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += std::size_t(n);
    }
    ::close(fd);
}

} // namespace helper
