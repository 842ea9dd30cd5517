#include "HelperTestSupport.h"

#include "helper/src/AuditLog.h"

#include <nlohmann/json.hpp>

#include <QTemporaryDir>

#include <filesystem>
#include <map>
#include <sys/stat.h>

using namespace helpertest;

namespace {

const helper::AuditCaller kCaller {1000, 4242, "/usr/bin/quorvane-pro"};

TEST(AuditLogTest, RecordNamesTheCallerAndHasSecondPrecisionUtcTime)
{
    const auto record = helper::AuditLog::makeRecord("send_sigstop", 42, "ollama", true, kCaller, 1772373909);
    EXPECT_EQ(record,
        nlohmann::json({{"timestamp", "2026-03-01T14:05:09Z"}, {"action", "send_sigstop"}, {"targetPID", 42},
            {"targetProcessName", "ollama"}, {"callerUID", 1000}, {"callerPID", 4242},
            {"callerExecutable", "/usr/bin/quorvane-pro"}, {"success", true}}));
    const auto untargeted
        = helper::AuditLog::makeRecord("purge_memory", std::nullopt, "", false, helper::AuditCaller {}, 0);
    EXPECT_EQ(untargeted["targetPID"], -1);
    EXPECT_EQ(untargeted["targetProcessName"], "");
    EXPECT_EQ(untargeted["timestamp"], "1970-01-01T00:00:00Z");
    EXPECT_EQ(untargeted["callerUID"], -1);
    EXPECT_EQ(untargeted["callerExecutable"], "");
}

TEST(AuditLogTest, NameThatIsNotUtf8KeepsTheRecord)
{
    const std::string line
        = helper::AuditLog::makeRecord("send_sigcont", 7, "bad\xff\xfename", true, kCaller, 0).dump();
    const auto record = nlohmann::json::parse(line, nullptr, false);
    ASSERT_TRUE(record.is_object());
    EXPECT_EQ(record["targetPID"], 7);
    EXPECT_EQ(record["targetProcessName"], "bad\uFFFD\uFFFDname");
}

TEST(AuditLogTest, CreatesFoldersThenAppendsWithoutTouchingEarlierLines)
{
    QTemporaryDir dir;
    const std::string path = inDir(dir, "var/log/quorvane/audit.log");
    helper::AuditLog log(path);
    log.log("suppress_spotlight", std::nullopt, "", true, kCaller);
    ASSERT_EQ(readLines(path).size(), 1u);
    const std::string first = readFile(path);
    log.log("restore_spotlight", std::nullopt, "", false, kCaller);
    const auto lines = readLines(path);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(readFile(path).substr(0, first.size()), first);
    EXPECT_EQ(nlohmann::json::parse(lines[1])["action"], "restore_spotlight");
}

TEST(AuditLogTest, SymlinkInPlaceOfTheLogIsNotFollowed)
{
    QTemporaryDir dir;
    const std::string victim = inDir(dir, "victim");
    std::ofstream(victim) << "precious\n";
    const std::string path = inDir(dir, "audit.log");
    std::filesystem::create_symlink(victim, path);
    helper::AuditLog(path).log("send_sigstop", 5, "x", true, kCaller);
    EXPECT_EQ(readFile(victim), "precious\n");
}

// However much is written, the log and its one older part each stay within the cap.
TEST(AuditLogTest, LogMovesAsideBeforeItPassesItsCap)
{
    QTemporaryDir dir;
    const std::string path = inDir(dir, "audit.log");
    constexpr std::uint64_t kCap = 4096;
    {
        helper::AuditLog log(path, kCap, {}, kCap * 1000); // a share that holds all of them
        for (int i = 0; i < 1000; ++i)
            log.log("send_sigcont", i, "sleep", true, kCaller);
    }
    EXPECT_LE(readFile(path).size(), kCap);
    EXPECT_GT(readFile(path).size(), kCap / 2);
    EXPECT_LE(readFile(path + ".1").size(), kCap);
    EXPECT_FALSE(std::filesystem::exists(path + ".2"));
    // Whole lines on both sides of the move, the newest last.
    for (const auto& file : {path, path + ".1"}) {
        for (const auto& line : readLines(file))
            EXPECT_TRUE(nlohmann::json::parse(line, nullptr, false).is_object()) << line;
    }
    EXPECT_EQ(nlohmann::json::parse(readLines(path).back())["targetPID"], 999);
}

// One uid's refusals: one line a second, the next one counting those left out; other uids and
// carried-out actions are written as they come; the last folded one is written at the end.
TEST(AuditLogTest, RefusalsOfOneUserAreFoldedToOneLineASecond)
{
    QTemporaryDir dir;
    const std::string path = inDir(dir, "audit.log");
    double now = 100.0;
    const helper::AuditCaller other {1001, 7, "/usr/bin/quorvane-pro"};
    {
        helper::AuditLog log(path, helper::AuditLog::kDefaultMaxBytes, [&] { return now; });
        for (int i = 0; i < 1000; ++i)
            log.refusal("invalid_signal_blocked", i, "", kCaller);
        log.refusal("caller_invalid_signature", std::nullopt, "", other);
        log.log("send_sigstop", 5, "sleep", true, kCaller);
        now = 100.999;
        log.refusal("invalid_signal_blocked", 1000, "", kCaller);
        now = 101.0;
        log.refusal("rate_limited_signal", 1001, "", kCaller);
        log.refusal("rate_limited_signal", 1002, "", kCaller);
        log.refusal("rate_limited_signal", 1003, "", kCaller);
    }
    std::vector<nlohmann::json> records;
    for (const auto& line : readLines(path))
        records.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[0]["targetPID"], 0);
    EXPECT_FALSE(records[0].contains("foldedRefusals"));
    EXPECT_EQ(records[1]["callerUID"], 1001);
    EXPECT_EQ(records[2]["action"], "send_sigstop");
    EXPECT_EQ(records[3]["targetPID"], 1001);
    EXPECT_EQ(records[3]["foldedRefusals"], 1000); // 1 .. 1000
    EXPECT_EQ(records[4]["targetPID"], 1003);
    EXPECT_EQ(records[4]["foldedRefusals"], 1); // 1002
    EXPECT_EQ(records[4]["success"], false);
}

// A caller's program path and process names are its own to choose: each is cut to a fixed size as
// written (control bytes take six), at a character, and marked; what fits stays as it was.
TEST(AuditLogTest, TextsTheCallerControlsAreCutAndMarked)
{
    const std::string controls(3899, '\x01');
    const helper::AuditCaller hostile {1000, 7, "/tmp/" + controls};
    const std::string wide = std::string(1, 'n') + [] {
        std::string text;
        for (int i = 0; i < 300; ++i)
            text += "\u00e9";
        return text;
    }();
    const std::string line = helper::AuditLog::makeRecord("send_sigstop", 5, wide, true, hostile, 0).dump();
    const auto record = nlohmann::json::parse(line, nullptr, false);
    ASSERT_TRUE(record.is_object()) << line;
    EXPECT_LT(line.size(), 800u);
    for (const char* key : {"callerExecutable", "targetProcessName"}) {
        const std::string text = record[key];
        SCOPED_TRACE(key);
        EXPECT_LE(nlohmann::json(text).dump().size() - 2, helper::AuditLog::kMaxFieldBytes);
        EXPECT_GT(nlohmann::json(text).dump().size() - 2, helper::AuditLog::kMaxFieldBytes - 8);
        ASSERT_GE(text.size(), helper::AuditLog::kCutMark.size());
        EXPECT_EQ(text.substr(text.size() - helper::AuditLog::kCutMark.size()), helper::AuditLog::kCutMark);
    }
    EXPECT_EQ(std::string(record["callerExecutable"]).rfind("/tmp/\x01\x01", 0), 0u);
    EXPECT_EQ(std::string(record["targetProcessName"]).rfind("n\u00e9\u00e9", 0), 0u);

    const std::string fits(helper::AuditLog::kMaxFieldBytes, 'x');
    const auto kept = helper::AuditLog::makeRecord("send_sigstop", 5, fits, true, kCaller, 0);
    EXPECT_EQ(kept["targetProcessName"], fits);
    EXPECT_EQ(kept["callerExecutable"], kCaller.executable);
}

// A name may hold what other readers take for line ends (NEL, the Unicode line and paragraph
// separators) and DEL: the log writes them escaped, so each record is one line however it is split,
// reads back as it was, and its field still takes at most its bound as written.
TEST(AuditLogTest, EachRecordIsOneLineWhateverSplitsTheLines)
{
    QTemporaryDir dir;
    const std::string path = inDir(dir, "audit.log");
    const std::string name = "a\u2028b\u2029c\u0085d\x7f"
                             "e\x1c\v\r\n";
    std::string separators;
    for (int i = 0; i < 300; ++i)
        separators += "\u2028";
    {
        helper::AuditLog log(path);
        log.log("send_sigstop", 5, name, true, kCaller);
        log.log("send_sigstop", 6, separators, true, kCaller);
        log.log("send_sigstop", 7, "", true, kCaller);
    }
    const std::string text = readFile(path);
    for (const std::string_view end : {"\u2028", "\u2029", "\u0085", "\x7f", "\r", "\v", "\f", "\x1c"})
        EXPECT_EQ(text.find(end), std::string::npos) << int(static_cast<unsigned char>(end.back()));
    const auto lines = readLines(path);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("a\\u2028b\\u2029c\\u0085d\\u007fe\\u001c"), std::string::npos) << lines[0];
    EXPECT_EQ(nlohmann::json::parse(lines[0])["targetProcessName"], name);

    const std::string cut = nlohmann::json::parse(lines[1])["targetProcessName"];
    ASSERT_GE(cut.size(), helper::AuditLog::kCutMark.size());
    EXPECT_EQ(cut.substr(cut.size() - helper::AuditLog::kCutMark.size()), helper::AuditLog::kCutMark);
    EXPECT_LE(lines[1].size(), lines[2].size() + helper::AuditLog::kMaxFieldBytes);
    EXPECT_GT(lines[1].size(), lines[2].size() + helper::AuditLog::kMaxFieldBytes - 8);
}

// Each uid may write a fixed number of bytes a minute; what it asks beyond is left out and counted in
// its next line, and the newest left out is written at the end with the rest of the count. Every
// record is accounted for, and another uid's records are written whatever the first one does.
TEST(AuditLogTest, EachUserWritesItsShareAMinuteAndTheRestIsCounted)
{
    QTemporaryDir dir;
    const std::string path = inDir(dir, "audit.log");
    constexpr std::uint64_t kShare = 2000;
    const helper::AuditCaller other {1001, 7, "/usr/bin/quorvane-pro"};
    double now = 100.0;
    int asked = 0;
    {
        helper::AuditLog log(
            path, helper::AuditLog::kDefaultMaxBytes, [&] { return now; }, kShare);
        for (int minute = 0; minute < 3; ++minute) {
            for (int i = 0; i < 100; ++i, ++asked) {
                if (i % 2)
                    log.log("send_sigstop", i, "sleep", true, kCaller);
                else
                    log.refusal("rate_limited_signal", i, "", kCaller);
                now += 0.1;
            }
            log.log("send_sigcont", 1, "sleep", true, other);
            now += 50.5;
        }
    }
    std::map<std::int64_t, std::uint64_t> represented;
    std::map<std::pair<std::int64_t, int>, std::uint64_t> bytes; // by uid and order of the minute
    int minute = 0;
    std::uint64_t othersLines = 0;
    for (const auto& line : readLines(path)) {
        const auto record = nlohmann::json::parse(line);
        const std::int64_t uid = record["callerUID"];
        represented[uid] += 1 + record.value("foldedRefusals", 0u) + record.value("foldedRecords", 0u);
        if (uid == other.uid) {
            ++othersLines;
            ++minute;
        } else {
            bytes[{uid, minute}] += line.size() + 1;
        }
    }
    EXPECT_EQ(represented[kCaller.uid], std::uint64_t(asked));
    EXPECT_EQ(othersLines, 3u);
    for (int m = 0; m < 3; ++m) {
        const std::uint64_t written = bytes[std::pair(kCaller.uid, m)];
        EXPECT_LE(written, kShare) << m;
        EXPECT_GT(written, kShare / 2) << m;
    }
}

// The share holds in any 60 seconds, not per minute counted from a start: a caller that fills it at
// the end of one minute cannot fill it again at the start of the next. Once a minute has passed
// since, the whole share is there again.
TEST(AuditLogTest, ShareHoldsInAnySixtySeconds)
{
    QTemporaryDir dir;
    const std::string path = inDir(dir, "audit.log");
    constexpr std::uint64_t kShare = 2000;
    double now = 100.0;
    std::map<int, double> askedAt; // by target pid
    {
        helper::AuditLog log(
            path, helper::AuditLog::kDefaultMaxBytes, [&] { return now; }, kShare);
        int pid = 0;
        const auto burst = [&](double at, int count) {
            now = at;
            for (int i = 0; i < count; ++i, ++pid) {
                askedAt[pid] = now;
                log.log("send_sigstop", pid, "sleep", true, kCaller);
            }
        };
        burst(100.0, 1);
        burst(159.5, 40);
        burst(160.0, 40);
        burst(280.0, 40);
    }
    std::vector<std::pair<double, std::uint64_t>> written; // when asked, and the bytes of the line
    for (const auto& line : readLines(path)) {
        const int pid = nlohmann::json::parse(line)["targetPID"];
        written.emplace_back(askedAt.at(pid), line.size() + 1);
    }
    ASSERT_FALSE(written.empty());
    // The last line is the newest left out, written when the log closes.
    written.pop_back();
    for (const auto& [start, ignored] : written) {
        std::uint64_t bytes = 0;
        for (const auto& [at, size] : written) {
            if (at >= start && at < start + 60.0)
                bytes += size;
        }
        EXPECT_LE(bytes, kShare) << "in the 60 seconds from " << start;
    }
    std::uint64_t last = 0;
    for (const auto& [at, size] : written)
        last += at == 280.0 ? size : 0;
    EXPECT_GT(last, kShare - 200);
}

// The busiest caller, writing records as long as they can be as often as it likes, needs many hours
// to move the log aside twice and so push out a record another user wrote before it began.
TEST(AuditLogTest, BusiestCallerTakesHoursToMoveTheLogAsideTwice)
{
    QTemporaryDir dir;
    const std::string path = inDir(dir, "audit.log");
    const std::string controls(3899, '\x01');
    const helper::AuditCaller hostile {1000, 4242, "/tmp/" + controls};
    double now = 0;
    helper::AuditLog log(path, helper::AuditLog::kDefaultMaxBytes, [&] { return now; });
    log.log("send_sigstop", 77, "ollama", true, helper::AuditCaller {0, 1, "/usr/bin/quorvane-pro"});
    const auto inode = [&] {
        struct stat st
        {
        };
        return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
    };
    auto current = inode();
    int moves = 0;
    int minutes = 0;
    for (; moves < 2 && minutes < 48 * 60; ++minutes) {
        for (int i = 0; i < 50; ++i) {
            log.log("send_sigstop", i, controls, true, hostile);
            log.refusal("invalid_signal_blocked", i, controls, hostile);
            now += 60.0 / 50;
        }
        if (const auto seen = inode(); seen != current) {
            ++moves;
            current = seen;
        }
    }
    EXPECT_GE(minutes, 16 * 60);
    EXPECT_EQ(readFile(path + ".1").find("\"targetPID\":77,"), std::string::npos);
    std::printf(
        "the busiest caller moved the log aside twice after %d minutes (%.1f hours)\n", minutes, minutes / 60.0);
}

} // namespace
