#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
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
class AuditLog
{
public:
    using Clock = std::function<double()>; // monotonic seconds
    static constexpr std::uint64_t kDefaultMaxBytes = 4 * 1024 * 1024;

    explicit AuditLog(std::string path, std::uint64_t maxBytes = kDefaultMaxBytes, Clock clock = {});
    // Writes the last refusal of each caller that was folded and not yet written.
    ~AuditLog();
    AuditLog(const AuditLog&) = delete;
    AuditLog& operator=(const AuditLog&) = delete;

    void log(std::string_view action, std::optional<std::int32_t> targetPid, std::string_view targetProcessName,
        bool success, const AuditCaller& caller);
    // A refused request (success false). One caller uid writes at most one refusal line a second, so a
    // flood cannot fill the disk or push the log's history out; the next line written carries in
    // "foldedRefusals" how many refusals it stands for besides its own.
    void refusal(std::string_view action, std::optional<std::int32_t> targetPid, std::string_view targetProcessName,
        const AuditCaller& caller);

    // The record for one line, without its newline; `now` is in UTC seconds since 1970.
    static std::string makeRecord(std::string_view action, std::optional<std::int32_t> targetPid,
        std::string_view targetProcessName, bool success, const AuditCaller& caller, std::time_t now,
        std::uint64_t foldedRefusals = 0);

    const std::string& path() const { return m_path; }

private:
    struct Folding
    {
        double lastWritten = 0;
        std::uint64_t folded = 0;
        std::string lastFolded; // the record of the newest refusal left out
    };

    void write(const std::string& record);
    void append(const std::string& line);

    std::string m_path;
    std::uint64_t m_maxBytes;
    Clock m_clock;
    std::mutex m_mutex; // the file
    std::mutex m_foldingMutex;
    std::map<std::int64_t, Folding> m_folding; // by caller uid
};

} // namespace helper
