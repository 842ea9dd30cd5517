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
inline const QList<int> kTraySizes {16, 22, 24, 32, 44, 48};

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

// A tray gives an icon a square slot, so the tray icon is the label redrawn as a square `size` pixels
// wide: the CPU ring filling the square; inside it the state symbol while a state holds, else the load's
// figure when the readouts are on; and under them the AI memory sparkline when that is on. Nothing tells
// the panel's colour for sure, so all of it sits on a dark disc in light colours: it reads on a light
// panel and on a dark one alike.
QPixmap trayPixmap(const MenuBarFigures& figures, int size, qreal devicePixelRatio = 1.0);
// The square at every tray size, for the tray.
QIcon trayIcon(const MenuBarFigures& figures);
// The readouts as words, for the tray icon's tool tip.
QString toolTip(const MenuBarFigures& figures);
// The readouts as the text that trays showing a label put beside the icon ("38% 5G"); empty while
// the readouts are off.
QString trayLabel(const MenuBarFigures& figures);

} // namespace MenuBarDrawing
