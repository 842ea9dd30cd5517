#pragma once

#include "MenuBarFigures.h"

#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QRectF>

class QPainter;
struct Palette;

// The menu-bar label's drawing, shared by the label widget and the tray icon: a strip, 22 pixels tall,
// with 4 pixels of padding at each end and 5 between its pieces, from left to right the state symbol,
// the CPU ring, the two text readouts, the AI memory sparkline and the state pill, each only when shown.
namespace MenuBarDrawing {

inline constexpr double kHeight = 22;
inline constexpr double kSidePadding = 4;
inline constexpr double kSpacing = 5;
inline constexpr QSize kRingSize {14, 14};
inline constexpr QSize kSparklineSize {22, 14};
inline const QList<int> kTraySizes {16, 22, 24, 32, 48};

enum class Piece { symbol, ring, readouts, sparkline, pill };

struct Item
{
    Piece piece;
    QRectF rect;
};

struct Layout
{
    QList<Item> items;
    QSizeF size;
};

Layout layout(const MenuBarFigures& figures);

// The readouts' two lines: the CPU load ("38%") and, with a memory snapshot, the headroom ("5G").
QString cpuText(double cpuUsage);
QString headroomText(double headroomGB);

QColor toneColor(StateIndicator::Tone tone, const Palette& palette);

// Draws the strip with its top-left corner at the origin. `ringFraction` is the arc's share of the
// circle as the label animates it (the figures' own cpuUsage / 100 when not animating).
void paint(QPainter& painter, const MenuBarFigures& figures, const Palette& palette, double ringFraction);
double ringFraction(double cpuUsage);

// The strip at tray height `size` (as wide as the strip's shape needs), on a transparent background.
QPixmap trayPixmap(const MenuBarFigures& figures, const Palette& palette, int size, qreal devicePixelRatio = 1.0);
// The strip at every tray size, for QSystemTrayIcon.
QIcon trayIcon(const MenuBarFigures& figures, const Palette& palette);
// The readouts as words, for the tray icon's tool tip.
QString toolTip(const MenuBarFigures& figures);

} // namespace MenuBarDrawing
