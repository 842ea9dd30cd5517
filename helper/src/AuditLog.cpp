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

// Characters that line splitters other than ours take for line ends (NEL, LINE SEPARATOR, PARAGRAPH
// SEPARATOR), and DEL, which a terminal does not show: the log writes them escaped, as the serialiser
// writes the other control characters, so one record is always one line however it is read.
struct EscapedCharacter
{
    std::string_view utf8;
    std::string_view escaped;
};
constexpr EscapedCharacter kEscapedCharacters[] = {
    {"\x7f", "\\u007f"},
    {"\xc2\x85", "\\u0085"},
    {"\xe2\x80\xa8", "\\u2028"},
    {"\xe2\x80\xa9", "\\u2029"},
};

// The one of those that `text` starts with, if any.
const EscapedCharacter* escapedCharacterAt(std::string_view text)
{
    for (const auto& special : kEscapedCharacters) {
        if (text.starts_with(special.utf8))
            return &special;
    }
    return nullptr;
}

// The length of the character of valid UTF-8 that starts with lead byte `c`.
std::size_t characterLength(unsigned char c)
{
    return c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
}

// The escaped size of the character of valid UTF-8 at the start of `text`, as the log writes it.
std::size_t escapedSize(std::string_view text)
{
    const auto c = static_cast<unsigned char>(text[0]);
    if (c == '"' || c == '\\' || c == '\b' || c == '\f' || c == '\n' || c == '\r' || c == '\t')
        return 2;
    if (c < 0x20)
        return 6; // \u0001
    if (const auto* special = escapedCharacterAt(text))
        return special->escaped.size();
    return characterLength(c);
}

// `text` as valid UTF-8 whose escaped form takes at most kMaxFieldBytes, cut at a character and
// marked when it would take more.
std::string boundedField(std::string_view text)
{
    std::string valid = platform::toValidUtf8(text);
    const std::string_view view(valid);
    std::size_t size = 0;
    std::size_t cut = 0; // where the text ends if it has to be cut
    const std::size_t room = AuditLog::kMaxFieldBytes - AuditLog::kCutMark.size();
    for (std::size_t i = 0; i < view.size(); i += characterLength(static_cast<unsigned char>(view[i]))) {
        size += escapedSize(view.substr(i));
        if (size <= room)
            cut = i + characterLength(static_cast<unsigned char>(view[i]));
        else if (size > AuditLog::kMaxFieldBytes)
            break;
    }
    if (size <= AuditLog::kMaxFieldBytes)
        return valid;
    valid.resize(cut);
    valid += AuditLog::kCutMark;
    return valid;
}

// One record as its line, without the line end.
std::string encodeLine(const nlohmann::json& record)
{
    const std::string dumped = record.dump();
    std::string line;
    line.reserve(dumped.size());
    // The dump is valid UTF-8 whose structure is ASCII, so each of these sequences is that character
    // inside a string.
    for (std::size_t i = 0; i < dumped.size();) {
        if (const auto* special = escapedCharacterAt(std::string_view(dumped).substr(i))) {
            line += special->escaped;
            i += special->utf8.size();
        } else {
            line += dumped[i++];
        }
    }
    return line;
}

} // namespace

AuditLog::AuditLog(std::string path, std::uint64_t maxBytes, Clock clock, std::uint64_t bytesPerMinute)
    : m_path(std::move(path))
    , m_maxBytes(maxBytes)
    , m_clock(clock ? std::move(clock) : Clock(&RateLimiter::monotonicSeconds))
    , m_bytesPerMinute(bytesPerMinute)
{
}

AuditLog::~AuditLog()
{
    for (auto& [uid, share] : m_shares) {
        try {
            // The newest refusal stands for itself and the ones folded before it.
            if (share.foldedRefusals > 0) {
                if (share.foldedRefusals > 1)
                    share.lastFoldedRefusal["foldedRefusals"] = share.foldedRefusals - 1;
                write(encodeLine(share.lastFoldedRefusal));
            }
            // Likewise the newest record left out, which was counted with the refusals it stood for.
            if (share.foldedRecords > 0) {
                const std::uint64_t own = 1 + share.lastLeftOut.value("foldedRefusals", std::uint64_t(0));
                if (share.foldedRecords > own)
                    share.lastLeftOut["foldedRecords"] = share.foldedRecords - own;
                write(encodeLine(share.lastLeftOut));
            }
        } catch (const std::exception&) {
        }
    }
}

nlohmann::json AuditLog::makeRecord(std::string_view action, std::optional<std::int32_t> targetPid,
    std::string_view targetProcessName, bool success, const AuditCaller& caller, std::time_t now)
{
    std::tm utc {};
    gmtime_r(&now, &utc);
    char timestamp[32];
    std::strftime(timestamp, sizeof timestamp, "%Y-%m-%dT%H:%M:%SZ", &utc);

    // A process name or path need not be UTF-8; keep the record with replacement characters.
    return {
        {"timestamp", timestamp},
        {"action", boundedField(action)},
        {"targetPID", targetPid.value_or(-1)},
        {"targetProcessName", boundedField(targetProcessName)},
        {"callerUID", caller.uid},
        {"callerPID", caller.pid},
        {"callerExecutable", boundedField(caller.executable)},
        {"success", success},
    };
}

void AuditLog::log(std::string_view action, std::optional<std::int32_t> targetPid, std::string_view targetProcessName,
    bool success, const AuditCaller& caller, const std::optional<AuditCaller>& stoppedBy)
{
    try {
        auto record = makeRecord(action, targetPid, targetProcessName, success, caller, std::time(nullptr));
        if (stoppedBy) {
            record["stoppedByUID"] = stoppedBy->uid;
            record["stoppedByPID"] = stoppedBy->pid;
        }
        submit(std::move(record), stoppedBy ? stoppedBy->uid : caller.uid);
    } catch (const std::exception&) {
    }
}

void AuditLog::refusal(std::string_view action, std::optional<std::int32_t> targetPid,
    std::string_view targetProcessName, const AuditCaller& caller)
{
    try {
        const double now = m_clock();
        auto record = makeRecord(action, targetPid, targetProcessName, false, caller, std::time(nullptr));
        {
            std::lock_guard lock(m_sharesMutex);
            Share& share = m_shares[caller.uid];
            if (share.lastRefusalWritten && now - *share.lastRefusalWritten < kRefusalInterval) {
                ++share.foldedRefusals;
                share.lastFoldedRefusal = std::move(record);
                return;
            }
            if (share.foldedRefusals > 0)
                record["foldedRefusals"] = share.foldedRefusals;
            share.lastRefusalWritten = now;
            share.foldedRefusals = 0;
            share.lastFoldedRefusal = nullptr;
        }
        submit(std::move(record), caller.uid);
    } catch (const std::exception&) {
    }
}

void AuditLog::submit(nlohmann::json record, std::int64_t uid)
{
    std::string line;
    {
        std::lock_guard lock(m_sharesMutex);
        Share& share = m_shares[uid];
        if (!share.budget)
            share.budget = std::make_unique<RateLimiter>(m_clock, m_bytesPerMinute, 60.0);
        if (share.foldedRecords > 0)
            record["foldedRecords"] = share.foldedRecords;
        line = encodeLine(record);
        if (share.budget->isRateLimited(line.size() + 1)) {
            record.erase("foldedRecords");
            share.foldedRecords += 1 + record.value("foldedRefusals", std::uint64_t(0));
            share.lastLeftOut = std::move(record);
            return;
        }
        share.foldedRecords = 0;
        share.lastLeftOut = nullptr;
    }
    write(line);
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
