#include "RoundedFill.h"

#include "ui/CardPainter.h"

#include <QPainter>

RoundedFill::RoundedFill(const QColor& fill, double radius, QWidget* parent)
    : QWidget(parent)
    , m_fill(fill)
    , m_radius(radius)
{
}

void RoundedFill::setFill(const QColor& fill)
{
    m_fill = fill;
    update();
}

void RoundedFill::setStroke(const QColor& stroke, double width)
{
    m_stroke = stroke;
    m_strokeWidth = width;
    update();
}

void RoundedFill::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // The painter keeps the outline inside the widget, so it is never clipped at the edge.
    CardPainter::paintRounded(p, QRectF(rect()), m_radius, m_fill, m_stroke, m_strokeWidth);
}
