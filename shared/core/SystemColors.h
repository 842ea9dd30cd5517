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

namespace light {
inline constexpr QColor blue(0x00, 0x7A, 0xFF);
inline constexpr QColor purple(0xAF, 0x52, 0xDE);
inline constexpr QColor indigo(0x58, 0x56, 0xD6);
inline constexpr QColor orange(0xFF, 0x95, 0x00);
inline constexpr QColor cyan(0x32, 0xAD, 0xE6);
inline constexpr QColor green(0x34, 0xC7, 0x59);
inline constexpr QColor red(0xFF, 0x3B, 0x30);
inline constexpr QColor yellow(0xFF, 0xCC, 0x00);
inline constexpr QColor primaryLabel(0x00, 0x00, 0x00);
inline constexpr QColor secondaryLabel(0x00, 0x00, 0x00, 140);
} // namespace light

} // namespace SystemColors
