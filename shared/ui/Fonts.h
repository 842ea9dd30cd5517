#pragma once

#include <QFont>

// The kit's fonts. Sizes are pixel sizes, so a figure drawn at "10" is 10 logical pixels tall whatever
// the desktop's point-to-pixel setting.
namespace Fonts {

// The desktop's interface font.
QFont system(int pixelSize, QFont::Weight weight = QFont::Normal);
// The desktop's fixed-width font.
QFont monospaced(int pixelSize, QFont::Weight weight = QFont::Normal);
// Colour emoji.
QFont emoji(int pixelSize);

} // namespace Fonts
