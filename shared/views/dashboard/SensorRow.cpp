#include "SensorRow.h"

#include "ui/Fonts.h"
#include "ui/Palette.h"

#include <QPainter>

namespace {

constexpr int kLineSpacing = 2;

QFont titleFont()
{
    return Fonts::monospaced(7, QFont::Bold);
}

QFont lineFont()
{
    return Fonts::system(11);
}

QFont readingFont()
{
    return Fonts::monospaced(11, QFont::DemiBold);
}

} // namespace

SensorRow::SensorRow(const QString& title, const QString& subtitle, const QString& value, QWidget* parent)
    : QWidget(parent)
    , m_title(title)
    , m_subtitle(subtitle)
    , m_value(value)
{
    setAccessibleName(subtitle);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void SensorRow::setValue(const QString& value)
{
    if (value == m_value)
        return;
    m_value = value;
    update();
}

QSize SensorRow::sizeHint() const
{
    const int line = std::max(QFontMetrics(lineFont()).height(), QFontMetrics(readingFont()).height());
    return {160, QFontMetrics(titleFont()).height() + kLineSpacing + line + kLineSpacing + 1};
}

void SensorRow::paintEvent(QPaintEvent*)
{
    const Palette palette = Palette::current();
    QPainter p(this);
    const int titleHeight = QFontMetrics(titleFont()).height();
    const int line = std::max(QFontMetrics(lineFont()).height(), QFontMetrics(readingFont()).height());
    p.setFont(titleFont());
    p.setPen(palette.blue);
    p.drawText(QRect(0, 0, width(), titleHeight), Qt::AlignLeft | Qt::AlignVCenter, m_title);
    const QRect lineRect(0, titleHeight + kLineSpacing, width(), line);
    p.setFont(readingFont());
    p.setPen(withOpacity(palette.text, 0.8));
    p.drawText(lineRect, Qt::AlignRight | Qt::AlignVCenter, m_value);
    const int valueWidth = QFontMetrics(readingFont()).horizontalAdvance(m_value);
    p.setFont(lineFont());
    p.setPen(palette.text);
    p.drawText(lineRect.adjusted(0, 0, -valueWidth - 8, 0), Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(lineFont()).elidedText(m_subtitle, Qt::ElideRight, std::max(0, width() - valueWidth - 8)));
    p.fillRect(QRect(0, height() - 1, width(), 1), withOpacity(palette.text, 0.08));
}
