#include "AppTheme.h"

#include "core/SystemColors.h"

namespace {

QColor white(double alpha)
{
    return QColor::fromRgbF(1.0f, 1.0f, 1.0f, static_cast<float>(alpha));
}

QColor black(double alpha)
{
    return QColor::fromRgbF(0.0f, 0.0f, 0.0f, static_cast<float>(alpha));
}

QColor srgb(double red, double green, double blue)
{
    return QColor::fromRgbF(static_cast<float>(red), static_cast<float>(green), static_cast<float>(blue));
}

} // namespace

QColor accentColor(AppTheme theme)
{
    switch (theme) {
    case AppTheme::cyberpunk:
        return srgb(0.0, 0.95, 1.0);
    case AppTheme::nordic:
        return srgb(0.53, 0.75, 0.82);
    case AppTheme::ink:
        return SystemColors::primaryLabel;
    case AppTheme::light:
        return SystemColors::light::blue;
    case AppTheme::standard:
        break;
    }
    return SystemColors::blue;
}

QColor secondaryAccent(AppTheme theme)
{
    switch (theme) {
    case AppTheme::cyberpunk:
        return srgb(0.74, 0.0, 1.0);
    case AppTheme::nordic:
        return srgb(0.56, 0.64, 0.51);
    case AppTheme::ink:
        return SystemColors::secondaryLabel;
    case AppTheme::light:
        return SystemColors::light::indigo;
    case AppTheme::standard:
        break;
    }
    return SystemColors::purple;
}

bool isLight(AppTheme theme)
{
    return theme == AppTheme::light;
}

BackgroundMaterial backgroundMaterial(AppTheme theme)
{
    switch (theme) {
    case AppTheme::cyberpunk:
        return BackgroundMaterial::underWindowBackground;
    case AppTheme::nordic:
        return BackgroundMaterial::hudWindow;
    case AppTheme::ink:
        return BackgroundMaterial::contentBackground;
    case AppTheme::light:
        return BackgroundMaterial::titlebar;
    case AppTheme::standard:
        break;
    }
    return BackgroundMaterial::popover;
}

QColor sidebarBackground(AppTheme theme)
{
    return isLight(theme) ? srgb(0.94, 0.94, 0.96) : srgb(0.04, 0.04, 0.06);
}

QColor contentBackground(AppTheme theme)
{
    return isLight(theme) ? srgb(0.98, 0.98, 1.0) : srgb(0.06, 0.07, 0.1);
}

QColor textColor(AppTheme theme)
{
    return isLight(theme) ? black(1.0) : white(1.0);
}

// The secondary foreground resolves against the theme's own lightness, not the desktop's.
QColor secondaryTextColor(AppTheme theme)
{
    return isLight(theme) ? SystemColors::light::secondaryLabel : SystemColors::secondaryLabel;
}

QColor cardBackground(AppTheme theme)
{
    return isLight(theme) ? black(0.04) : white(0.05);
}

QColor dividerColor(AppTheme theme)
{
    return isLight(theme) ? black(0.08) : white(0.15);
}
