#include "PaletteLabel.h"

#include "records/ThemeManager.h"

PaletteLabel::PaletteLabel(const QString& text, const QFont& font, ThemeColor color, QWidget* parent)
    : QLabel(text, parent)
    , m_color(std::move(color))
{
    setFont(font);
    setTextFormat(Qt::PlainText);
    applyColor();
    followTheme(ThemeManager::shared(), this, [this](const Palette&) { applyColor(); });
}

void PaletteLabel::setColor(ThemeColor color)
{
    m_color = std::move(color);
    applyColor();
}

QColor PaletteLabel::currentColor() const
{
    return m_color(Palette::current());
}

void PaletteLabel::applyColor()
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, currentColor());
    setPalette(p);
}
