#include "ColorDot.h"

#include <QPainter>

TintedWidget::TintedWidget(QSize size, QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(size);
}

void TintedWidget::setColor(const QColor& color)
{
    m_color = color;
    update();
}

ColorDot::ColorDot(QSize size, const QRectF& disc, QWidget* parent)
    : TintedWidget(size, parent)
    , m_disc(disc)
{
}

void ColorDot::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(color());
    p.drawEllipse(m_disc);
}
