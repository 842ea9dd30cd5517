#pragma once

#include "core/RawEnum.h"

#include <QColor>

// The colour themes. Four are dark and share their backgrounds, text, card and divider colours;
// `light` is the only light theme.
enum class AppTheme { standard, cyberpunk, nordic, ink, light };

template<> struct RawEnumTable<AppTheme>
{
    static constexpr std::array cases {
        std::pair {AppTheme::standard, std::string_view("Standard")},
        std::pair {AppTheme::cyberpunk, std::string_view("Cyberpunk")},
        std::pair {AppTheme::nordic, std::string_view("Nordic")},
        std::pair {AppTheme::ink, std::string_view("Ink")},
        std::pair {AppTheme::light, std::string_view("Light")},
    };
};

// The translucent backdrop a window draws behind its content; the numbers are the stored raw values.
enum class BackgroundMaterial : int {
    titlebar = 3,
    popover = 6,
    hudWindow = 13,
    contentBackground = 18,
    underWindowBackground = 21,
};

QColor accentColor(AppTheme theme);
QColor secondaryAccent(AppTheme theme);
bool isLight(AppTheme theme);
BackgroundMaterial backgroundMaterial(AppTheme theme);
QColor sidebarBackground(AppTheme theme);
QColor contentBackground(AppTheme theme);
QColor textColor(AppTheme theme);
QColor secondaryTextColor(AppTheme theme);
QColor cardBackground(AppTheme theme);
QColor dividerColor(AppTheme theme);
