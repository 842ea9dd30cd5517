#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QScrollArea;
class QWidget;

// Windows of the one size the program gives them (the settings and dashboard windows, the sheets). Wherever
// that size fits the screen's free area with the window's frame it is kept exactly; on a smaller screen the
// window takes what there is and its content scrolls inside it, so no part of it is out of reach.
namespace FittedWindow {

// The content size of a window meant to be `size`, whose title bar and borders add `decoration`, on a
// screen whose free area is `available`: `size` where it fits, else as much of it as fits (at least 1 x 1).
QSize fittedSize(const QSize& size, const QMargins& decoration, const QRect& available);
// The title bar and borders around `window`: as the window manager drew them once it is shown, before that
// a title bar and borders of the style's sizes.
QMargins decoration(const QWidget* window);
// `size` widened and narrowed to what `content` may take (its minimum and maximum).
QSize boundedByContent(const QSize& size, const QWidget* content);
// Lays `content` into `window`, which has no layout yet, inside a frameless scroll area: the content takes
// the window's size within its own minimum and maximum, and scrolls where the window is smaller than that.
// The scroll bars are drawn in the theme.
QScrollArea* holdContent(QWidget* window, QWidget* content);
// Gives `window` the one size `size`, or, where the free area `available` cannot hold it with the window's
// frame, the size that it can hold.
void fix(QWidget* window, const QSize& size, const QRect& available);
// As above, on the free area of the screen the window is on.
void fix(QWidget* window, const QSize& size);
// The free area of the screen `window` is on (or will open on), or an empty rectangle without a screen.
QRect availableArea(const QWidget* window);

} // namespace FittedWindow
