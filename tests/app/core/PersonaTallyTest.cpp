#include "core/PersonaTally.h"

#include <gtest/gtest.h>

namespace {

Date at(double seconds)
{
    return Date::fromReferenceDate(700000000.0 + seconds);
}

TEST(PersonaTallyTest, BuildSavingsFollowTheBuildsDuration)
{
    PersonaTally tally(SavedYouMetrics::fresh());
    tally.activated(AutoPersona::compileMode, "make", at(0), 0, 0);
    tally.setBuildProtected(true);
    const auto shortBuild = tally.endBuild(at(4));
    ASSERT_TRUE(shortBuild);
    EXPECT_EQ(shortBuild->seconds, 5); // never less
    tally.activated(AutoPersona::aiFirstMode, "model loaded", at(5), 0, 0); // no build of its own
    tally.activated(AutoPersona::compileMode, "make", at(10), 0, 0);
    tally.setBuildProtected(true);
    const auto longBuild = tally.endBuild(at(610));
    ASSERT_TRUE(longBuild);
    EXPECT_EQ(longBuild->seconds, 300);
    EXPECT_DOUBLE_EQ(longBuild->hours, 600.0 / 3600 * 0.5);
    EXPECT_EQ(tally.metrics().buildsProtected, 2);
    EXPECT_DOUBLE_EQ(tally.metrics().totalHoursSaved, 4.0 / 3600 * 0.5 + 600.0 / 3600 * 0.5);

    // A build nothing was paused for counts nothing.
    tally.activated(AutoPersona::compileMode, "make", at(700), 0, 0);
    EXPECT_FALSE(tally.endBuild(at(800)));
    EXPECT_EQ(tally.metrics().buildsProtected, 2);
    // A process suspended for Compile Mode protects its build.
    tally.suspendedOne(true);
    EXPECT_TRUE(tally.buildProtected());
    EXPECT_EQ(tally.metrics().autonomousActionsCount, 1);
}

TEST(PersonaTallyTest, DeactivationClosesOnlyTheNewestOpenEventOfItsPersona)
{
    PersonaTally tally(SavedYouMetrics::fresh());
    tally.activated(AutoPersona::batteryMode, "power disconnected", at(0), 2, 1.5);
    tally.activated(AutoPersona::batteryMode, "power disconnected", at(10), 0, 0);
    tally.activated(AutoPersona::aiFirstMode, "model loaded", at(20), 0, 0);
    EXPECT_FALSE(tally.deactivated(AutoPersona::batteryMode, at(30))); // the newest suspended nothing
    const auto& history = tally.history();
    EXPECT_FALSE(history[0].deactivated.has_value());
    EXPECT_EQ(history[1].deactivated, at(30));
    EXPECT_FALSE(history[2].deactivated.has_value());
    EXPECT_TRUE(tally.deactivated(AutoPersona::batteryMode, at(40)));
    EXPECT_EQ(history[0].deactivated, at(40));
    EXPECT_FALSE(tally.deactivated(AutoPersona::batteryMode, at(50))); // none open
    EXPECT_EQ(history[0].deactivated, at(40));
    EXPECT_DOUBLE_EQ(tally.metrics().totalGBFreed, 1.5);
    EXPECT_EQ(tally.metrics().autonomousActionsCount, 2);
}

} // namespace
