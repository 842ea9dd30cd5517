// Where the popover opens and how its toggle behaves.
#include "shell/PopoverHost.h"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QSize kSize = PopoverHost::kSize;
const QRect kScreen {0, 0, 1920, 1080};

TEST(PopoverHostTest, PlacementSitsBesideTheIconAndInsideTheScreen)
{
    // A top panel at the right edge: below the icon, pushed left to stay on screen.
    EXPECT_EQ(PopoverHost::placement(QRect(1890, 0, 24, 24), kSize, kScreen), QPoint(1920 - 340, 24));
    // A bottom panel: above the icon.
    EXPECT_EQ(PopoverHost::placement(QRect(1000, 1056, 24, 24), kSize, kScreen), QPoint(1011 - 170, 1056 - 620));
    // A left-hand panel at the top: kept off the left edge.
    EXPECT_EQ(PopoverHost::placement(QRect(0, 10, 24, 24), kSize, kScreen), QPoint(0, 34));
    // A second screen to the right of the first.
    const QRect second {1920, 0, 1280, 1024};
    EXPECT_EQ(PopoverHost::placement(QRect(3170, 0, 24, 24), kSize, second), QPoint(3200 - 340, 24));
    // A screen shorter than the popover: its top edge, never above it.
    EXPECT_EQ(PopoverHost::placement(QRect(100, 400, 1, 1), kSize, QRect(0, 0, 800, 480)).y(), 0);
}

TEST(PopoverHostTest, ToggleOpensClosesAndIgnoresTheClickThatClosedIt)
{
    auto* content = new QLabel(QStringLiteral("content"));
    PopoverHost host(content, PopoverHost::Mode::window);
    EXPECT_EQ(host.content(), content);
    host.toggle(QRect());
    EXPECT_TRUE(host.isVisible());
    EXPECT_EQ(host.size(), kSize);

    // A click on the tray icon first closes the popup, then arrives as a toggle: it stays closed.
    host.hide();
    host.toggle(QRect(10, 0, 24, 24));
    EXPECT_FALSE(host.isVisible());

    QTest::qWait(PopoverHost::kReopenGuardMs + 50);
    host.toggle(QRect(10, 0, 24, 24));
    EXPECT_TRUE(host.isVisible());
    host.toggle(QRect(10, 0, 24, 24));
    EXPECT_FALSE(host.isVisible());
}

} // namespace
