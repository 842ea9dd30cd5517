#include "helper/src/AuditLog.h"

#include "helper/src/RateLimiter.h"
#include "platform/io/Utf8.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace helper {

namespace {

constexpr double kRefusalInterval = 1.0; // seconds between two refusal lines of one uid
constexpr int kOpenFlags = O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC;

void makeParentFolders(const std::string& path)
{
    for (auto slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), 0755);
}

int openLog(const std::string& path)
{
    int fd = ::open(path.c_str(), kOpenFlags, 0640);
    if (fd < 0 && errno == ENOENT) {
        makeParentFolders(path);
        fd = ::open(path.c_str(), kOpenFlags, 0640);
    }
    return fd;
}

} // namespace

AuditLog::AuditLog(std::string path, std::uint64_t maxBytes, Clock clock)
    : m_path(std::move(path))
    , m_maxBytes(maxBytes)
    , m_clock(clock ? std::move(clock) : Clock(&RateLimiter::monotonicSeconds))
{
}

AuditLog::~AuditLog()
{
    for (const auto& [uid, folding] : m_folding) {
        if (folding.folded == 0)
            continue;
        // The newest refusal stands for itself and the ones folded before it.
        auto record = nlohmann::json::parse(folding.lastFolded, nullptr, false);
        if (!record.is_object())
            continue;
        if (folding.folded > 1)
            record["foldedRefusals"] = folding.folded - 1;
        try {
            write(record.dump());
        } catch (const std::exception&) {
        }
    }
}

std::string AuditLog::makeRecord(std::string_view action, std::optional<std::int32_t> targetPid,
    std::string_view targetProcessName, bool success, const AuditCaller& caller, std::time_t now,
    std::uint64_t foldedRefusals)
{
    std::tm utc {};
    gmtime_r(&now, &utc);
    char timestamp[32];
    std::strftime(timestamp, sizeof timestamp, "%Y-%m-%dT%H:%M:%SZ", &utc);

    nlohmann::json record = {
        {"timestamp", timestamp},
        {"action", platform::toValidUtf8(action)},
        {"targetPID", targetPid.value_or(-1)},
        // A process name or path need not be UTF-8; keep the record with replacement characters.
        {"targetProcessName", platform::toValidUtf8(targetProcessName)},
        {"callerUID", caller.uid},
        {"callerPID", caller.pid},
        {"callerExecutable", platform::toValidUtf8(caller.executable)},
        {"success", success},
    };
    if (foldedRefusals > 0)
        record["foldedRefusals"] = foldedRefusals;
    return record.dump();
}

void AuditLog::log(std::string_view action, std::optional<std::int32_t> targetPid, std::string_view targetProcessName,
    bool success, const AuditCaller& caller)
{
    try {
        write(makeRecord(action, targetPid, targetProcessName, success, caller, std::time(nullptr)));
    } catch (const std::exception&) {
    }
}

void AuditLog::refusal(std::string_view action, std::optional<std::int32_t> targetPid,
    std::string_view targetProcessName, const AuditCaller& caller)
{
    try {
        const double now = m_clock();
        std::string record;
        {
            std::lock_guard lock(m_foldingMutex);
            auto [entry, first] = m_folding.try_emplace(caller.uid);
            Folding& folding = entry->second;
            if (!first && now - folding.lastWritten < kRefusalInterval) {
                ++folding.folded;
                folding.lastFolded
                    = makeRecord(action, targetPid, targetProcessName, false, caller, std::time(nullptr));
                return;
            }
            record
                = makeRecord(action, targetPid, targetProcessName, false, caller, std::time(nullptr), folding.folded);
            folding = Folding {now, 0, {}};
        }
        write(record);
    } catch (const std::exception&) {
    }
}

void AuditLog::write(const std::string& record)
{
    append(record + "\n");
}

void AuditLog::append(const std::string& line)
{
    std::lock_guard lock(m_mutex);
    int fd = openLog(m_path);
    if (fd < 0)
        return;
    struct stat st
    {
    };
    if (::fstat(fd, &st) == 0 && st.st_size > 0 && std::uint64_t(st.st_size) + line.size() > m_maxBytes) {
        ::close(fd);
        if (::rename(m_path.c_str(), (m_path + ".1").c_str()) != 0)
            return;
        fd = openLog(m_path);
        if (fd < 0)
            return;
    }
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
