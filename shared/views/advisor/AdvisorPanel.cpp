#include "AdvisorPanel.h"

#include "ui/CardPainter.h"

#include <QPainter>

AdvisorPanel::AdvisorPanel(const QColor& fill, double radius, QWidget* parent)
    : QWidget(parent)
    , m_fill(fill)
    , m_radius(radius)
{
}

void AdvisorPanel::setFill(const QColor& fill)
{
    m_fill = fill;
    update();
}

void AdvisorPanel::setStroke(const QColor& stroke, double width)
{
    m_stroke = stroke;
    m_strokeWidth = width;
    update();
}

void AdvisorPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // Half the stroke inside, so the outline is not clipped at the widget's edge.
    const double inset = m_stroke.isValid() ? m_strokeWidth / 2 : 0;
    CardPainter::paintRounded(
        p, QRectF(rect()).adjusted(inset, inset, -inset, -inset), m_radius, m_fill, m_stroke, m_strokeWidth);
}
