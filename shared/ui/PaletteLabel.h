#pragma once

#include "ui/ThemeColor.h"

#include <QLabel>

// A plain-text label in a colour of the current theme, recoloured when the theme changes.
class PaletteLabel : public QLabel
{
    Q_OBJECT
public:
    PaletteLabel(const QString& text, const QFont& font, ThemeColor color, QWidget* parent = nullptr);

    void setColor(ThemeColor color);
    QColor currentColor() const;

private:
    void applyColor();

    ThemeColor m_color;
};
