#include "SettingsButton.h"

#include "ui/CardPainter.h"
#include "ui/Palette.h"
#include "ui/SymbolIcon.h"

#include <QFontMetrics>
#include <QPainter>

namespace {
constexpr int kGap = 6;
}

SettingsButton::SettingsButton(const QString& text, const QString& symbol, QWidget* parent)
    : QAbstractButton(parent)
    , m_symbol(symbol)
    , m_foreground(Palette::current().text)
{
    setText(text);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(text.isEmpty() ? symbol : text);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SettingsButton::setColors(const QColor& foreground, const QColor& background)
{
    m_foreground = foreground;
    m_background = background;
    update();
}

void SettingsButton::setPadding(int horizontal, int vertical)
{
    m_padH = horizontal;
    m_padV = vertical;
    updateGeometry();
}

QSize SettingsButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    int width = 0;
    if (!m_symbol.isEmpty())
        width += m_symbolSize;
    if (!text().isEmpty())
        width += metrics.horizontalAdvance(text()) + (m_symbol.isEmpty() ? 0 : kGap);
    const int height = std::max(metrics.height(), m_symbol.isEmpty() ? 0 : m_symbolSize);
    return {width + 2 * m_padH, height + 2 * m_padV};
}

void SettingsButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(0.4);
    if (m_background.isValid() && m_background.alpha() > 0)
        CardPainter::paintRounded(painter, QRectF(rect()), m_radius, m_background);
    const QSize hint = sizeHint();
    double x = (width() - (hint.width() - 2 * m_padH)) / 2.0;
    if (!m_symbol.isEmpty()) {
        SymbolIcon::paint(painter, QRectF(x, 0, m_symbolSize, height()), m_symbol, m_foreground, m_symbolSize);
        x += m_symbolSize + kGap;
    }
    if (!text().isEmpty()) {
        painter.setFont(font());
        painter.setPen(m_foreground);
        painter.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
    }
    if (hasFocus()) {
        painter.setOpacity(1);
        CardPainter::paintRounded(painter, QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), m_radius, Qt::transparent,
            Palette::current().accent);
    }
}
