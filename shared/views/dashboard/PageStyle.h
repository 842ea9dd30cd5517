#pragma once

#include "ui/PaletteLabel.h"
#include "ui/RoundedFill.h"
#include "ui/ThemeColor.h"

#include <QFont>
#include <QLabel>
#include <QWidget>

class QScrollArea;
class QVBoxLayout;

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
// A tone at an opacity, looked up in the current theme when painted.
ThemeColor tone(Tone tone, double opacity);
// The cards and panels of the pages: the primary text colour at `fillOpacity`, drawn half a pixel
// inside the widget.
RoundedFill* panel(double fillOpacity, double cornerRadius, QWidget* parent = nullptr);
// A section of a tab: a panel at 4 % with 16 px padding around `column`.
RoundedFill* sectionPanel(QWidget* parent, QVBoxLayout*& column, double cornerRadius, int spacing);
// Fills `host` with a frameless scroll area holding `content` on the host's own background.
QScrollArea* scrollingPage(QWidget* host, QWidget* content);

// A figure printed with a printf-style pattern, or the dash when it was not measured or is not finite.
QString figure(bool measured, const char* pattern, double value);
// The figure truncated toward zero and followed by `suffix`, or the dash alone.
QString wholeFigure(bool measured, double value, const QString& suffix);

} // namespace PageStyle

// A named symbol drawn in a page tone at a given glyph size.
class ToneSymbol : public QWidget
{
    Q_OBJECT
public:
    ToneSymbol(const QString& name, PageStyle::Tone tone, int pixelSize, QWidget* parent = nullptr);

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
class ToneLabel : public PaletteLabel
{
    Q_OBJECT
public:
    ToneLabel(const QString& text, const QFont& font, PageStyle::Tone tone, QWidget* parent = nullptr);

    void setTone(PageStyle::Tone tone, double opacity = 1.0);
    PageStyle::Tone tone() const { return m_tone; }

private:
    PageStyle::Tone m_tone;
    double m_opacity = 1.0;
};
