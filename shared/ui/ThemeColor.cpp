#include "ThemeColor.h"

#include "records/ThemeManager.h"

#include <QWidget>

ThemeColor fixedColor(const QColor& color)
{
    return [color](const Palette&) { return color; };
}

void repaintOnThemeChange(QWidget* widget)
{
    followTheme(ThemeManager::shared(), widget, [widget](const Palette&) { widget->update(); });
}
