// Where the dashboard and settings windows land on the screen.
#include "shell/HostWindow.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

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

TEST(HostWindowTest, EnlargingLeavesNoVoidAndAShortScreenShortensTheContent)
{
    // A view as the windows host them: fixed width, at most 620 high, a scrolling middle.
    auto* content = new QWidget;
    content->setFixedWidth(340);
    content->setMaximumHeight(620);
    auto* column = new QVBoxLayout(content);
    column->addWidget(new QLabel(QStringLiteral("header")));
    column->addWidget(new QScrollArea, 1);
    auto* dock = new QLabel(QStringLiteral("dock"));
    column->addWidget(dock);
    HostWindow window(QStringLiteral("Quorvane Dashboard"), content, {340, 620});
    window.show();
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    // One size, which a window manager takes as a window it may neither resize nor maximise.
    EXPECT_EQ(window.minimumSize(), QSize(340, 620));
    EXPECT_EQ(window.maximumSize(), QSize(340, 620));

    // Dragged larger or maximised: the window stays the content's size, with nothing unpainted beside it.
    for (const QSize& asked : {QSize(1600, 1000), QSize(900, 620), QSize(340, 800)}) {
        window.resize(asked);
        EXPECT_EQ(window.size(), QSize(340, 620)) << asked.width() << "x" << asked.height();
        EXPECT_EQ(content->geometry(), window.rect());
    }
    // A short screen (the height a re-frame gives it there): the content takes the height there is
    // and the dock stays inside it.
    window.setFixedSize(340, 300);
    EXPECT_EQ(window.size(), QSize(340, 300));
    EXPECT_EQ(content->geometry(), window.rect());
    EXPECT_LE(dock->geometry().bottom(), content->rect().bottom());
}

// A content wider and taller than the screen it opens on (the settings window's 780 x 540 on a 1366 x 768
// laptop at scale 2): the window stays inside the screen and the content scrolls inside the window.
TEST(HostWindowTest, ContentLargerThanTheScreenScrollsInsideAWindowThatFits)
{
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize large = available.size() + QSize(200, 150);
    auto* content = new QWidget;
    content->setFixedSize(large);
    auto* farCorner = new QLabel(QStringLiteral("Quit"), content);
    farCorner->setGeometry(large.width() - 60, large.height() - 30, 60, 30);
    HostWindow window(QStringLiteral("Quorvane Settings"), content, large);
    window.reframe(QRect(available.topLeft() + QPoint(180, 100), large));
    window.show();

    const QRect frame = window.frameGeometry();
    EXPECT_TRUE(available.contains(window.geometry())) << window.width() << "x" << window.height();
    EXPECT_LE(frame.height(), available.height());
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_EQ(content->size(), large);
    auto* scroll = window.findChild<QScrollArea*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_TRUE(scroll);
    scroll->ensureWidgetVisible(farCorner, 0, 0);
    const QRect shown(farCorner->mapTo(scroll->viewport(), QPoint(0, 0)), farCorner->size());
    EXPECT_TRUE(scroll->viewport()->rect().contains(shown)) << shown.x() << "," << shown.y();
}

} // namespace
