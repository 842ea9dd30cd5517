#include "SensorCircle.h"

#include "ui/Fonts.h"
#include "ui/Palette.h"

#include <QPainter>

SensorCircle::SensorCircle(const QString& title, const QString& value, QWidget* parent)
    : QWidget(parent)
    , m_title(title)
    , m_value(value)
{
    setFixedSize(kSide, kSide);
    setAccessibleName(title);
}

void SensorCircle::setValue(const QString& value)
{
    if (value == m_value)
        return;
    m_value = value;
    update();
}

void SensorCircle::paintEvent(QPaintEvent*)
{
    const Palette palette = Palette::current();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(withOpacity(palette.blue, 0.6), 3));
    p.drawEllipse(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5));
    const QFont titleFont = Fonts::system(8, QFont::Bold);
    const QFont valueFont = Fonts::system(12, QFont::Bold);
    const double th = QFontMetricsF(titleFont).height();
    const double vh = QFontMetricsF(valueFont).height();
    const double top = (height() - th - 2 - vh) / 2;
    p.setFont(titleFont);
    p.setPen(palette.secondaryText);
    p.drawText(QRectF(0, top, width(), th), Qt::AlignCenter, m_title);
    p.setFont(valueFont);
    p.setPen(palette.text);
    p.drawText(QRectF(0, top + th + 2, width(), vh), Qt::AlignCenter, m_value);
}
