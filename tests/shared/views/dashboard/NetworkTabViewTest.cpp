#include "views/dashboard/NetworkTabView.h"

#include "shared/engines/DashboardTestSupport.h"

#include "records/PrivacyMetricsEngine.h"
#include "records/ThemeManager.h"
#include "ui/Palette.h"

#include <QTest>
#include <QThreadPool>

#include <httplib.h>

#include <atomic>
#include <thread>

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

TEST(NetworkTabViewTest, PublicAddressIsAskedOnlyWhileShownAndAtMostEveryTenMinutes)
{
    // A loopback echo service; its own port gives it a ledger entry of its own.
    httplib::Server echo;
    echo.Get(
        "/", [](const httplib::Request&, httplib::Response& res) { res.set_content("203.0.113.7", "text/plain"); });
    const int port = echo.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { echo.listen_after_bind(); });
    const std::string url = "http://127.0.0.1:" + std::to_string(port);

    FakeMachine machine;
    auto now = std::chrono::steady_clock::now();
    DashboardSources sources = machine.sources();
    sources.publicAddressUrl = url;
    sources.clock = [&now] { return now; };
    auto model = makeModel(machine, sources);
    // The privacy page's own counter of the program's calls.
    const auto lookups = [&] {
        int count = 0;
        for (const auto& call : PrivacyMetricsEngine::shared().ownNetworkActivity())
            count += call.destination == url + "/" ? call.callCount : 0;
        return count;
    };
    // One tick a second of the model's clock.
    const auto run = [&](int ticks) {
        for (int i = 0; i < ticks; ++i) {
            ASSERT_TRUE(waitFor(model->updateAll()));
            now += std::chrono::seconds(1);
        }
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
    };

    run(600);
    EXPECT_EQ(lookups(), 0);
    EXPECT_EQ(model->publicIP(), DashboardViewModel::kCheckingPublicIP);

    NetworkTabView view(*model, ThemeManager::shared());
    view.show();
    run(600);
    EXPECT_EQ(lookups(), 1);
    EXPECT_EQ(view.publicAddressText(), QStringLiteral("203.0.113.7"));
    run(1); // ten minutes after the first lookup
    EXPECT_EQ(lookups(), 2);

    view.hide();
    run(1200);
    EXPECT_EQ(lookups(), 2);
    echo.stop();
    serving.join();
}

TEST(NetworkTabViewTest, AFailedLookupShowsADashUntilOneSucceedsAndKeepsAKnownAddress)
{
    std::atomic<int> answer {503};
    httplib::Server echo;
    echo.Get("/", [&](const httplib::Request&, httplib::Response& res) {
        res.status = answer.load();
        res.set_content("203.0.113.7", "text/plain");
    });
    const int port = echo.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { echo.listen_after_bind(); });

    FakeMachine machine;
    auto now = std::chrono::steady_clock::now();
    DashboardSources sources = machine.sources();
    sources.publicAddressUrl = "http://127.0.0.1:" + std::to_string(port);
    sources.clock = [&now] { return now; };
    auto model = makeModel(machine, sources);
    NetworkTabView view(*model, ThemeManager::shared());
    const auto lookUp = [&] {
        view.show();
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        view.hide();
        now += std::chrono::hours(1); // past the refresh interval and any back-off
    };

    lookUp();
    EXPECT_EQ(view.publicAddressText(), QStringLiteral("—")); // no lookup runs: not "Checking..."
    answer = 200;
    lookUp();
    EXPECT_EQ(view.publicAddressText(), QStringLiteral("203.0.113.7"));
    answer = 503;
    lookUp();
    EXPECT_EQ(view.publicAddressText(), QStringLiteral("203.0.113.7"));
    echo.stop();
    serving.join();
}
