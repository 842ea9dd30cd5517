#include "LargeRingGauge.h"

#include "ui/Fonts.h"
#include "ui/Palette.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

LargeRingGauge::LargeRingGauge(
    const QString& valueText, double percentage, const QColor& accentColor, const QColor& textColor, QWidget* parent)
    : QWidget(parent)
    , m_valueText(valueText)
    , m_percentage(percentage)
    , m_accentColor(accentColor)
    , m_textColor(textColor)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(valueText);
}

void LargeRingGauge::setValue(const QString& valueText, double percentage)
{
    if (m_valueText == valueText && m_percentage == percentage)
        return;
    m_valueText = valueText;
    m_percentage = percentage;
    setAccessibleName(valueText);
    update();
}

void LargeRingGauge::setColors(const QColor& accentColor, const QColor& textColor)
{
    m_accentColor = accentColor;
    m_textColor = textColor;
    update();
}

double LargeRingGauge::arcFraction() const
{
    return std::isnan(m_percentage) ? 0.05 : std::clamp(m_percentage, 0.05, 1.0);
}

void LargeRingGauge::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c = QRectF(rect()).center();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, qRound(0.35 * 255)));
    p.drawEllipse(c, kDisc / 2, kDisc / 2);

    const double r = (kRing - kLine) / 2;
    const QRectF ring(c.x() - r, c.y() - r, 2 * r, 2 * r);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(withOpacity(m_textColor, 0.18), kLine, Qt::SolidLine, Qt::FlatCap));
    p.drawEllipse(ring);
    p.setPen(QPen(m_accentColor, kLine, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(ring, 90 * 16, -qRound(arcFraction() * 360 * 16));

    p.setFont(Fonts::system(12, QFont::Bold));
    p.setPen(m_textColor);
    p.drawText(ring, Qt::AlignCenter, m_valueText);
}
