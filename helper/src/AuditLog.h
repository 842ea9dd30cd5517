#pragma once

#include "helper/src/RateLimiter.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace helper {

// Who asked for an audited action, as the connection's peer credentials and executable showed it
// when the connection was accepted; -1 and empty where the kernel did not tell.
struct AuditCaller
{
    std::int64_t uid = -1;
    std::int32_t pid = -1;
    std::string executable;
};

// The helper's trail: one compact JSON object per line. The file is opened for each line with
// O_APPEND and without following a symlink, and each line goes out in one write under one lock, so
// lines of concurrent connections never interleave. It is kept to `maxBytes`: a line that would
// take it past that first moves it to "<path>.1", replacing the older one. Failures are swallowed:
// a lost line never changes a request's reply.
//
// No caller can push the others' records out quickly: every text a caller controls (its program's
// path, a process name) is cut to kMaxFieldBytes as written, ending in kCutMark, and each uid may
// write `bytesPerMinute` in any 60 seconds; what it asks beyond that is left out, and its next line
// carries in "foldedRecords" how many records were left out before it.
class AuditLog
{
public:
    using Clock = std::function<double()>; // monotonic seconds
    static constexpr std::uint64_t kDefaultMaxBytes = 4 * 1024 * 1024;
    static constexpr std::uint64_t kDefaultBytesPerMinute = 8 * 1024;
    static constexpr std::size_t kMaxFieldBytes = 256;
    static constexpr std::string_view kCutMark = "\u2026[cut]";

    explicit AuditLog(std::string path, std::uint64_t maxBytes = kDefaultMaxBytes, Clock clock = {},
        std::uint64_t bytesPerMinute = kDefaultBytesPerMinute);
    // Writes, for each uid, the newest record that was folded or left out and not yet accounted for.
    ~AuditLog();
    AuditLog(const AuditLog&) = delete;
    AuditLog& operator=(const AuditLog&) = delete;

    // `stoppedBy` names, for what the helper does of its own accord, the caller it does it for: the
    // line is that caller's to pay for and names it.
    void log(std::string_view action, std::optional<std::int32_t> targetPid, std::string_view targetProcessName,
        bool success, const AuditCaller& caller, const std::optional<AuditCaller>& stoppedBy = std::nullopt);
    // A refused request (success false). One caller uid writes at most one refusal line a second, so a
    // flood cannot fill the disk or push the log's history out; the next line written carries in
    // "foldedRefusals" how many refusals it stands for besides its own.
    void refusal(std::string_view action, std::optional<std::int32_t> targetPid, std::string_view targetProcessName,
        const AuditCaller& caller);

    // The record of one line; `now` is in UTC seconds since 1970.
    static nlohmann::json makeRecord(std::string_view action, std::optional<std::int32_t> targetPid,
        std::string_view targetProcessName, bool success, const AuditCaller& caller, std::time_t now);

    const std::string& path() const { return m_path; }

private:
    // One uid's part of the log.
    struct Share
    {
        std::optional<double> lastRefusalWritten;
        std::uint64_t foldedRefusals = 0;
        nlohmann::json lastFoldedRefusal; // the newest refusal folded
        std::unique_ptr<RateLimiter> budget; // the bytes written in the last minute
        std::uint64_t foldedRecords = 0;
        nlohmann::json lastLeftOut; // the newest record left out over the budget
    };

    // Writes `record` unless it is over the budget of `uid`, which then counts it.
    void submit(nlohmann::json record, std::int64_t uid);
    void write(const std::string& record);
    void append(const std::string& line);

    std::string m_path;
    std::uint64_t m_maxBytes;
    Clock m_clock;
    std::uint64_t m_bytesPerMinute;
    std::mutex m_mutex; // the file
    std::mutex m_sharesMutex;
    std::map<std::int64_t, Share> m_shares; // by the uid a line is charged to
};

} // namespace helper
