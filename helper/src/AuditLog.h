#pragma once

#include <cstdint>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace helper {

// The helper's append-only trail: one compact JSON object per line. The file is opened for each
// line with O_APPEND and without following a symlink, and each line goes out in one write under
// one lock, so lines of concurrent connections never interleave and the file is never replaced.
// Failures are swallowed: a lost line never changes a request's reply.
class AuditLog
{
public:
    explicit AuditLog(std::string path);

    void log(std::string_view action, std::optional<std::int32_t> targetPid, std::string_view targetProcessName,
        bool success);

    // The record for one line, without its newline; `now` is in UTC seconds since 1970.
    static std::string makeRecord(std::string_view action, std::optional<std::int32_t> targetPid,
        std::string_view targetProcessName, bool success, std::time_t now);

    const std::string& path() const { return m_path; }

private:
    void append(const std::string& line);

    std::string m_path;
    std::mutex m_mutex;
};

} // namespace helper
