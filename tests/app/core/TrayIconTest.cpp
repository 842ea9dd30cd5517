// What the tray icon draws of the label in the square slot a tray gives it.
#include "core/TrayIcon.h"

#include "ui/Palette.h"
#include "views/dashboard/MenuBarDrawing.h"

#include <gtest/gtest.h>

namespace {

using MenuBarDrawing::Piece;

QList<Piece> pieces(const MenuBarFigures& figures)
{
    QList<Piece> out;
    for (const auto& item : MenuBarDrawing::layout(figures).items)
        out << item.piece;
    return out;
}

TEST(TrayIconTest, TheIconKeepsTheRingAndStateAndNeverDrawsNothing)
{
    MenuBarFigures label;
    label.cpuUsage = 40;
    label.headroomGB = 6;
    EXPECT_EQ(pieces(TrayIcon::trayFigures(label)), QList<Piece> {Piece::ring});
    // The ring alone fills a square slot at every tray size.
    const QPixmap icon
        = MenuBarDrawing::trayPixmap(TrayIcon::trayFigures(label), Palette::forTheme(AppTheme::standard), 22);
    EXPECT_EQ(icon.size(), QSize(22, 22));

    label.thermalLevel = QVThermalState::Level::critical;
    EXPECT_TRUE(pieces(TrayIcon::trayFigures(label)).contains(Piece::ring));
    EXPECT_FALSE(pieces(TrayIcon::trayFigures(label)).contains(Piece::readouts));

    // Every piece switched off in the settings: the ring stays, so the icon can still be found.
    MenuBarFigures bare;
    bare.showCPURing = bare.showSparkline = bare.showTextReadouts = false;
    EXPECT_EQ(pieces(TrayIcon::trayFigures(bare)), QList<Piece> {Piece::ring});
}

} // namespace
