#include "Palette.h"

#include "core/SystemColors.h"
#include "records/ThemeManager.h"

#include <cmath>

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
    if (!isLightFill(tint))
        return onTint();
    return light ? text : background;
}

bool Palette::isLightFill(const QColor& fill)
{
    const auto linear = [](float c) { return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f); };
    const QColor rgb = fill.toRgb();
    const float luminance
        = 0.2126f * linear(rgb.redF()) + 0.7152f * linear(rgb.greenF()) + 0.0722f * linear(rgb.blueF());
    return luminance > 0.3f;
}

Palette Palette::current()
{
    return forTheme(ThemeManager::shared().currentTheme());
}

QColor withOpacity(QColor color, double opacity)
{
    color.setAlphaF(static_cast<float>(color.alphaF() * opacity));
    return color;
}

QMetaObject::Connection followTheme(
    ThemeManager& manager, QObject* receiver, std::function<void(const Palette&)> changed)
{
    return QObject::connect(&manager, &ThemeManager::currentThemeChanged, receiver,
        [changed = std::move(changed)](AppTheme theme) { changed(Palette::forTheme(theme)); });
}
