#pragma once

#include <QColor>
#include <QPixmap>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class QPainter;

// Named symbols drawn from the Material Icons font at any size and tint. Views name symbols by the
// names of the table in SymbolIcon.cpp; a name the table does not know draws a neutral dot, so a
// missing entry shows as a visible placeholder rather than nothing.
namespace SymbolIcon {

struct Entry
{
    const char* name; // the symbol name views use
    const char* material; // the Material Icons glyph name
    char32_t codepoint; // that glyph's code point in the font
};

// Every entry, sorted by name.
const std::vector<Entry>& table();
std::optional<char32_t> codepoint(const QString& name);
QStringList names();

// The font family of the glyphs ("" when the font could not be loaded).
QString fontFamily();

// Draws the symbol centred in `rect`, its glyph `pixelSize` tall, in `color`.
void paint(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color, double pixelSize);
// The symbol on a transparent square pixmap of `size` logical pixels at the given device pixel ratio.
QPixmap pixmap(const QString& name, int size, const QColor& color, qreal devicePixelRatio = 1.0);

} // namespace SymbolIcon
