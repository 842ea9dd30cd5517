#include "Spinner.h"

#include "Palette.h"

#include <QPainter>

Spinner::Spinner(int diameter, QWidget* parent)
    : QWidget(parent)
    , m_diameter(diameter)
{
    m_timer.setInterval(1000 / 30);
    connect(&m_timer, &QTimer::timeout, this, [this] { setAngle(m_angle + 12); });
    setAccessibleName(tr("Loading"));
}

void Spinner::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void Spinner::setAngle(int degrees)
{
    m_angle = ((degrees % 360) + 360) % 360;
    update();
}

void Spinner::showEvent(QShowEvent*)
{
    m_timer.start();
}

void Spinner::hideEvent(QHideEvent*)
{
    // A hidden spinner costs nothing.
    m_timer.stop();
}

void Spinner::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double side = std::min(width(), height());
    const double pen = std::max(1.5, side / 8);
    const QRectF r((width() - side) / 2 + pen / 2, (height() - side) / 2 + pen / 2, side - pen, side - pen);
    const QColor color = m_color.isValid() ? m_color : Palette::current().secondaryText;
    p.setPen(QPen(withOpacity(color, 0.2), pen));
    p.drawEllipse(r);
    p.setPen(QPen(color, pen, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(r, (90 - m_angle) * 16, -100 * 16);
}
