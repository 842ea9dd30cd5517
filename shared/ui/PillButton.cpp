#include "PillButton.h"

#include "ui/CardPainter.h"
#include "ui/SymbolIcon.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr int kSymbolGap = 4;

} // namespace

PillButton::PillButton(const QString& text, Variant variant, QWidget* parent)
    : QAbstractButton(parent)
    , m_variant(variant)
    , m_foreground(fixedColor(QColor()))
    , m_background(fixedColor(QColor()))
{
    setText(text);
    setAccessibleName(text);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    if (variant == Variant::compact)
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    repaintOnThemeChange(this);
}

void PillButton::setSymbol(const QString& symbol)
{
    m_symbol = symbol;
    updateGeometry();
    update();
}

void PillButton::setLabel(const QString& text, const QString& symbol)
{
    setText(text);
    setAccessibleName(text);
    setSymbol(symbol);
}

void PillButton::setColors(const QColor& foreground, const QColor& background)
{
    setColors(fixedColor(foreground), fixedColor(background));
}

void PillButton::setColors(ThemeColor foreground, ThemeColor background)
{
    m_foreground = std::move(foreground);
    m_background = std::move(background);
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

QColor PillButton::foreground() const
{
    return m_foreground(Palette::current());
}

QColor PillButton::background() const
{
    return m_background(Palette::current());
}

int PillButton::symbolGap() const
{
    if (m_symbol.isEmpty())
        return 0;
    return text().isEmpty() && m_variant == Variant::compact ? 0 : kSymbolGap;
}

QSize PillButton::sizeHint() const
{
    const QFontMetrics fm(font());
    const int line = fm.height();
    int width = text().isEmpty() ? 0 : fm.horizontalAdvance(text());
    if (!m_symbol.isEmpty())
        width += line + symbolGap();
    return {width + 2 * m_padH, line + 2 * m_padV};
}

void PillButton::paintEvent(QPaintEvent*)
{
    const Palette palette = Palette::current();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor background = m_background(palette);
    if (background.isValid() && background.alpha() > 0)
        CardPainter::paintRounded(p, QRectF(rect()), m_radius, background);
    QColor fg = m_foreground(palette);
    if (!isEnabled() && m_variant == Variant::compact)
        fg.setAlpha(fg.alpha() / 2);

    const QFontMetrics fm(font());
    const double line = fm.height();
    const double contentWidth = sizeHint().width() - 2 * m_padH;
    double x = m_variant == Variant::centred ? (width() - contentWidth) / 2.0 : m_padH;
    if (!m_symbol.isEmpty()) {
        const QRectF box(x, (height() - line) / 2.0, line, line);
        SymbolIcon::paint(p, box, m_symbol, fg, m_variant == Variant::compact ? line * 0.9 : line);
        x += line + symbolGap();
    }
    if (!text().isEmpty()) {
        p.setPen(fg);
        p.setFont(font());
        // A compact pill keeps its text inside the padding; a centred one lets it use the full height.
        const QRectF box = m_variant == Variant::compact
            ? QRectF(x, m_padV, width() - x - m_padH, height() - 2 * m_padV)
            : QRectF(x, 0, width() - x, height());
        p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, text());
    }
    if (hasFocus())
        paintFocus(p, fg);
}

void PillButton::paintFocus(QPainter& painter, const QColor& foreground) const
{
    const QPen pen = m_variant == Variant::compact ? QPen(foreground, 1, Qt::DotLine)
                                                   : QPen(withOpacity(Palette::current().accent, 0.6), 1);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), m_radius, m_radius);
}
