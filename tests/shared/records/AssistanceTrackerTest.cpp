#include "records/AssistanceTracker.h"

#include "core/JsonFile.h"
#include "core/NotificationCenter.h"
#include "records/DataInventory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>

namespace {

const char* kEventJson = R"({"id":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f","timestamp":755000000.5,"category":"Storage",
    "title":"Cleared npm cache","detail":"Removed 1.2 GB of cached packages","impactValue":"1.2 GB"})";

const char* kMetricsJson = R"({"totalHoursSaved":3.5,"totalGBFreed":12.25,"buildsProtected":7,
    "throttleEventsPreventedCount":4,"autonomousActionsCount":9,"weekStartDate":754000000.0,
    "totalStorageReclaimedGB":10.0,"modelsCleanedCount":2,"performanceOptimizationsCount":5,
    "computeShieldEventsCount":6})";

std::string readFile(const QString& path)
{
    return jsonfile::readAll(path).value_or("");
}

void writeFile(const QString& path, const std::string& text)
{
    ASSERT_TRUE(jsonfile::writeAtomically(path, text));
}

// A history file of n events written by hand, newest first, one second apart.
std::string handWrittenHistory(int n)
{
    Json events = Json::array();
    for (int i = 0; i < n; ++i) {
        events.push_back({{"id", Uuid::random().toString()}, {"timestamp", 750000000.0 - i},
            {"category", i % 2 ? "Memory" : "Performance"}, {"title", "Event " + std::to_string(i)}, {"detail", ""},
            {"impactValue", ""}});
    }
    return events.dump();
}

// Delivers posts left over from earlier work, so an observer sees only what the test causes.
void deliverPendingPosts()
{
    QCoreApplication::sendPostedEvents();
}

} // namespace

TEST(AssistanceRecordsTest, EventAndMetricsReadAndWriteTheStoredForm)
{
    const auto event = jsoncodec::decodeText<AssistanceEvent>(kEventJson);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->category, AssistanceCategory::storage);
    EXPECT_EQ(event->timestamp, Date::fromReferenceDate(755000000.5));
    EXPECT_EQ(event->impactValue, "1.2 GB");

    const Json written = Json::parse(*jsoncodec::encodeText(*event));
    Json expected = Json::parse(kEventJson);
    expected["id"] = "E621E1F8-C36C-495A-93FC-0C247A3E6E5F";
    EXPECT_EQ(written, expected);

    const auto metrics = jsoncodec::decodeText<SavedYouMetrics>(kMetricsJson);
    ASSERT_TRUE(metrics);
    EXPECT_EQ(metrics->computeShieldEventsCount, 6);
    EXPECT_EQ(Json::parse(*jsoncodec::encodeText(*metrics)), Json::parse(kMetricsJson));
    EXPECT_TRUE(Json::parse(*jsoncodec::encodeText(*metrics))["weekStartDate"].is_number_float());
}

TEST(AssistanceRecordsTest, EveryKeyIsRequiredAndCategoriesMatchExactly)
{
    Json metrics = Json::parse(kMetricsJson);
    metrics.erase("computeShieldEventsCount");
    EXPECT_FALSE(jsoncodec::decodeText<SavedYouMetrics>(metrics.dump()));

    Json event = Json::parse(kEventJson);
    event["category"] = "storage";
    EXPECT_FALSE(jsoncodec::decodeText<AssistanceEvent>(event.dump()));
    event = Json::parse(kEventJson);
    event.erase("impactValue");
    EXPECT_FALSE(jsoncodec::decodeText<AssistanceEvent>(event.dump()));
}

TEST(AssistanceTrackerTest, LongHistoryLoadsWholeAndIsCutToTheNewestHundredOnRecord)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("assistance_history.json"), handWrittenHistory(150));
    AssistanceTracker tracker(dir.path());
    const auto loaded = tracker.fetchEvents(AssistanceCategory::all, 200);
    ASSERT_EQ(loaded.size(), 150u);
    EXPECT_EQ(loaded.front().title, "Event 0");

    tracker.record(AssistanceCategory::memory, "Newest", "", "", 0, 0, 0);
    const auto events = tracker.fetchEvents(AssistanceCategory::all, 200);
    ASSERT_EQ(events.size(), 100u);
    EXPECT_EQ(events[0].title, "Newest");
    EXPECT_EQ(events[1].title, "Event 0");
    EXPECT_EQ(events[99].title, "Event 98");
    EXPECT_EQ(Json::parse(readFile(dir.filePath("assistance_history.json"))).size(), 100u);
}

TEST(AssistanceTrackerTest, FetchFiltersByCategoryNewestFirstWithinTheLimit)
{
    QTemporaryDir dir;
    AssistanceTracker tracker(dir.path());
    tracker.record(AssistanceCategory::performance, "P1", "", "", 0, 0, 0);
    tracker.record(AssistanceCategory::storage, "S1", "", "", 0, 0, 0);
    tracker.record(AssistanceCategory::performance, "P2", "", "", 0, 0, 0);
    tracker.record(AssistanceCategory::memory, "M1", "", "", 0, 0, 0);
    tracker.record(AssistanceCategory::performance, "P3", "", "", 0, 0, 0);

    const auto performance = tracker.fetchEvents(AssistanceCategory::performance, 5);
    ASSERT_EQ(performance.size(), 3u);
    EXPECT_EQ(performance[0].title, "P3");
    EXPECT_EQ(performance[2].title, "P1");
    EXPECT_EQ(tracker.fetchEvents(AssistanceCategory::performance, 2).back().title, "P2");
    EXPECT_EQ(tracker.fetchEvents(AssistanceCategory::all, 2)[1].title, "M1");
    EXPECT_TRUE(tracker.fetchEvents(AssistanceCategory::all, 0).empty());
    EXPECT_TRUE(tracker.fetchEvents(AssistanceCategory::all, -1).empty());
    EXPECT_TRUE(tracker.fetchEvents(AssistanceCategory::computing, 10).empty());
}

TEST(AssistanceTrackerTest, RecordAddsDeltasAndCountsOnlyItsOwnCategory)
{
    QTemporaryDir dir;
    AssistanceTracker tracker(dir.path());
    tracker.record(AssistanceCategory::storage, "Cleared cache", "", "2.5 GB", 0, 2.5, 0);
    auto m = tracker.getMetrics();
    EXPECT_DOUBLE_EQ(m.totalGBFreed, 2.5);
    EXPECT_DOUBLE_EQ(m.totalStorageReclaimedGB, 2.5);
    EXPECT_EQ(m.modelsCleanedCount, 1);

    tracker.record(AssistanceCategory::all, "", "", "", 1.5, -1.0, 2);
    tracker.record(AssistanceCategory::memory, "", "", "", 0.5, 0, 1);
    m = tracker.getMetrics();
    EXPECT_DOUBLE_EQ(m.totalHoursSaved, 2.0);
    EXPECT_DOUBLE_EQ(m.totalGBFreed, 1.5);
    EXPECT_EQ(m.buildsProtected, 3);
    EXPECT_EQ(m.modelsCleanedCount, 1);
    EXPECT_EQ(m.performanceOptimizationsCount, 0);
    EXPECT_EQ(m.computeShieldEventsCount, 0);

    tracker.record(AssistanceCategory::performance, "", "", "", 0, 0, 0);
    tracker.record(AssistanceCategory::computing, "", "", "", 0, 0, 0);
    m = tracker.getMetrics();
    EXPECT_EQ(m.performanceOptimizationsCount, 1);
    EXPECT_EQ(m.computeShieldEventsCount, 1);

    // Both files carry the state to the next launch.
    AssistanceTracker again(dir.path());
    EXPECT_EQ(again.getMetrics(), m);
    EXPECT_EQ(again.fetchEvents(AssistanceCategory::all, 10), tracker.fetchEvents(AssistanceCategory::all, 10));
}

TEST(AssistanceTrackerTest, BadTextOrNumberNeverStopsLaterSaves)
{
    QTemporaryDir dir;
    {
        AssistanceTracker tracker(dir.path());
        // A process name straight from the kernel, not UTF-8.
        tracker.record(AssistanceCategory::performance, "Paused \xff\xfe", "pid 7 \xc3(", "\xe2\x82", 0.5, 0, 0);
        testing::internal::CaptureStdout();
        tracker.record(AssistanceCategory::storage, "NaN hours", "", "", std::nan(""), INFINITY, 1);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2) << out; // one line per refused delta
        for (int i = 0; i < 3; ++i)
            tracker.record(AssistanceCategory::memory, "Later " + std::to_string(i), "", "", 1.0, 0.5, 1);
    }
    AssistanceTracker restarted(dir.path());
    const auto events = restarted.fetchEvents(AssistanceCategory::all, 10);
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[0].title, "Later 2");
    EXPECT_EQ(events[3].title, "NaN hours");
    EXPECT_EQ(events[4].title, "Paused \uFFFD\uFFFD");
    EXPECT_EQ(events[4].detail, "pid 7 \uFFFD(");
    EXPECT_EQ(events[4].impactValue, "\uFFFD");
    const auto m = restarted.getMetrics();
    EXPECT_DOUBLE_EQ(m.totalHoursSaved, 3.5);
    EXPECT_DOUBLE_EQ(m.totalGBFreed, 1.5);
    EXPECT_EQ(m.buildsProtected, 4);
    EXPECT_EQ(m.performanceOptimizationsCount, 1);
    EXPECT_EQ(m.modelsCleanedCount, 1);
}

TEST(AssistanceTrackerTest, CountersAtTheirLimitStayThereAndDatesNoClockWritesAreRefused)
{
    QTemporaryDir dir;
    Json metrics = Json::parse(kMetricsJson);
    metrics["buildsProtected"] = INT64_MAX;
    metrics["performanceOptimizationsCount"] = INT64_MAX;
    metrics["totalHoursSaved"] = DBL_MAX;
    writeFile(dir.filePath("saved_you_metrics.json"), metrics.dump());
    // Two events of today, and one dated at the largest double: that is no day of the calendar.
    Json history = Json::parse(handWrittenHistory(2));
    for (auto& event : history)
        event["timestamp"] = Date::now().timeIntervalSinceReferenceDate();
    history.push_back(history.front());
    history.back()["id"] = Uuid::random().toString();
    history.back()["timestamp"] = DBL_MAX;
    writeFile(dir.filePath("assistance_history.json"), history.dump());

    AssistanceTracker tracker(dir.path());
    EXPECT_TRUE(tracker.fetchEvents(AssistanceCategory::all, 10).empty());
    EXPECT_EQ(QDir(dir.path()).entryList({"assistance_history.json.corrupt-*"}, QDir::Files).size(), 1);
    PrivacyLocations places;
    places.dataDirectory = dir.path();
    places.settingsFile = dir.filePath("settings.conf");
    EXPECT_EQ(DataInventory::measure({nullptr, &tracker, nullptr}, places).memoryHistoryDays, 0);

    tracker.record(AssistanceCategory::performance, "Paused", "", "", DBL_MAX, 0, 1);
    const auto m = tracker.getMetrics();
    EXPECT_EQ(m.buildsProtected, INT64_MAX);
    EXPECT_EQ(m.performanceOptimizationsCount, INT64_MAX);
    EXPECT_EQ(m.totalHoursSaved, DBL_MAX);
    EXPECT_EQ(AssistanceTracker(dir.path()).getMetrics(), m); // still written
}

TEST(AssistanceTrackerTest, ClearHistoryResetsEveryCounterRemovesItsFilesAndNotifies)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("saved_you_metrics.json"), kMetricsJson);
    writeFile(dir.filePath("assistance_history.json"), handWrittenHistory(3));
    AssistanceTracker tracker(dir.path());
    EXPECT_EQ(tracker.getMetrics().autonomousActionsCount, 9);

    deliverPendingPosts();
    QObject context;
    int posts = 0;
    NotificationCenter::defaultCenter().observe(
        "QuorvaneAssistanceEventAdded", &context, [&](const QVariantMap&) { ++posts; });
    const Date before = Date::now();
    tracker.clearHistory();

    const auto m = tracker.getMetrics();
    EXPECT_EQ(m.throttleEventsPreventedCount, 0);
    EXPECT_EQ(m.autonomousActionsCount, 0);
    EXPECT_EQ(m.totalHoursSaved, 0.0);
    EXPECT_GE(m.weekStartDate, before);
    EXPECT_TRUE(tracker.fetchEvents(AssistanceCategory::all, 10).empty());
    // Erased means gone: an empty file would still be a leftover, and the next record writes them again.
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("assistance_history.json")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("saved_you_metrics.json")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return posts == 1; }, 2000));
}

TEST(AssistanceTrackerTest, UnreadableFilesStartEmptyAndAreSetAsideNotOverwritten)
{
    QTemporaryDir dir;
    Json history = Json::parse(handWrittenHistory(2));
    history[1]["category"] = "storage";
    const std::string badHistory = history.dump();
    writeFile(dir.filePath("assistance_history.json"), badHistory);
    Json metrics = Json::parse(kMetricsJson);
    metrics.erase("computeShieldEventsCount");
    writeFile(dir.filePath("saved_you_metrics.json"), metrics.dump());

    const Date before = Date::now();
    AssistanceTracker tracker(dir.path());
    EXPECT_TRUE(tracker.fetchEvents(AssistanceCategory::all, 10).empty());
    EXPECT_EQ(tracker.getMetrics().totalHoursSaved, 0.0);
    EXPECT_GE(tracker.getMetrics().weekStartDate, before);

    tracker.record(AssistanceCategory::memory, "After", "", "", 0, 0, 0);
    const QStringList aside = QDir(dir.path()).entryList({"assistance_history.json.corrupt-*"}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readFile(dir.filePath(aside.first())), badHistory);
    EXPECT_EQ(QDir(dir.path()).entryList({"saved_you_metrics.json.corrupt-*"}, QDir::Files).size(), 1);
    EXPECT_EQ(Json::parse(readFile(dir.filePath("assistance_history.json"))).size(), 1u);
}

TEST(AssistanceTrackerTest, NotificationArrivesOnTheGuiThreadAfterTheFilesAreWritten)
{
    QTemporaryDir dir;
    AssistanceTracker tracker(dir.path());
    deliverPendingPosts();
    QObject context;
    std::vector<std::string> seenInFile;
    NotificationCenter::defaultCenter().observe("QuorvaneAssistanceEventAdded", &context, [&](const QVariantMap&) {
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        seenInFile.push_back(readFile(dir.filePath("assistance_history.json")));
    });
    std::thread([&] { tracker.record(AssistanceCategory::computing, "Paused indexer", "", "", 0, 0, 1); }).join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return seenInFile.size() == 1; }, 2000));
    EXPECT_NE(seenInFile[0].find("Paused indexer"), std::string::npos);
}

TEST(AssistanceTrackerTest, ConcurrentRecordsLoseNothing)
{
    QTemporaryDir dir;
    AssistanceTracker tracker(dir.path());
    constexpr int kThreads = 8;
    constexpr int kEach = 12;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&tracker, t] {
            for (int i = 0; i < kEach; ++i) {
                tracker.record(AssistanceCategory::storage, "T" + std::to_string(t) + "-" + std::to_string(i), "", "",
                    0.25, 1.0, 1);
            }
        });
    }
    for (auto& th : threads)
        th.join();

    const auto m = tracker.getMetrics();
    EXPECT_EQ(m.modelsCleanedCount, kThreads * kEach);
    EXPECT_EQ(m.buildsProtected, kThreads * kEach);
    EXPECT_DOUBLE_EQ(m.totalHoursSaved, 0.25 * kThreads * kEach);
    EXPECT_EQ(tracker.fetchEvents(AssistanceCategory::all, 1000).size(), std::size_t(kThreads * kEach));
    AssistanceTracker reloaded(dir.path());
    EXPECT_EQ(reloaded.fetchEvents(AssistanceCategory::all, 1000).size(), std::size_t(kThreads * kEach));
    EXPECT_EQ(reloaded.getMetrics(), m);
}

TEST(AssistanceTrackerTest, SharedTrackerKeepsItsFilesInTheApplicationFolder)
{
    AssistanceTracker::shared().record(AssistanceCategory::performance, "Shared", "", "", 0, 0, 0);
    const QString dataHome = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
    EXPECT_NE(readFile(dataHome + "/Quorvane/assistance_history.json").find("Shared"), std::string::npos);
    EXPECT_TRUE(QFile::exists(dataHome + "/Quorvane/saved_you_metrics.json"));
}
