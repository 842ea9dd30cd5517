#include "views/privacy/PrivacyExports.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace PrivacyExports;

namespace {

AuditEvent at(double since1970, std::string category, std::string action, bool ok)
{
    return AuditEvent {Uuid::random(), Date::from1970(since1970), std::move(category), std::move(action), std::nullopt,
        std::nullopt, ok};
}

} // namespace

TEST(PrivacyExportsTest, CsvQuotesEveryTextFieldAndDoublesInnerQuotes)
{
    const std::vector<AuditEvent> events {
        at(1'700'000'000.75, "SIGSTOP", "Froze \"node\", then waited\nfor it", true),
        at(0, "Power, CPU", "", false),
    };
    EXPECT_EQ(auditLogCsv(events).toStdString(),
        "Timestamp,Category,Action,Success\n"
        "\"2023-11-14 22:13:20 +0000\",\"SIGSTOP\",\"Froze \"\"node\"\", then waited\nfor it\",true\n"
        "\"1970-01-01 00:00:00 +0000\",\"Power, CPU\",\"\",false\n");
    EXPECT_EQ(auditLogCsv({}).toStdString(), "Timestamp,Category,Action,Success\n");
}

TEST(PrivacyExportsTest, JsonKeepsKeyOrderAndLeavesOutAbsentTargets)
{
    AuditEvent full = at(Date::kReferenceTo1970 + 12.5, "SIGSTOP", "Froze", true);
    full.targetProcess = "node";
    full.targetPid = 42;
    const AuditEvent bare = at(Date::kReferenceTo1970, "System", "Version", false);
    const std::string id = full.id.toString();
    EXPECT_EQ(id, QString::fromStdString(id).toUpper().toStdString());
    EXPECT_EQ(auditLogJson({full, bare}).toStdString(),
        "[{\"id\":\"" + id
            + "\",\"timestamp\":12.5,\"category\":\"SIGSTOP\",\"actionDescription\":\"Froze\","
              "\"targetProcess\":\"node\",\"targetPid\":42,\"success\":true},"
              "{\"id\":\""
            + bare.id.toString()
            + "\",\"timestamp\":0.0,\"category\":\"System\","
              "\"actionDescription\":\"Version\",\"success\":false}]");
    EXPECT_EQ(auditLogJson({}).toStdString(), "[]");
}

TEST(PrivacyExportsTest, FullExportHoldsTheSummaryAndTheWholeLogOnly)
{
    PrivacyMetricsEngine::DataInventory inventory;
    inventory.auditLogEntries = 2;
    inventory.auditLogSizeBytes = 100;
    inventory.settingsSizeBytes = 23;
    inventory.bytesOnDisk = 123;
    const auto text = fullDataExport(Date::from1970(86400), inventory, {at(60, "Power", "Read", true)});
    const Json j = Json::parse(text.toStdString());
    EXPECT_EQ(j["exportDate"], "1970-01-02 00:00:00 +0000");
    EXPECT_EQ(j["inventory"], (Json {{"auditLogEntries", 2}, {"totalSizeBytes", 123}}));
    ASSERT_EQ(j["auditLog"].size(), 1u);
    EXPECT_EQ(j["auditLog"][0],
        (Json {
            {"timestamp", "1970-01-01 00:01:00 +0000"}, {"category", "Power"}, {"action", "Read"}, {"success", true}}));
    const Json empty = Json::parse(fullDataExport(Date::from1970(0), {}, {}).toStdString());
    EXPECT_TRUE(empty["auditLog"].is_array() && empty["auditLog"].empty());
}

TEST(PrivacyExportsTest, NamesCarryTheWholeEpochSecond)
{
    EXPECT_EQ(fileName("AuditLog", "csv", Date::from1970(1'700'000'000.9)), "Quorvane_AuditLog_1700000000.csv");
}

TEST(PrivacyExportsTest, AtomicWriteReplacesWholeFilesAndReportsFailures)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("out.json");
    ASSERT_TRUE(writeAtomically(path, "first, longer contents").isEmpty());
    ASSERT_TRUE(writeAtomically(path, "second").isEmpty());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "second");
    EXPECT_FALSE(writeAtomically(dir.filePath("missing/folder/out.json"), "x").isEmpty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList {"out.json"});
}
