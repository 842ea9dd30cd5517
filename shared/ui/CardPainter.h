#pragma once

#include <QColor>
#include <QRectF>

class QPainter;
struct Palette;

// The two background shapes the views share: the rounded card and the capsule (a pill whose ends are
// half circles).
namespace CardPainter {

// A card in the palette's card colour with a hairline in its divider colour.
void paintCard(QPainter& painter, const QRectF& rect, const Palette& palette, double cornerRadius = 12);
// A filled rounded rectangle with an optional stroke (no stroke when `stroke` is invalid).
void paintRounded(QPainter& painter, const QRectF& rect, double cornerRadius, const QColor& fill,
    const QColor& stroke = QColor(), double strokeWidth = 1);
void paintCapsule(QPainter& painter, const QRectF& rect, const QColor& fill, const QColor& stroke = QColor());

} // namespace CardPainter
