#pragma once

#include "ui/CopyButton.h"
#include "ui/Palette.h"
#include "ui/PaletteLabel.h"
#include "ui/PillButton.h"
#include "ui/RoundedFill.h"
#include "ui/ThemeColor.h"

#include <QLabel>
#include <QWidget>

#include <functional>

class QBoxLayout;
struct PrivacyServices;

// The colours the privacy and onboarding pages name. `text` is the theme's primary text colour (white
// on the dark themes), `shade` the colour that faint fills are made of (white on dark, black on Light).
enum class ColorRole { text, secondary, shade, black, red, orange, green, cyan, blue, purple, grey };

QColor resolveColor(ColorRole role, const Palette& palette, double opacity = 1.0);
// A named colour at an opacity, looked up in the current theme when painted.
ThemeColor roleColor(ColorRole role, double opacity = 1.0);

// A label in one of the named colours that follows the theme.
class ThemedLabel : public PaletteLabel
{
    Q_OBJECT
public:
    ThemedLabel(const QString& text, const QFont& font, ColorRole role, QWidget* parent = nullptr);
    void setRole(ColorRole role, double opacity = 1.0);
    ColorRole role() const { return m_role; }

private:
    ColorRole m_role;
};

// A rounded panel filled with a named colour at an opacity, optionally outlined; it holds a box layout
// whose margins are the panel's padding.
class RoundedBox : public RoundedFill
{
    Q_OBJECT
public:
    RoundedBox(Qt::Orientation orientation, int padding, int spacing, double radius, QWidget* parent = nullptr);
    void setFill(ColorRole role, double opacity) { RoundedFill::setFill(roleColor(role, opacity)); }
    // No outline at opacity 0.
    void setStroke(ColorRole role, double opacity);
    QBoxLayout* box() const { return m_box; }

private:
    QBoxLayout* m_box;
};

// The privacy card: padded 16, white at 3 % in a radius 12 shape outlined in white at 6 %.
class PrivacyCard : public RoundedBox
{
    Q_OBJECT
public:
    explicit PrivacyCard(int spacing = 16, QWidget* parent = nullptr);
};

// Lays `page` out as one privacy card that fills it; returns the card's column.
QBoxLayout* fillWithCard(QWidget* page, int spacing = 16);
// The title line of a privacy card.
ThemedLabel* cardTitle(const QString& text);

// The pages' flat button: an optional symbol and a text centred on a rounded fill, the primary text
// colour on blue until the caller sets other colours.
PillButton* privacyButton(const QString& text, const QString& symbol, const QFont& font, QWidget* parent = nullptr);
// A button drawn as a link: its text (and optional symbol) in `role`, with no fill and no padding.
PillButton* linkButton(
    const QString& text, const QFont& font, ColorRole role = ColorRole::blue, const QString& symbol = QString());
// The "Copy" button inside a command box: white on blue, "Copied" once the clipboard holds `command`.
CopyButton* commandCopyButton(std::function<QString()> command, const PrivacyServices& services);

// A symbol in a named colour, `size` pixels tall, in a box of `boxWidth` (the symbol's size when 0).
class SymbolLabel : public QWidget
{
    Q_OBJECT
public:
    SymbolLabel(const QString& symbol, ColorRole role, int size, int boxWidth = 0, QWidget* parent = nullptr);
    void setSymbol(const QString& symbol, ColorRole role);
    QString symbol() const { return m_symbol; }
    ColorRole role() const { return m_role; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    ColorRole m_role;
    int m_size;
    int m_boxWidth;
};

// A one-pixel line in a faint colour.
QWidget* makeDivider(double opacity, QWidget* parent = nullptr);

// Text quoted for a POSIX shell: inside single quotes, each single quote written as '\''.
QString shellQuoted(const QString& text);
