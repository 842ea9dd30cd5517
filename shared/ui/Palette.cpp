#include "Palette.h"

#include "Contrast.h"
#include "core/SystemColors.h"
#include "records/ThemeManager.h"

#include <algorithm>

Palette Palette::forTheme(AppTheme theme)
{
    Palette p;
    p.theme = theme;
    p.light = isLight(theme);
    p.background = contentBackground(theme);
    p.sidebar = sidebarBackground(theme);
    p.text = textColor(theme);
    p.secondaryText = secondaryTextColor(theme);
    p.accent = accentColor(theme);
    p.secondaryAccent = ::secondaryAccent(theme);
    p.card = cardBackground(theme);
    p.divider = dividerColor(theme);
    if (p.light) {
        namespace c = SystemColors::light;
        p.red = c::red, p.orange = c::orange, p.yellow = c::yellow, p.green = c::green;
        p.cyan = c::cyan, p.blue = c::blue, p.indigo = c::indigo, p.purple = c::purple;
    } else {
        namespace c = SystemColors;
        p.red = c::red, p.orange = c::orange, p.yellow = c::yellow, p.green = c::green;
        p.cyan = c::cyan, p.blue = c::blue, p.indigo = c::indigo, p.purple = c::purple;
    }
    return p;
}

QColor Palette::onTint(const QColor& tint) const
{
    return light ? text : Contrast::readableOn(tint, Qt::white, background);
}

Palette Palette::current()
{
    return forTheme(ThemeManager::shared().currentTheme());
}

QColor withOpacity(QColor color, double opacity)
{
    color.setAlphaF(static_cast<float>(std::clamp(color.alphaF() * opacity, 0.0, 1.0)));
    return color;
}

QColor pressedFill(QColor fill)
{
    if (fill.alphaF() >= 1.0f)
        return fill.darker(130);
    fill.setAlphaF(std::min(1.0f, std::max(fill.alphaF() * 1.6f, fill.alphaF() + 0.12f)));
    return fill;
}

QMetaObject::Connection followTheme(
    ThemeManager& manager, QObject* receiver, std::function<void(const Palette&)> changed)
{
    return QObject::connect(&manager, &ThemeManager::currentThemeChanged, receiver,
        [changed = std::move(changed)](AppTheme theme) { changed(Palette::forTheme(theme)); });
}

QMetaObject::Connection followThemeNow(
    ThemeManager& manager, QObject* receiver, std::function<void(const Palette&)> changed)
{
    changed(Palette::forTheme(manager.currentTheme()));
    return followTheme(manager, receiver, std::move(changed));
}
