#include "records/BuildTimeTracker.h"

#include <QTemporaryDir>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>

namespace {

const QString kKey = "com.quorvane.buildtimetracker.stats";

struct BuildTimeTrackerTest : testing::Test
{
    QTemporaryDir dir;
    UserDefaults defaults {dir.filePath("defaults.conf")};
};

} // namespace

TEST_F(BuildTimeTrackerTest, FreshTrackerIsAllZeros)
{
    BuildTimeTracker tracker(defaults);
    EXPECT_EQ(tracker.getStats(), BuildTimeTracker::BuildStats {});
    EXPECT_EQ(tracker.correlationFactor(), 0.0);
    EXPECT_FALSE(defaults.data(kKey));
}

TEST_F(BuildTimeTrackerTest, FactorComparesAverageDurationsWithAndWithoutAModel)
{
    BuildTimeTracker tracker(defaults);
    tracker.recordBuild(100, true);
    tracker.recordBuild(80, false);
    EXPECT_DOUBLE_EQ(tracker.correlationFactor(), 25.0);
    EXPECT_EQ(Json::parse(*defaults.data(kKey)), Json::parse(R"({"totalBuilds":2,"totalDuration":180.0,
        "buildsWithOllama":1,"durationWithOllama":100.0,"buildsWithoutOllama":1,"durationWithoutOllama":80.0})"));
    // Faster with a model loaded clamps to 0.
    tracker.recordBuild(10, true);
    tracker.recordBuild(10, true);
    EXPECT_EQ(tracker.correlationFactor(), 0.0);
}

TEST_F(BuildTimeTrackerTest, FactorIsZeroWhenEitherSideHasNoAverage)
{
    BuildTimeTracker withoutOnly(defaults);
    withoutOnly.recordBuild(50, false);
    EXPECT_EQ(withoutOnly.correlationFactor(), 0.0);

    withoutOnly.reset();
    withoutOnly.recordBuild(50, true);
    EXPECT_EQ(withoutOnly.correlationFactor(), 0.0);

    withoutOnly.recordBuild(0, false);
    withoutOnly.recordBuild(0, false);
    EXPECT_EQ(withoutOnly.correlationFactor(), 0.0);
    EXPECT_FALSE(std::isnan(withoutOnly.correlationFactor()));
}

TEST_F(BuildTimeTrackerTest, StoredTotalsLoadAndBadValuesReadAsZeros)
{
    defaults.setData(kKey, R"({"totalBuilds":3,"totalDuration":30,"buildsWithOllama":1,"durationWithOllama":15,
        "buildsWithoutOllama":2,"durationWithoutOllama":15})");
    const auto stats = BuildTimeTracker(defaults).getStats();
    EXPECT_EQ(stats.totalBuilds, 3);
    EXPECT_DOUBLE_EQ(stats.durationWithoutOllama, 15.0);
    EXPECT_DOUBLE_EQ(BuildTimeTracker(defaults).correlationFactor(), 100.0);

    defaults.setData(kKey, R"({"totalBuilds":3,"totalDuration":30,"buildsWithOllama":1,"durationWithOllama":15,
        "buildsWithoutOllama":2})");
    EXPECT_EQ(BuildTimeTracker(defaults).getStats(), BuildTimeTracker::BuildStats {});
    defaults.setData(kKey, "not json");
    BuildTimeTracker tracker(defaults);
    EXPECT_EQ(tracker.getStats(), BuildTimeTracker::BuildStats {});
    tracker.recordBuild(5, false);
    EXPECT_EQ(BuildTimeTracker(defaults).getStats().totalBuilds, 1);
}

TEST_F(BuildTimeTrackerTest, ResetIsStoredForTheNextLaunch)
{
    BuildTimeTracker tracker(defaults);
    tracker.recordBuild(12.5, true);
    EXPECT_EQ(BuildTimeTracker(defaults).getStats().buildsWithOllama, 1);
    tracker.reset();
    EXPECT_EQ(BuildTimeTracker(defaults).getStats(), BuildTimeTracker::BuildStats {});
}

TEST_F(BuildTimeTrackerTest, NonFiniteDurationCountsTheBuildButNotItsTime)
{
    {
        BuildTimeTracker tracker(defaults);
        tracker.recordBuild(20, false);
        testing::internal::CaptureStdout();
        tracker.recordBuild(std::nan(""), true);
        tracker.recordBuild(INFINITY, false);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2) << out;
        for (double duration : {10.0, 30.0, 40.0})
            tracker.recordBuild(duration, true);
        EXPECT_EQ(BuildTimeTracker(defaults).getStats(), tracker.getStats());
    }
    const auto stats = BuildTimeTracker(defaults).getStats();
    EXPECT_EQ(stats.totalBuilds, 6);
    EXPECT_DOUBLE_EQ(stats.totalDuration, 100);
    EXPECT_EQ(stats.buildsWithOllama, 4);
    EXPECT_DOUBLE_EQ(stats.durationWithOllama, 80);
    EXPECT_EQ(stats.buildsWithoutOllama, 2);
    EXPECT_DOUBLE_EQ(stats.durationWithoutOllama, 20);
}

TEST_F(BuildTimeTrackerTest, TotalsAtTheirLimitStayThere)
{
    defaults.setData(kKey, R"({"totalBuilds":9223372036854775807,"totalDuration":1.7976931348623157e308,
        "buildsWithOllama":9223372036854775807,"durationWithOllama":1e308,"buildsWithoutOllama":0,
        "durationWithoutOllama":0})");
    BuildTimeTracker tracker(defaults);
    tracker.recordBuild(1e308, true);
    const auto stats = BuildTimeTracker(defaults).getStats(); // still written
    EXPECT_EQ(stats.totalBuilds, INT64_MAX);
    EXPECT_EQ(stats.buildsWithOllama, INT64_MAX);
    EXPECT_EQ(stats.totalDuration, DBL_MAX);
    EXPECT_EQ(stats.durationWithOllama, DBL_MAX);
}

TEST_F(BuildTimeTrackerTest, ConcurrentRecordsAreAllCounted)
{
    BuildTimeTracker tracker(defaults);
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&tracker, t] {
            for (int i = 0; i < 20; ++i)
                tracker.recordBuild(1.0, t % 2 == 0);
        });
    }
    for (auto& th : threads)
        th.join();
    const auto stats = tracker.getStats();
    EXPECT_EQ(stats.totalBuilds, 120);
    EXPECT_EQ(stats.buildsWithOllama, 60);
    EXPECT_DOUBLE_EQ(stats.durationWithoutOllama, 60.0);
    EXPECT_EQ(BuildTimeTracker(defaults).getStats(), stats);
}
