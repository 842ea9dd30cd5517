// Windows of one size on screens large and small.
#include "ui/FittedWindow.h"

#include <QCoreApplication>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>

#include <gtest/gtest.h>

namespace {

const QMargins kTitleBar {1, 24, 1, 1};

TEST(FittedWindowTest, FittedSizeKeepsTheSizeWhereItFitsAndTakesTheFreeAreaWhereNot)
{
    const QRect laptop {0, 0, 1366, 768};
    EXPECT_EQ(FittedWindow::fittedSize({780, 540}, kTitleBar, laptop), QSize(780, 540));
    // Exactly as large as the free area with the frame: still the whole size.
    EXPECT_EQ(FittedWindow::fittedSize({1364, 743}, kTitleBar, laptop), QSize(1364, 743));
    // The same screen at scale 2, below a panel: each side is bounded alone, frame included.
    const QRect halved {0, 27, 683, 357};
    EXPECT_EQ(FittedWindow::fittedSize({780, 540}, kTitleBar, halved), QSize(681, 332));
    EXPECT_EQ(FittedWindow::fittedSize({500, 450}, kTitleBar, halved), QSize(500, 332));
    // No room at all leaves a window that still exists.
    EXPECT_EQ(FittedWindow::fittedSize({780, 540}, kTitleBar, QRect(0, 0, 10, 20)), QSize(8, 1));
}

// A window holding a content of one size, 780 x 540, with a button at its far corner.
struct SheetOfOneSize
{
    SheetOfOneSize()
    {
        auto* content = new QWidget;
        content->setFixedSize(780, 540);
        corner = new QLabel(QStringLiteral("Quit"), content);
        corner->setGeometry(700, 500, 80, 40);
        scroll = FittedWindow::holdContent(&window, content);
    }

    QWidget window;
    QLabel* corner;
    QScrollArea* scroll;
};

TEST(FittedWindowTest, OnASmallScreenTheWindowFitsAndItsContentScrollsIntoReach)
{
    SheetOfOneSize sheet;
    const QRect small {0, 0, 683, 384};
    // Before the window manager frames it, the frame is estimated; the window with that frame fits.
    const QMargins frame = FittedWindow::decoration(&sheet.window);
    EXPECT_GT(frame.top(), 0);
    FittedWindow::fix(&sheet.window, {780, 540}, small);
    sheet.window.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(sheet.window.size(), QSize(683, 384).shrunkBy(frame));
    // Of one size still: nothing offers to resize it.
    EXPECT_EQ(sheet.window.minimumSize(), sheet.window.maximumSize());

    // The content keeps its size; the far corner is out of sight until the scroll bars bring it in.
    EXPECT_EQ(sheet.scroll->widget()->size(), QSize(780, 540));
    const QRect viewport = sheet.scroll->viewport()->rect();
    EXPECT_FALSE(viewport.contains(sheet.corner->geometry()));
    sheet.scroll->ensureWidgetVisible(sheet.corner, 0, 0);
    const QRect shown(sheet.corner->mapTo(sheet.scroll->viewport(), QPoint(0, 0)), sheet.corner->size());
    EXPECT_TRUE(viewport.contains(shown)) << shown.x() << "," << shown.y();
    EXPECT_GT(sheet.scroll->horizontalScrollBar()->maximum(), 0);
    EXPECT_GT(sheet.scroll->verticalScrollBar()->maximum(), 0);
}

TEST(FittedWindowTest, WhereTheWindowFitsItKeepsItsExactSizeAndNothingScrolls)
{
    SheetOfOneSize sheet;
    FittedWindow::fix(&sheet.window, {780, 540}, QRect(0, 0, 1366, 768));
    sheet.window.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(sheet.window.size(), QSize(780, 540));
    EXPECT_EQ(sheet.scroll->viewport()->size(), QSize(780, 540));
    EXPECT_FALSE(sheet.scroll->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(sheet.scroll->verticalScrollBar()->isVisible());
    // The window's own background shows through a content that paints none, as it did without the area.
    EXPECT_FALSE(sheet.scroll->widget()->autoFillBackground());
    EXPECT_FALSE(sheet.scroll->viewport()->autoFillBackground());

    // A content that may grow takes the whole window, and one that may shrink takes no more than it.
    auto* free = new QWidget;
    free->setMinimumSize(200, 100);
    QWidget window;
    QScrollArea* scroll = FittedWindow::holdContent(&window, free);
    FittedWindow::fix(&window, {640, 460}, QRect(0, 0, 1366, 768));
    window.show();
    EXPECT_EQ(window.size(), QSize(640, 460));
    EXPECT_EQ(free->size(), QSize(640, 460));
    FittedWindow::fix(&window, {640, 460}, QRect(0, 0, 683, 384));
    EXPECT_EQ(free->width(), 640);
    EXPECT_EQ(free->height(), window.height());
    EXPECT_FALSE(scroll->verticalScrollBar()->isVisible());
}

} // namespace
