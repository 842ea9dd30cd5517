#include "PageStyle.h"

#include "records/ThemeManager.h"
#include "ui/CardPainter.h"
#include "ui/Fonts.h"
#include "ui/NumberText.h"
#include "ui/SymbolIcon.h"

#include <QPainter>

namespace PageStyle {

QFont title2()
{
    return Fonts::system(17, QFont::Bold);
}

QFont title3()
{
    return Fonts::system(15, QFont::Bold);
}

QFont headline()
{
    return Fonts::system(13, QFont::DemiBold);
}

QFont subheadline()
{
    return Fonts::system(11);
}

QFont body()
{
    return Fonts::system(13);
}

QFont caption()
{
    return Fonts::system(10);
}

QColor color(const Palette& palette, Tone tone)
{
    switch (tone) {
    case Tone::primary:
        return palette.text;
    case Tone::secondary:
        return palette.secondaryText;
    case Tone::accent:
        return palette.accent;
    case Tone::blue:
        return palette.blue;
    case Tone::green:
        return palette.green;
    case Tone::orange:
        return palette.orange;
    case Tone::red:
        return palette.red;
    case Tone::cyan:
        return palette.cyan;
    case Tone::purple:
        return palette.purple;
    case Tone::yellow:
        return palette.yellow;
    }
    return palette.text;
}

QString figure(bool measured, const char* pattern, double value)
{
    return measured ? NumberText::numberText(pattern, value) : NumberText::dash;
}

QString wholeFigure(bool measured, double value, const QString& suffix)
{
    const auto whole = NumberText::whole(value);
    if (!measured || !whole)
        return NumberText::dash;
    return QString::number(*whole) + suffix;
}

} // namespace PageStyle

SymbolView::SymbolView(const QString& name, PageStyle::Tone tone, int pixelSize, QWidget* parent)
    : QWidget(parent)
    , m_name(name)
    , m_tone(tone)
    , m_pixelSize(pixelSize)
{
    setFixedSize(pixelSize + 4, pixelSize + 4);
}

void SymbolView::setTone(PageStyle::Tone tone)
{
    if (tone == m_tone)
        return;
    m_tone = tone;
    update();
}

void SymbolView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    SymbolIcon::paint(p, rect(), m_name, PageStyle::color(Palette::current(), m_tone), m_pixelSize);
}

ToneLabel::ToneLabel(const QString& text, const QFont& font, PageStyle::Tone tone, QWidget* parent)
    : QLabel(text, parent)
    , m_tone(tone)
{
    setFont(font);
    setTextFormat(Qt::PlainText);
    applyColor();
    followTheme(ThemeManager::shared(), this, [this](const Palette&) { applyColor(); });
}

void ToneLabel::setTone(PageStyle::Tone tone, double opacity)
{
    if (tone == m_tone && opacity == m_opacity)
        return;
    m_tone = tone;
    m_opacity = opacity;
    applyColor();
}

QColor ToneLabel::currentColor() const
{
    return withOpacity(PageStyle::color(Palette::current(), m_tone), m_opacity);
}

void ToneLabel::applyColor()
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, currentColor());
    setPalette(p);
}

RoundedPanel::RoundedPanel(double fillOpacity, double cornerRadius, QWidget* parent)
    : QWidget(parent)
    , m_fillOpacity(fillOpacity)
    , m_radius(cornerRadius)
{
}

void RoundedPanel::setFill(PageStyle::Tone tone, double opacity)
{
    m_tone = tone;
    m_fillOpacity = opacity;
    update();
}

void RoundedPanel::setOutline(double opacity)
{
    m_outlineOpacity = opacity;
    update();
}

void RoundedPanel::paintEvent(QPaintEvent*)
{
    const Palette palette = Palette::current();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor base = PageStyle::color(palette, m_tone);
    const QColor outline = m_outlineOpacity > 0 ? withOpacity(palette.text, m_outlineOpacity) : QColor();
    CardPainter::paintRounded(
        p, QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), m_radius, withOpacity(base, m_fillOpacity), outline);
}
