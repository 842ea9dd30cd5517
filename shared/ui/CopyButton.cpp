#include "CopyButton.h"

#include "CardPainter.h"
#include "Clock.h"
#include "Desktop.h"
#include "Palette.h"
#include "SymbolIcon.h"

#include <QPainter>

namespace {

constexpr int kSpacing = 6;
const char* const kIdleSymbol = "doc.on.doc";
const char* const kCopiedSymbol = "checkmark";

} // namespace

CopyButton::CopyButton(
    const QString& idleText, std::function<QString()> text, Desktop& desktop, Clock& clock, QWidget* parent)
    : QAbstractButton(parent)
    , m_idleText(idleText)
    , m_text(std::move(text))
    , m_desktop(desktop)
    , m_clock(clock)
{
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(idleText);
    connect(this, &QAbstractButton::clicked, this, &CopyButton::press);
}

QString CopyButton::labelText() const
{
    return m_copied ? (m_copiedText.isEmpty() ? tr("Copied!") : m_copiedText) : m_idleText;
}

QString CopyButton::labelSymbol() const
{
    return QString::fromLatin1(m_copied ? kCopiedSymbol : kIdleSymbol);
}

void CopyButton::setCopiedText(const QString& text)
{
    m_copiedText = text;
    updateGeometry();
    update();
}

void CopyButton::setColors(const QColor& foreground, const QColor& background)
{
    m_foreground = foreground;
    m_background = background;
    update();
}

void CopyButton::setCornerRadius(double radius)
{
    m_radius = radius;
    update();
}

void CopyButton::setPadding(int horizontal, int vertical)
{
    m_padH = horizontal;
    m_padV = vertical;
    updateGeometry();
}

void CopyButton::press()
{
    const QString text = m_text ? m_text() : QString();
    m_desktop.copyText(text);
    // Confirm only what the clipboard really holds: a clipboard that refused the text shows no "Copied!".
    if (m_desktop.clipboardText() != text)
        return;
    setCopied(true);
    m_clock.singleShot(kResetMs, this, [this] { setCopied(false); });
}

void CopyButton::setCopied(bool copied)
{
    if (copied == m_copied)
        return;
    m_copied = copied;
    setAccessibleName(labelText());
    updateGeometry();
    update();
    emit confirmingChanged(copied);
}

QSize CopyButton::sizeHint() const
{
    const QFontMetrics fm(font());
    const int icon = fm.height();
    const int textWidth = std::max(fm.horizontalAdvance(m_idleText), fm.horizontalAdvance(tr("Copied!")));
    return {m_padH * 2 + icon + kSpacing + textWidth, m_padV * 2 + fm.height()};
}

void CopyButton::paintEvent(QPaintEvent*)
{
    const Palette palette = Palette::current();
    const QColor fg = m_foreground.isValid() ? m_foreground : palette.text;
    const QColor bg = m_background.isValid() ? m_background : withOpacity(palette.text, 0.08);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // A button that cannot copy yet must not look as if it could.
    if (!isEnabled())
        p.setOpacity(0.45);
    CardPainter::paintRounded(
        p, rect(), m_radius, isDown() ? pressedFill(bg) : bg, hasFocus() ? withOpacity(palette.accent, 0.8) : QColor());

    const QFontMetrics fm(font());
    const QString text = labelText();
    const int icon = fm.height();
    const int content = icon + kSpacing + fm.horizontalAdvance(text);
    const double x = (width() - content) / 2.0;
    SymbolIcon::paint(p, QRectF(x, (height() - icon) / 2.0, icon, icon), labelSymbol(), fg, fm.ascent());
    p.setFont(font());
    p.setPen(fg);
    p.drawText(QRectF(x + icon + kSpacing, 0, width() - x - icon - kSpacing, height()),
        Qt::AlignLeft | Qt::AlignVCenter, text);
}
