#include "HelperTestSupport.h"

#include "helper/src/AuditLog.h"

#include <nlohmann/json.hpp>

#include <QTemporaryDir>

#include <filesystem>

using namespace helpertest;

namespace {

TEST(AuditLogTest, RecordHasTheSixKeysAndSecondPrecisionUtcTime)
{
    const auto record
        = nlohmann::json::parse(helper::AuditLog::makeRecord("send_sigstop", 42, "ollama", true, 1772373909));
    EXPECT_EQ(record,
        nlohmann::json({{"timestamp", "2026-03-01T14:05:09Z"}, {"action", "send_sigstop"}, {"targetPID", 42},
            {"targetProcessName", "ollama"}, {"callerBundleID", "com.quorvane.pro"}, {"success", true}}));
    const auto untargeted
        = nlohmann::json::parse(helper::AuditLog::makeRecord("purge_memory", std::nullopt, "", false, 0));
    EXPECT_EQ(untargeted["targetPID"], -1);
    EXPECT_EQ(untargeted["targetProcessName"], "");
    EXPECT_EQ(untargeted["timestamp"], "1970-01-01T00:00:00Z");
}

TEST(AuditLogTest, NameThatIsNotUtf8KeepsTheRecord)
{
    const std::string line = helper::AuditLog::makeRecord("send_sigcont", 7, "bad\xff\xfename", true, 0);
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
    log.log("suppress_spotlight", std::nullopt, "", true);
    ASSERT_EQ(readLines(path).size(), 1u);
    const std::string first = readFile(path);
    log.log("restore_spotlight", std::nullopt, "", false);
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
    helper::AuditLog(path).log("send_sigstop", 5, "x", true);
    EXPECT_EQ(readFile(victim), "precious\n");
}

} // namespace
