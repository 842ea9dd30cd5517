#include "CardPainter.h"

#include "Palette.h"

#include <QPainter>
#include <QPainterPath>

namespace CardPainter {

void paintRounded(QPainter& painter, const QRectF& rect, double cornerRadius, const QColor& fill, const QColor& stroke,
    double strokeWidth)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double radius = std::min(cornerRadius, std::min(rect.width(), rect.height()) / 2);
    // The stroke is centred on the outline, so the shape is inset by half of it to stay inside `rect`.
    const double inset = stroke.isValid() ? strokeWidth / 2 : 0;
    const QRectF r = rect.adjusted(inset, inset, -inset, -inset);
    painter.setPen(stroke.isValid() ? QPen(stroke, strokeWidth) : QPen(Qt::NoPen));
    painter.setBrush(fill);
    painter.drawRoundedRect(r, radius, radius);
    painter.restore();
}

void paintCard(QPainter& painter, const QRectF& rect, const Palette& palette, double cornerRadius)
{
    paintRounded(painter, rect, cornerRadius, palette.card, palette.divider, 1);
}

void paintCapsule(QPainter& painter, const QRectF& rect, const QColor& fill, const QColor& stroke)
{
    paintRounded(painter, rect, std::min(rect.width(), rect.height()) / 2, fill, stroke, 1);
}

} // namespace CardPainter
