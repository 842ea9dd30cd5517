#pragma once

#include <QColor>

// The standard named colours the views draw with. The product draws dark by default, so the
// top-level names are the dark-appearance values; `light` holds the same colours for the light theme.
namespace SystemColors {

inline constexpr QColor blue(0x0A, 0x84, 0xFF);
inline constexpr QColor purple(0xBF, 0x5A, 0xF2);
inline constexpr QColor indigo(0x5E, 0x5C, 0xE6);
inline constexpr QColor orange(0xFF, 0x9F, 0x0A);
inline constexpr QColor cyan(0x64, 0xD2, 0xFF);
inline constexpr QColor green(0x30, 0xD1, 0x58);
inline constexpr QColor red(0xFF, 0x45, 0x3A);
inline constexpr QColor yellow(0xFF, 0xD6, 0x0A);
// Adaptive foreground for primary and secondary content.
inline constexpr QColor primaryLabel(0xFF, 0xFF, 0xFF);
inline constexpr QColor secondaryLabel(0xFF, 0xFF, 0xFF, 140);

// The status colours are the platform's increased-contrast variants: the standard ones are too pale for
// text on the light theme's near-white (green and orange fall below 2:1).
namespace light {
inline constexpr QColor blue(0x00, 0x7A, 0xFF);
inline constexpr QColor purple(0x89, 0x44, 0xAB);
inline constexpr QColor indigo(0x58, 0x56, 0xD6);
inline constexpr QColor orange(0xC9, 0x34, 0x00);
inline constexpr QColor cyan(0x00, 0x71, 0xA4);
inline constexpr QColor green(0x24, 0x8A, 0x3D);
inline constexpr QColor red(0xD7, 0x00, 0x15);
inline constexpr QColor yellow(0xB2, 0x50, 0x00);
inline constexpr QColor primaryLabel(0x00, 0x00, 0x00);
inline constexpr QColor secondaryLabel(0x00, 0x00, 0x00, 140);
} // namespace light

} // namespace SystemColors
