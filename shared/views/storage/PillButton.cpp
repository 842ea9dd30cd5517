#include "PillButton.h"

#include "ui/CardPainter.h"
#include "ui/SymbolIcon.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr int kSymbolGap = 4;

} // namespace

PillButton::PillButton(const QString& text, QWidget* parent)
    : QAbstractButton(parent)
{
    setText(text);
    setAccessibleName(text);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void PillButton::setSymbol(const QString& symbol)
{
    m_symbol = symbol;
    updateGeometry();
    update();
}

void PillButton::setColors(const QColor& foreground, const QColor& background)
{
    m_foreground = foreground;
    m_background = background;
    update();
}

void PillButton::setPadding(int horizontal, int vertical)
{
    m_padH = horizontal;
    m_padV = vertical;
    updateGeometry();
}

void PillButton::setCornerRadius(double radius)
{
    m_radius = radius;
    update();
}

void PillButton::setBadge(bool badge)
{
    setAttribute(Qt::WA_TransparentForMouseEvents, badge);
    setFocusPolicy(badge ? Qt::NoFocus : Qt::StrongFocus);
    setCursor(badge ? Qt::ArrowCursor : Qt::PointingHandCursor);
}

QSize PillButton::sizeHint() const
{
    const QFontMetrics fm(font());
    int width = text().isEmpty() ? 0 : fm.horizontalAdvance(text());
    const int line = fm.height();
    if (!m_symbol.isEmpty())
        width += line + (text().isEmpty() ? 0 : kSymbolGap);
    return {width + 2 * m_padH, line + 2 * m_padV};
}

void PillButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_background.isValid() && m_background.alpha() > 0)
        CardPainter::paintRounded(p, rect(), m_radius, m_background);
    QRectF content = QRectF(rect()).adjusted(m_padH, m_padV, -m_padH, -m_padV);
    const QColor fg = isEnabled()
        ? m_foreground
        : QColor(m_foreground.red(), m_foreground.green(), m_foreground.blue(), m_foreground.alpha() / 2);
    if (!m_symbol.isEmpty()) {
        const double side = QFontMetrics(font()).height();
        const QRectF box(content.left(), content.center().y() - side / 2, side, side);
        SymbolIcon::paint(p, box, m_symbol, fg, side * 0.9);
        content.setLeft(box.right() + kSymbolGap);
    }
    if (!text().isEmpty()) {
        p.setPen(fg);
        p.setFont(font());
        p.drawText(content, Qt::AlignLeft | Qt::AlignVCenter, text());
    }
    if (hasFocus()) {
        p.setPen(QPen(fg, 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), m_radius, m_radius);
    }
}
