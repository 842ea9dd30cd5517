#include "Switch.h"

#include "CardPainter.h"
#include "Palette.h"
#include "ThemeColor.h"

#include <QPainter>

Switch::Switch(QWidget* parent)
    : QAbstractButton(parent)
{
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    repaintOnThemeChange(this);
}

void Switch::setOnColor(const QColor& color)
{
    m_onColor = color;
    update();
}

QSize Switch::sizeHint() const
{
    return {38, 22};
}

void Switch::paintEvent(QPaintEvent*)
{
    const Palette palette = Palette::current();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // Shrinks to its host when given less than its natural size, keeping the 38:22 shape.
    const double h = std::min<double>(height(), width() * 22.0 / 38.0);
    const double w = h * 38.0 / 22.0;
    const QRectF track((width() - w) / 2, (height() - h) / 2, w, h);
    const QColor on = m_onColor.isValid() ? m_onColor : palette.accent;
    const QColor fill = isChecked() ? on : withOpacity(palette.text, 0.2);
    // Out of use, track and knob alike fade, so the switch does not look as if it could be turned.
    if (!isEnabled())
        p.setOpacity(0.4);
    CardPainter::paintCapsule(p, track, fill, hasFocus() ? withOpacity(palette.accent, 0.8) : QColor());
    const double knob = h - 4;
    const double x = isChecked() ? track.right() - 2 - knob : track.left() + 2;
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(x, track.top() + 2, knob, knob));
}
