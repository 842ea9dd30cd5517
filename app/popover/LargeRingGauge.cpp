#include "LargeRingGauge.h"

#include "ui/Fonts.h"
#include "ui/Palette.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

QFont captionFont()
{
    return Fonts::system(9, QFont::Medium);
}

} // namespace

LargeRingGauge::LargeRingGauge(const QString& valueText, std::optional<double> percentage, const QColor& accentColor,
    const QColor& textColor, QWidget* parent)
    : QWidget(parent)
    , m_valueText(valueText)
    , m_percentage(percentage)
    , m_accentColor(accentColor)
    , m_textColor(textColor)
    , m_captionColor(textColor)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    updateAccessibleName();
}

void LargeRingGauge::setValue(const QString& valueText, std::optional<double> percentage)
{
    if (m_valueText == valueText && m_percentage == percentage)
        return;
    m_valueText = valueText;
    m_percentage = percentage;
    updateAccessibleName();
    update();
}

void LargeRingGauge::setColors(const QColor& accentColor, const QColor& textColor, const QColor& captionColor)
{
    m_accentColor = accentColor;
    m_textColor = textColor;
    m_captionColor = captionColor.isValid() ? captionColor : textColor;
    update();
}

void LargeRingGauge::setCaption(const QString& caption)
{
    m_caption = caption;
    updateAccessibleName();
    updateGeometry();
    update();
}

void LargeRingGauge::updateAccessibleName()
{
    setAccessibleName(m_caption.isEmpty() ? m_valueText : m_caption + QStringLiteral(": ") + m_valueText);
}

std::optional<double> LargeRingGauge::arcFraction() const
{
    if (!m_percentage || std::isnan(*m_percentage))
        return std::nullopt;
    return std::clamp(*m_percentage, 0.05, 1.0);
}

QSize LargeRingGauge::sizeHint() const
{
    const int caption = m_caption.isEmpty() ? 0 : kCaptionGap + QFontMetrics(captionFont()).height();
    return {int(kDisc), int(kDisc) + caption};
}

void LargeRingGauge::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(width() / 2.0, kDisc / 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, qRound(0.35 * 255)));
    p.drawEllipse(c, kDisc / 2, kDisc / 2);

    const double r = (kRing - kLine) / 2;
    const QRectF ring(c.x() - r, c.y() - r, 2 * r, 2 * r);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(withOpacity(m_textColor, 0.18), kLine, Qt::SolidLine, Qt::FlatCap));
    p.drawEllipse(ring);
    if (const auto fraction = arcFraction()) {
        p.setPen(QPen(m_accentColor, kLine, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(ring, 90 * 16, -qRound(*fraction * 360 * 16));
    }

    p.setFont(Fonts::system(12, QFont::Bold));
    p.setPen(m_textColor);
    p.drawText(ring, Qt::AlignCenter, m_valueText);

    if (!m_caption.isEmpty()) {
        p.setFont(captionFont());
        p.setPen(m_captionColor);
        const QRectF below(0, kDisc + kCaptionGap, width(), height() - kDisc - kCaptionGap);
        p.drawText(below, Qt::AlignHCenter | Qt::AlignTop,
            QFontMetrics(captionFont()).elidedText(m_caption, Qt::ElideRight, width()));
    }
}
