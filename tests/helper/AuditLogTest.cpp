#include "HelperTestSupport.h"

#include "helper/src/AuditLog.h"

#include <nlohmann/json.hpp>

#include <QTemporaryDir>

#include <filesystem>

using namespace helpertest;

namespace {

const helper::AuditCaller kCaller {1000, 4242, "/usr/bin/quorvane-pro"};

TEST(AuditLogTest, RecordNamesTheCallerAndHasSecondPrecisionUtcTime)
{
    const auto record
        = nlohmann::json::parse(helper::AuditLog::makeRecord("send_sigstop", 42, "ollama", true, kCaller, 1772373909));
    EXPECT_EQ(record,
        nlohmann::json({{"timestamp", "2026-03-01T14:05:09Z"}, {"action", "send_sigstop"}, {"targetPID", 42},
            {"targetProcessName", "ollama"}, {"callerUID", 1000}, {"callerPID", 4242},
            {"callerExecutable", "/usr/bin/quorvane-pro"}, {"success", true}}));
    const auto untargeted = nlohmann::json::parse(
        helper::AuditLog::makeRecord("purge_memory", std::nullopt, "", false, helper::AuditCaller {}, 0));
    EXPECT_EQ(untargeted["targetPID"], -1);
    EXPECT_EQ(untargeted["targetProcessName"], "");
    EXPECT_EQ(untargeted["timestamp"], "1970-01-01T00:00:00Z");
    EXPECT_EQ(untargeted["callerUID"], -1);
    EXPECT_EQ(untargeted["callerExecutable"], "");
}

TEST(AuditLogTest, NameThatIsNotUtf8KeepsTheRecord)
{
    const std::string line = helper::AuditLog::makeRecord("send_sigcont", 7, "bad\xff\xfename", true, kCaller, 0);
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
        helper::AuditLog log(path, kCap);
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

} // namespace
