#include "records/AuditLogger.h"

#include "core/JsonFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <gtest/gtest.h>

namespace {

AuditEvent makeEvent(const std::string& description, std::optional<std::string> process = std::nullopt,
    std::optional<std::int32_t> pid = std::nullopt)
{
    return AuditEvent {Uuid::random(), Date::now(), "signal", description, std::move(process), pid, true};
}

std::vector<std::string> descriptions(const std::vector<AuditEvent>& events)
{
    std::vector<std::string> out;
    for (const auto& e : events)
        out.push_back(e.actionDescription);
    return out;
}

} // namespace

TEST(AuditEventTest, OptionalTargetsAreLeftOutAndReadBackAbsent)
{
    const char* full = R"({"id":"0B7C2F1E-4D3A-4E5F-8A9B-1C2D3E4F5A6B","timestamp":760000000.25,"category":"signal",
        "actionDescription":"Suspended process","targetProcess":"node","targetPid":4242,"success":true})";
    const auto event = jsoncodec::decodeText<AuditEvent>(full);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->targetProcess, "node");
    EXPECT_EQ(event->targetPid, 4242);
    EXPECT_EQ(Json::parse(*jsoncodec::encodeText(*event)), Json::parse(full));

    AuditEvent bare = *event;
    bare.targetProcess.reset();
    bare.targetPid.reset();
    const Json written = Json::parse(*jsoncodec::encodeText(bare));
    EXPECT_FALSE(written.contains("targetProcess"));
    EXPECT_FALSE(written.contains("targetPid"));
    EXPECT_EQ(written.size(), 5u);
    EXPECT_EQ(jsoncodec::decodeText<AuditEvent>(written.dump()), bare);

    Json noSuccess = Json::parse(full);
    noSuccess.erase("success");
    EXPECT_FALSE(jsoncodec::decodeText<AuditEvent>(noSuccess.dump()));
}

TEST(AuditLoggerTest, EventsAreKeptNewestFirstInMemoryAndInTheFile)
{
    QTemporaryDir dir;
    AuditLogger logger(dir.path());
    logger.log(makeEvent("first"));
    logger.log(makeEvent("second", "cc1plus", 77));
    logger.log(makeEvent("third"));
    const std::vector<std::string> expected {"third", "second", "first"};
    EXPECT_EQ(descriptions(logger.fetchAllEvents()), expected);

    const Json file = Json::parse(*jsonfile::readAll(dir.filePath("audit_log.json")));
    ASSERT_EQ(file.size(), 3u);
    EXPECT_EQ(file[0]["actionDescription"], "third");
    EXPECT_FALSE(file[0].contains("targetPid"));
    EXPECT_EQ(file[1]["targetPid"], 77);

    AuditLogger reloaded(dir.path());
    EXPECT_EQ(reloaded.fetchAllEvents(), logger.fetchAllEvents());
}

TEST(AuditLoggerTest, MalformedFileStartsEmptyAndIsSetAside)
{
    QTemporaryDir dir;
    const std::string bad = R"([{"id":"0B7C2F1E-4D3A-4E5F-8A9B-1C2D3E4F5A6B","timestamp":1.0,"category":"signal",
        "actionDescription":"no success key"}])";
    ASSERT_TRUE(jsonfile::writeAtomically(dir.filePath("audit_log.json"), bad));
    AuditLogger logger(dir.path());
    EXPECT_TRUE(logger.fetchAllEvents().empty());
    const QStringList aside = QDir(dir.path()).entryList({"audit_log.json.corrupt-*"}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(jsonfile::readAll(dir.filePath(aside.first())), bad);
}

TEST(AuditLoggerTest, ClearLogDeletesTheFileAndToleratesAMissingOne)
{
    QTemporaryDir dir;
    AuditLogger logger(dir.path());
    logger.clearLog();
    EXPECT_TRUE(logger.fetchAllEvents().empty());

    logger.log(makeEvent("kept until cleared"));
    ASSERT_TRUE(QFile::exists(dir.filePath("audit_log.json")));
    logger.clearLog();
    EXPECT_TRUE(logger.fetchAllEvents().empty());
    EXPECT_FALSE(QFile::exists(dir.filePath("audit_log.json")));
}

TEST(AuditLoggerTest, OnlyTheLatestCallbackRunsAfterTheEventIsSaved)
{
    QTemporaryDir dir;
    AuditLogger logger(dir.path());
    logger.log(makeEvent("no listener yet"));
    EXPECT_EQ(logger.fetchAllEvents().size(), 1u);

    int firstCalls = 0;
    std::vector<std::string> seen;
    logger.setOnNewEvent([&](const AuditEvent&) { ++firstCalls; });
    logger.setOnNewEvent([&](const AuditEvent& event) {
        // The logger is free again while the callback runs, and the event is already on disk.
        seen.push_back(event.actionDescription);
        EXPECT_EQ(logger.fetchAllEvents().front(), event);
        EXPECT_NE(jsonfile::readAll(dir.filePath("audit_log.json"))->find(event.actionDescription), std::string::npos);
    });
    ASSERT_TRUE(logger.onNewEvent());
    logger.log(makeEvent("with listener"));
    EXPECT_EQ(firstCalls, 0);
    EXPECT_EQ(seen, std::vector<std::string> {"with listener"});
}

TEST(AuditLoggerTest, FailedSavePrintsOneLineAndKeepsTheEvent)
{
    QTemporaryDir dir;
    // A regular file where the log's folder should be makes every write fail.
    ASSERT_TRUE(jsonfile::writeAtomically(dir.filePath("blocked"), "x"));
    AuditLogger logger(dir.filePath("blocked/Quorvane"));
    testing::internal::CaptureStdout();
    logger.log(makeEvent("unsaved"));
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("Failed to save audit log: ", 0), 0u) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1);
    EXPECT_EQ(descriptions(logger.fetchAllEvents()), std::vector<std::string> {"unsaved"});
}

TEST(AuditLoggerTest, ProcessNameThatIsNotUtf8NeverStopsLaterSaves)
{
    QTemporaryDir dir;
    {
        AuditLogger logger(dir.path());
        testing::internal::CaptureStdout();
        logger.log(makeEvent("Paused \xff\xfe", std::string("bad\xff\xfename"), 7));
        logger.log(makeEvent("second"));
        logger.log(makeEvent("third", std::string("cc1plus"), 9));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), ""); // no "Failed to save audit log"
    }
    const auto events = AuditLogger(dir.path()).fetchAllEvents();
    EXPECT_EQ(descriptions(events), (std::vector<std::string> {"third", "second", "Paused \uFFFD\uFFFD"}));
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[2].targetProcess, "bad\uFFFD\uFFFDname");
    EXPECT_EQ(events[2].targetPid, 7);
}

TEST(AuditLoggerTest, AFileLargerThanTheLogEverGetsIsSetAsideUnread)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("audit_log.json");
    // A well-formed log, padded beyond any size the logger writes: read, it would load its one event.
    const std::string event = *jsoncodec::encodeText(makeEvent("padded"));
    const std::string bytes = "[" + event + std::string(17 * 1024 * 1024, ' ') + "]";
    ASSERT_TRUE(jsonfile::writeAtomically(path, bytes));

    AuditLogger logger(dir.path());
    EXPECT_TRUE(logger.fetchAllEvents().empty());
    const QStringList aside = QDir(dir.path()).entryList({"audit_log.json.corrupt-*"});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(QFile(dir.filePath(aside.first())).size(), static_cast<qint64>(bytes.size()));
    EXPECT_FALSE(QFile::exists(path));
}
