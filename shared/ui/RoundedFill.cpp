#include "RoundedFill.h"

#include "ui/CardPainter.h"

#include <QPainter>

RoundedFill::RoundedFill(const QColor& fill, double radius, QWidget* parent)
    : RoundedFill(fixedColor(fill), radius, parent)
{
}

RoundedFill::RoundedFill(ThemeColor fill, double radius, QWidget* parent)
    : QWidget(parent)
    , m_fill(std::move(fill))
    , m_stroke(fixedColor(QColor()))
    , m_radius(radius)
{
    repaintOnThemeChange(this);
}

void RoundedFill::setFill(const QColor& fill)
{
    setFill(fixedColor(fill));
}

void RoundedFill::setFill(ThemeColor fill)
{
    m_fill = std::move(fill);
    update();
}

void RoundedFill::setStroke(const QColor& stroke, double width)
{
    setStroke(fixedColor(stroke), width);
}

void RoundedFill::setStroke(ThemeColor stroke, double width)
{
    m_stroke = std::move(stroke);
    m_strokeWidth = width;
    update();
}

void RoundedFill::setCornerRadius(double radius)
{
    m_radius = radius;
    update();
}

void RoundedFill::setInset(double inset)
{
    m_inset = inset;
    update();
}

QColor RoundedFill::fill() const
{
    return m_fill(Palette::current());
}

QColor RoundedFill::stroke() const
{
    return m_stroke(Palette::current());
}

void RoundedFill::paintEvent(QPaintEvent*)
{
    const Palette palette = Palette::current();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // The painter keeps the outline inside the widget, so it is never clipped at the edge.
    CardPainter::paintRounded(p, QRectF(rect()).adjusted(m_inset, m_inset, -m_inset, -m_inset), m_radius,
        m_fill(palette), m_stroke(palette), m_strokeWidth);
}
