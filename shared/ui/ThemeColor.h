#pragma once

#include "ui/Palette.h"

#include <functional>

class QWidget;

// A colour taken from the palette of whatever theme is current when it is asked for, so that widgets
// painting with it follow theme changes without being rebuilt.
using ThemeColor = std::function<QColor(const Palette&)>;

// The same colour in every theme.
ThemeColor fixedColor(const QColor& color);

// Repaints `widget` whenever the shared theme manager's theme changes.
void repaintOnThemeChange(QWidget* widget);
