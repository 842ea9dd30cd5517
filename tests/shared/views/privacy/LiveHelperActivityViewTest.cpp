#include "PrivacyFixture.h"

#include "ui/ElidedLabel.h"
#include "views/privacy/LiveHelperActivityView.h"

#include <QApplication>
#include <QLabel>
#include <QLocale>

namespace {

class LiveHelperActivityViewTest : public PrivacyFixture
{
};

} // namespace

TEST_F(LiveHelperActivityViewTest, RelativeTimesChangeUnitAtTheMinuteHourAndDay)
{
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1'800'000'000);
    const auto ago = [&](qint64 seconds) { return LiveHelperActivityView::relativeTime(now, now.addSecs(-seconds)); };
    EXPECT_EQ(ago(-30), "Just now");
    EXPECT_EQ(ago(59), "Just now");
    EXPECT_EQ(ago(60), "1m ago");
    EXPECT_EQ(ago(3599), "59m ago");
    EXPECT_EQ(ago(3600), "1h ago");
    EXPECT_EQ(ago(86399), "23h ago");
    EXPECT_EQ(ago(86400), QLocale().toString(now.addSecs(-86400).toLocalTime().date(), QLocale::ShortFormat));
}

TEST_F(LiveHelperActivityViewTest, AgesMoveOnWhileShownAndOneChainOfTicksRuns)
{
    engine.recordHelperAction(event("SIGSTOP", "older", 150));
    engine.recordHelperAction(event("SIGCONT", "newer", 30));
    LiveHelperActivityView view(services());
    view.show();
    EXPECT_EQ(view.rowTimes(), (QStringList {"Just now", "2m ago"}));
    clock.advance(60 * 1000);
    EXPECT_EQ(view.rowTimes(), (QStringList {"1m ago", "3m ago"}));

    // Showing it again starts no second chain; a hidden card stops ticking.
    view.hide();
    view.show();
    clock.advance(LiveHelperActivityView::kAgeRefreshMs);
    EXPECT_EQ(clock.pending(), 1);
    view.hide();
    clock.advance(3 * LiveHelperActivityView::kAgeRefreshMs);
    EXPECT_EQ(clock.pending(), 0);
}

TEST_F(LiveHelperActivityViewTest, KeepsTheFiftyNewestShowsTenAndIgnoresRepeats)
{
    for (int i = 0; i < 50; ++i)
        engine.recordHelperAction(event("SIGSTOP", "action " + std::to_string(i), 50 - i));
    LiveHelperActivityView view(services());
    view.show();
    ASSERT_EQ(view.recentEvents().size(), 50u);
    EXPECT_EQ(view.rowActions().size(), 10);
    EXPECT_EQ(view.rowActions().first(), "action 49");

    const AuditEvent fresh = event("SIGCONT", "resumed");
    engine.recordHelperAction(fresh);
    ASSERT_TRUE(waitFor([&] { return view.rowActions().first() == "resumed"; }));
    view.insert(fresh);
    EXPECT_EQ(view.recentEvents().size(), 50u);
    EXPECT_EQ(view.recentEvents().back().actionDescription, "action 1");
    EXPECT_EQ(view.rowActions().size(), 10);
    EXPECT_EQ(view.rowTimes().first(), "Just now");

    for (int i = 0; i < 30; ++i)
        view.insert(event("Power", "more"));
    EXPECT_EQ(view.recentEvents().size(), LiveHelperActivityView::kMaxEvents);

    // A row names the process the log holds.
    AuditEvent named = event("SIGSTOP", "Suspended process");
    named.targetProcess = "firefox";
    named.targetPid = 4242;
    view.insert(named);
    EXPECT_EQ(view.rowActions().first(), "Suspended process firefox (PID 4242)");
}

TEST_F(LiveHelperActivityViewTest, StatusLineTellsInstalledFromConnected)
{
    LiveHelperActivityView view(services());
    EXPECT_TRUE(view.isEmptyStateShown());
    view.show();
    ASSERT_TRUE(waitFor([&] { return !view.statusText().isEmpty(); }));
    EXPECT_EQ(view.statusText(), "Helper not installed ⚠");
    // The helper's actions are signals, file indexing, the page cache and power readings: none of them thermal.
    for (const QLabel* label : view.findChildren<QLabel*>())
        EXPECT_FALSE(label->text().contains("thermals")) << label->text().toStdString();

    helper.helperStatus.isInstalled = true;
    view.hide();
    view.show();
    ASSERT_TRUE(waitFor([&] { return view.statusText() == "Helper installed, not connected ⚠"; }));

    helper.helperStatus.isConnected = true;
    helper.helperStatus.version = "2.1";
    view.hide();
    view.show();
    ASSERT_TRUE(waitFor([&] { return view.statusText() == "Helper v2.1 · Connected ✓"; }));
}

TEST_F(LiveHelperActivityViewTest, HiddenViewStopsListening)
{
    LiveHelperActivityView view(services());
    view.show();
    view.hide();
    engine.recordHelperAction(event("SIGSTOP", "while hidden"));
    settle();
    EXPECT_TRUE(view.recentEvents().empty());
}

TEST_F(LiveHelperActivityViewTest, ALongActionIsCutWithAnEllipsisAndKeptWholeInItsToolTip)
{
    const std::string longAction = "Suspended process " + std::string(160, 'x') + " (pid 4242)";
    engine.recordHelperAction(event("SIGSTOP", longAction));
    LiveHelperActivityView view(services());
    view.resize(480, 400);
    view.show();
    QApplication::processEvents();
    auto* action = view.findChild<ElidedLabel*>(QStringLiteral("action"));
    ASSERT_NE(action, nullptr);
    EXPECT_TRUE(action->isElided());
    EXPECT_TRUE(action->lines(action->width()).first().endsWith(QStringLiteral("…")));
    EXPECT_EQ(action->toolTip().toStdString(), longAction);
    EXPECT_LE(action->mapTo(&view, QPoint(action->width(), 0)).x(), view.width());
}
