#include "RingChart.h"

#include "ui/Fonts.h"

#include <QPainter>

#include <cmath>

RingChart::RingChart(
    double percentage, const QString& label, const QColor& color, const QString& title, QWidget* parent)
    : QWidget(parent)
    , m_percentage(percentage)
    , m_label(label)
    , m_color(color)
    , m_title(title)
    , m_drawn(arcFraction(percentage))
{
    setFixedSize(kSide, kSide);
    setAccessibleName(title);
    m_animation.setDuration(kAnimationMs);
    // A spring of damping 0.7 overshoots a little before settling.
    QEasingCurve spring(QEasingCurve::OutBack);
    spring.setOvershoot(0.8);
    m_animation.setEasingCurve(spring);
    connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_drawn = value.toDouble();
        update();
    });
}

double RingChart::arcFraction(double percentage)
{
    if (!std::isfinite(percentage) || percentage <= 0)
        return 0;
    return std::min(percentage / 100.0, 1.0);
}

void RingChart::setPercentage(double percentage)
{
    if (percentage == m_percentage)
        return;
    m_percentage = percentage;
    m_animation.stop();
    m_animation.setStartValue(m_drawn);
    m_animation.setEndValue(arcFraction(percentage));
    m_animation.start();
}

void RingChart::setTexts(const QString& title, const QString& label)
{
    m_title = title;
    m_label = label;
    setAccessibleName(title);
    update();
}

void RingChart::paintEvent(QPaintEvent*)
{
    const Palette palette = Palette::current();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF ring = QRectF(rect()).adjusted(4, 4, -4, -4);
    p.save();
    p.setPen(QPen(withOpacity(m_color, 0.15), 8, Qt::SolidLine, Qt::FlatCap));
    p.drawEllipse(ring);
    // The overshoot of the spring may pass the ends; the arc itself stays within the circle.
    const double fraction = std::clamp(m_drawn, 0.0, 1.0);
    if (fraction > 0) {
        p.setPen(QPen(m_color, 8, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(ring, 90 * 16, -static_cast<int>(std::lround(fraction * 360 * 16)));
    }
    p.restore();

    const QFont titleFont = Fonts::system(16, QFont::Bold);
    const QFont labelFont = Fonts::system(9, QFont::Bold);
    const QFontMetricsF tm(titleFont);
    const QFontMetricsF lm(labelFont);
    const double total = tm.height() + 2 + lm.height();
    const double top = (height() - total) / 2;
    p.setFont(titleFont);
    p.setPen(palette.text);
    p.drawText(QRectF(0, top, width(), tm.height()), Qt::AlignCenter, m_title);
    p.setFont(labelFont);
    p.setPen(palette.secondaryText);
    p.drawText(QRectF(0, top + tm.height() + 2, width(), lm.height()), Qt::AlignCenter, m_label);
}
