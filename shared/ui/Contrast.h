#pragma once

#include <QColor>

// How well one colour reads on another, by the WCAG 2 relative luminance of opaque sRGB colours.
namespace Contrast {

// The minimum ratio text needs on its background.
constexpr double kMinimumTextRatio = 3.0;

double luminance(const QColor& color);
// From 1 (the same luminance) to 21 (black on white).
double ratio(const QColor& a, const QColor& b);
// Whether `text` reads on `fill`: a ratio of at least kMinimumTextRatio.
bool reads(const QColor& text, const QColor& fill);
// Text on a filled control: `preferred` where it reads on `fill`, else white or black, whichever reads better.
QColor readableOn(const QColor& fill, const QColor& preferred);
// Text on a filled control: `preferred` where it reads on `fill`, else `fallback`.
QColor readableOn(const QColor& fill, const QColor& preferred, const QColor& fallback);
// `top` laid over the opaque `bottom`, as it is seen.
QColor over(const QColor& top, const QColor& bottom);
// `color` as text on `background`: itself where it reads, else mixed toward black (on a light background)
// or white (on a dark one) just enough to read.
QColor readableShade(const QColor& color, const QColor& background);

} // namespace Contrast
