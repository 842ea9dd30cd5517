// Where the dashboard and settings windows land on the screen.
#include "core/HostWindow.h"

#include <gtest/gtest.h>

namespace {

TEST(HostWindowTest, FittedKeepsTheWholeFrameInsideTheScreen)
{
    const QRect laptop {0, 0, 1366, 768};
    const QMargins titleBar {1, 24, 1, 1};
    // The dashboard window's place from the launch sequence, on a 768-pixel screen: the title bar is
    // counted, so its bottom border ends on the screen's last row, not below it.
    const QRect placed = HostWindow::fitted({990, 191}, {340, 620}, titleBar, laptop);
    EXPECT_EQ(placed, QRect(990, 768 - 620 - 25, 340, 620));
    // Where it fits, the window goes where it was asked.
    EXPECT_EQ(HostWindow::fitted({180, 100}, {780, 540}, titleBar, laptop), QRect(180, 100, 780, 540));
    // A panel above and to the left of the available area, and a window wider than the screen: the
    // frame starts at the available area's corner and the content is bounded by what is left.
    const QRect belowPanel {48, 32, 800, 568};
    EXPECT_EQ(HostWindow::fitted({0, 0}, {900, 620}, titleBar, belowPanel), QRect(48, 32, 798, 543));
}

} // namespace
