#include "PrivacyFixture.h"

#include "records/BuildTimeTracker.h"
#include "views/privacy/GranularClearView.h"
#include "views/privacy/InventoryRefresh.h"

#include <QFileInfo>

using Type = PrivacyMetricsEngine::ClearableDataType;

namespace {

class GranularClearViewTest : public PrivacyFixture
{
protected:
    void fillStores()
    {
        logger.log(event("SIGSTOP", "Froze node"));
        defaults.setString(BuildTimeTracker::userDefaultsKey, "{}");
        defaults.setString("appTheme", "Light");
        engine.recordHelperAction(event("SIGSTOP", "Froze node"));
    }
};

} // namespace

TEST_F(GranularClearViewTest, LabelsAndWarningsFollowTheSelection)
{
    GranularClearView view(services());
    EXPECT_EQ(view.amountText(Type::savedYouMetrics), "");
    EXPECT_EQ(view.clearSelectedLabel(), "Clear Selected");
    EXPECT_FALSE(view.canClearSelected());
    view.requestClearSelected();
    EXPECT_TRUE(dialogs.questions.isEmpty());

    view.toggle(Type::weeklyDigests);
    EXPECT_EQ(view.clearSelectedLabel(), "Clear 1 items");
    EXPECT_FALSE(view.isWarningShown(Type::weeklyDigests));
    view.toggle(Type::savedYouMetrics);
    view.toggle(Type::settings);
    EXPECT_TRUE(view.isWarningShown(Type::savedYouMetrics));
    EXPECT_TRUE(view.isWarningShown(Type::settings));
    view.toggle(Type::settings);
    EXPECT_FALSE(view.isWarningShown(Type::settings));

    dialogs.confirmAnswer = false;
    view.requestClearSelected();
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_EQ(dialogs.questions[0].confirmLabel, "Clear 2 Items");
    settle();
    EXPECT_EQ(view.selectedTypes().size(), 2u);
    EXPECT_TRUE(view.statusText().isEmpty());
}

TEST_F(GranularClearViewTest, ClearSelectedEmptiesOnlyThoseStoresAndReloads)
{
    fillStores();
    GranularClearView view(services());
    view.show();
    ASSERT_TRUE(waitFor([&] { return !view.amountText(Type::auditLog).isEmpty(); }));
    EXPECT_TRUE(view.amountText(Type::auditLog).startsWith("1 entries ("));

    view.toggle(Type::auditLog);
    view.toggle(Type::buildHistory);
    view.requestClearSelected();
    ASSERT_TRUE(waitFor([&] { return !view.statusText().isEmpty(); }));
    EXPECT_EQ(view.statusText(), "Cleared: Audit Log, Build History");
    EXPECT_TRUE(view.failureText().isEmpty());
    EXPECT_TRUE(view.selectedTypes().empty());
    EXPECT_TRUE(view.amountText(Type::auditLog).startsWith("0 entries ("));
    EXPECT_TRUE(logger.fetchAllEvents().empty());
    EXPECT_TRUE(engine.recentHelperActions().empty());
    EXPECT_FALSE(QFileInfo::exists(locations.dataDirectory + "/audit_log.json"));
    EXPECT_FALSE(defaults.contains(BuildTimeTracker::userDefaultsKey));
    EXPECT_TRUE(defaults.contains("appTheme"));

    clock.advance(GranularClearView::kStatusMs - 1);
    EXPECT_FALSE(view.statusText().isEmpty());
    clock.advance(1);
    EXPECT_TRUE(view.statusText().isEmpty());
}

TEST_F(GranularClearViewTest, ClearEverythingWarnsOfTheSettingsAndLeavesNothing)
{
    fillStores();
    GranularClearView view(services());
    view.requestClearEverything();
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(dialogs.questions[0].text.contains("resets all settings"));
    // The helper's own log is root's and stays until the package is purged: the question says so.
    EXPECT_TRUE(dialogs.questions[0].text.contains("/var/log/quorvane/audit.log"));
    EXPECT_TRUE(dialogs.questions[0].text.contains("apt purge"));
    EXPECT_TRUE(dialogs.questions[0].destructive);
    ASSERT_TRUE(waitFor([&] { return !view.statusText().isEmpty(); }));
    EXPECT_EQ(view.statusText(), "All Quorvane data successfully cleared.");
    EXPECT_TRUE(defaults.allKeys().isEmpty());
    EXPECT_TRUE(logger.fetchAllEvents().empty());
}

TEST_F(GranularClearViewTest, CategoriesThatFailAreNamedNotReportedCleared)
{
    // A store without its memory-history tracker cannot erase that category.
    PrivacyMetricsEngine partial({&logger, nullptr, &defaults}, locations, nullptr);
    PrivacyServices s = services();
    s.engine = &partial;
    GranularClearView view(s);
    view.toggle(Type::memoryHistory);
    view.toggle(Type::weeklyDigests);
    view.requestClearSelected();
    ASSERT_TRUE(waitFor([&] { return !view.failureText().isEmpty(); }));
    EXPECT_EQ(view.failureText(), "Could not clear: Assistance History");
    EXPECT_EQ(view.statusText(), "Cleared: Weekly Digests");
}

// The amounts follow what is written while the card is on screen, and one day of history reads as a day.
TEST_F(GranularClearViewTest, AmountsFollowFilesWrittenWhileTheCardIsShown)
{
    GranularClearView view(services());
    view.show();
    ASSERT_TRUE(waitFor([&] { return !view.amountText(Type::settings).isEmpty(); }));
    EXPECT_EQ(view.amountText(Type::settings), "App preferences (Zero KB)");
    EXPECT_TRUE(view.amountText(Type::memoryHistory).startsWith("0 days ("));

    defaults.setBool("hasFinishedOnboarding", true);
    defaults.sync();
    assistance.record(AssistanceCategory::memory, "Model Unloaded", "Unloaded m", "RAM restored", 0, 0, 0);
    clock.advance(InventoryRefresh::kRefreshMs);
    ASSERT_TRUE(waitFor([&] { return view.amountText(Type::settings) != "App preferences (Zero KB)"; }));
    EXPECT_TRUE(view.amountText(Type::memoryHistory).startsWith("1 day ("))
        << view.amountText(Type::memoryHistory).toStdString();
}
