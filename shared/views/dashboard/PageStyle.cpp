#include "PageStyle.h"

#include "ui/Fonts.h"
#include "ui/NumberText.h"
#include "ui/SymbolIcon.h"

#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

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

ThemeColor tone(Tone tone, double opacity)
{
    return [tone, opacity](const Palette& palette) { return withOpacity(color(palette, tone), opacity); };
}

RoundedFill* panel(double fillOpacity, double cornerRadius, QWidget* parent)
{
    auto* panel = new RoundedFill(tone(Tone::primary, fillOpacity), cornerRadius, parent);
    panel->setInset(0.5);
    return panel;
}

RoundedFill* sectionPanel(QWidget* parent, QVBoxLayout*& column, double cornerRadius, int spacing)
{
    auto* section = panel(0.04, cornerRadius, parent);
    column = new QVBoxLayout(section);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(spacing);
    return section;
}

QScrollArea* scrollingPage(QWidget* host, QWidget* content)
{
    auto* outer = new QVBoxLayout(host);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(host);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->viewport()->setAutoFillBackground(false);
    outer->addWidget(scroll);
    scroll->setWidget(content);
    content->setAutoFillBackground(false); // setWidget() turns it on; the page shows its host's background
    return scroll;
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

ToneSymbol::ToneSymbol(const QString& name, PageStyle::Tone tone, int pixelSize, QWidget* parent)
    : QWidget(parent)
    , m_name(name)
    , m_tone(tone)
    , m_pixelSize(pixelSize)
{
    setFixedSize(pixelSize + 4, pixelSize + 4);
}

void ToneSymbol::setTone(PageStyle::Tone tone)
{
    if (tone == m_tone)
        return;
    m_tone = tone;
    update();
}

void ToneSymbol::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    SymbolIcon::paint(p, rect(), m_name, PageStyle::color(Palette::current(), m_tone), m_pixelSize);
}

ToneLabel::ToneLabel(const QString& text, const QFont& font, PageStyle::Tone tone, QWidget* parent)
    : PaletteLabel(text, font, PageStyle::tone(tone, 1.0), parent)
    , m_tone(tone)
{
}

void ToneLabel::setTone(PageStyle::Tone tone, double opacity)
{
    if (tone == m_tone && opacity == m_opacity)
        return;
    m_tone = tone;
    m_opacity = opacity;
    setColor(PageStyle::tone(tone, opacity));
}
