#include "TintedBox.h"

#include "ui/CardPainter.h"

#include <QPainter>

TintedBox::TintedBox(QWidget* parent)
    : QWidget(parent)
{
}

void TintedBox::setFill(const QColor& fill, double cornerRadius)
{
    m_fill = fill;
    m_radius = cornerRadius;
    update();
}

void TintedBox::setStroke(const QColor& stroke, double width)
{
    m_stroke = stroke;
    m_strokeWidth = width;
    update();
}

void TintedBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    CardPainter::paintRounded(p, rect(), m_radius, m_fill, m_stroke, m_strokeWidth);
}
