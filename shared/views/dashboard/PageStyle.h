#pragma once

#include "ui/Palette.h"

#include <QFont>
#include <QLabel>
#include <QWidget>

// The text styles and colours the dashboard pages share.
namespace PageStyle {

QFont title2();
QFont title3();
QFont headline();
QFont subheadline();
QFont body();
QFont caption();

// The colours a page names: primary text (white on dark themes), the secondary label colour, the
// theme's accent and the named colours in the theme's lightness.
enum class Tone { primary, secondary, accent, blue, green, orange, red, cyan, purple, yellow };
QColor color(const Palette& palette, Tone tone);

// A figure printed with a printf-style pattern, or the dash when it was not measured or is not finite.
QString figure(bool measured, const char* pattern, double value);
// The figure truncated toward zero and followed by `suffix`, or the dash alone.
QString wholeFigure(bool measured, double value, const QString& suffix);

} // namespace PageStyle

// A named symbol drawn in a page tone at a given glyph size.
class SymbolView : public QWidget
{
    Q_OBJECT
public:
    SymbolView(const QString& name, PageStyle::Tone tone, int pixelSize, QWidget* parent = nullptr);

    void setTone(PageStyle::Tone tone);
    PageStyle::Tone tone() const { return m_tone; }
    QString name() const { return m_name; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_name;
    PageStyle::Tone m_tone;
    int m_pixelSize;
};

// A label in one of the page tones, recoloured when the theme changes.
class ToneLabel : public QLabel
{
    Q_OBJECT
public:
    ToneLabel(const QString& text, const QFont& font, PageStyle::Tone tone, QWidget* parent = nullptr);

    void setTone(PageStyle::Tone tone, double opacity = 1.0);
    PageStyle::Tone tone() const { return m_tone; }
    QColor currentColor() const;

private:
    void applyColor();

    PageStyle::Tone m_tone;
    double m_opacity = 1.0;
};

// A rounded background in the primary text colour at a low opacity, the cards and panels of the pages.
// An optional outline is drawn in the same colour at its own opacity.
class RoundedPanel : public QWidget
{
    Q_OBJECT
public:
    RoundedPanel(double fillOpacity, double cornerRadius, QWidget* parent = nullptr);

    void setFill(PageStyle::Tone tone, double opacity);
    void setOutline(double opacity);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PageStyle::Tone m_tone = PageStyle::Tone::primary;
    double m_fillOpacity;
    double m_radius;
    double m_outlineOpacity = 0;
};
