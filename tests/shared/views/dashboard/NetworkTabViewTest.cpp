#include "views/dashboard/NetworkTabView.h"

#include "shared/engines/DashboardTestSupport.h"

#include "records/ThemeManager.h"
#include "ui/Palette.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

DashboardSample tick(std::uint64_t received, std::uint64_t sent, std::vector<platform::TcpConnection> connections)
{
    DashboardSample s;
    s.network = platform::ByteTotals {sent, received};
    s.connections = std::move(connections);
    return s;
}

} // namespace

TEST(NetworkTabViewTest, RatesAndRowsFollowEachTickInPlace)
{
    FakeMachine machine;
    auto model = makeModel(machine);
    NetworkTabView view(*model, ThemeManager::shared());
    // No counters read yet: no rate, only the dash.
    EXPECT_EQ(view.downloadText(), QStringLiteral("— KB/s"));
    EXPECT_EQ(view.rowCount(), 0);
    EXPECT_TRUE(view.emptyText().isEmpty()); // not listed yet: no claim either way
    // Opening the view lists the connections at once: the empty machine has none, said in words.
    view.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view.emptyText().isEmpty(); }, 5000));
    EXPECT_EQ(view.emptyText(), QStringLiteral("No external connections"));
    EXPECT_EQ(view.rowCount(), 0); // never a row with an invented process

    model->publishSample(tick(0, 0, {}));
    model->publishSample(tick(0, 0, {}));
    EXPECT_EQ(view.downloadText(), QStringLiteral("0.0 KB/s"));
    model->publishSample(
        tick(2048, 512, {{"10.0.0.2:5000", "1.1.1.1:443", 42, "curl"}, {"10.0.0.2:5001", "8.8.8.8:53", 43, "dig"}}));
    EXPECT_EQ(view.downloadText(), QStringLiteral("2.0 KB/s"));
    EXPECT_EQ(view.uploadText(), QStringLiteral("0.5 KB/s"));
    ASSERT_EQ(view.rowCount(), 2);
    EXPECT_TRUE(view.emptyText().isEmpty());
    EXPECT_EQ(view.rowTexts(0),
        (QStringList {QStringLiteral("10.0.0.2:5000->1.1.1.1:443"), QStringLiteral("curl (PID: 42)"),
            QStringLiteral("ESTABLISHED")}));
    const Palette palette = Palette::forTheme(ThemeManager::shared().currentTheme());
    EXPECT_EQ(view.statusColor(0), palette.green);

    // The list shrinks to nothing: no rows, the empty state again.
    model->publishSample(tick(2048, 512, {}));
    EXPECT_EQ(view.rowCount(), 0);
    EXPECT_TRUE(view.rowTexts(0).isEmpty());
    EXPECT_EQ(view.emptyText(), QStringLiteral("No external connections"));
}

TEST(NetworkTabViewTest, ConnectionsAreWantedOnlyWhileTheViewIsShown)
{
    FakeMachine machine;
    auto model = makeModel(machine);
    {
        NetworkTabView popoverTab(*model, ThemeManager::shared());
        NetworkTabView settingsPage(*model, ThemeManager::shared());
        EXPECT_FALSE(model->listsConnections()); // built, not shown
        popoverTab.show();
        settingsPage.show();
        popoverTab.show(); // shown again: still one demand
        popoverTab.hide();
        EXPECT_TRUE(model->listsConnections());
        settingsPage.hide();
        EXPECT_FALSE(model->listsConnections());
        settingsPage.show();
        EXPECT_TRUE(model->listsConnections());
    }
    // A view destroyed while shown lets go too.
    EXPECT_FALSE(model->listsConnections());
}
