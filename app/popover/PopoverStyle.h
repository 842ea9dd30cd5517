#pragma once

#include "records/AppTheme.h"
#include "ui/Labels.h"

#include <QColor>
#include <QFont>
#include <QPixmap>

class QLabel;
class QString;
class QWidget;
class ThemeManager;

// Colours and small building blocks the popover's parts share.
namespace PopoverStyle {

// The popover's own background: near-white for the light theme, near-black for every other.
QColor background(AppTheme theme);
// Its foreground: black for the light theme, white for every other.
QColor foreground(AppTheme theme);

QLabel* label(const QString& text, const QFont& font, QWidget* parent = nullptr);
using Labels::setLabelColor;
// A centred, wrapping label for setSpacedText, whose lines sit `lineSpacing` pixels further apart than
// the font's own.
QLabel* spacedLabel(const QFont& font, QWidget* parent = nullptr);
void setSpacedText(QLabel* label, const QString& text, double lineSpacing);

// The product logo from the program's resources, or a null pixmap when it has none.
QPixmap logo();

// A one-pixel line across the popover in the theme's divider colour.
QWidget* divider(ThemeManager& themes, QWidget* parent = nullptr);

} // namespace PopoverStyle
