#include "LegendItem.h"

#include "ui/Fonts.h"
#include "ui/Palette.h"

#include <QPainter>

namespace {

constexpr int kDot = 8;
constexpr int kSpacing = 8;
constexpr int kPadV = 2;

} // namespace

LegendItem::LegendItem(const QColor& color, const QString& label, const QString& value, QWidget* parent)
    : QWidget(parent)
    , m_color(color)
    , m_label(label)
    , m_value(value)
{
    setAccessibleName(label);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void LegendItem::setValue(const QString& value)
{
    if (value == m_value)
        return;
    m_value = value;
    update();
}

QSize LegendItem::sizeHint() const
{
    const QFontMetrics label(Fonts::system(12, QFont::Medium));
    const QFontMetrics value(Fonts::monospaced(12, QFont::DemiBold));
    return {kDot + kSpacing + label.horizontalAdvance(m_label) + kSpacing + value.horizontalAdvance(m_value),
        std::max(label.height(), value.height()) + 2 * kPadV};
}

void LegendItem::paintEvent(QPaintEvent*)
{
    const Palette palette = Palette::current();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(m_color);
    p.drawEllipse(QRectF(0, (height() - kDot) / 2.0, kDot, kDot));
    const QFont valueFont = Fonts::monospaced(12, QFont::DemiBold);
    const double valueWidth = QFontMetricsF(valueFont).horizontalAdvance(m_value);
    const QRectF labelRect(kDot + kSpacing, 0, std::max(0.0, width() - kDot - 2 * kSpacing - valueWidth), height());
    p.setFont(Fonts::system(12, QFont::Medium));
    p.setPen(palette.secondaryText);
    p.drawText(labelRect, Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetricsF(p.font()).elidedText(m_label, Qt::ElideRight, labelRect.width()));
    p.setFont(valueFont);
    p.setPen(palette.text);
    p.drawText(rect(), Qt::AlignRight | Qt::AlignVCenter, m_value);
}
