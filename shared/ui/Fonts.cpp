#include "Fonts.h"

#include <QFontDatabase>
#include <QGuiApplication>

#include <algorithm>

namespace Fonts {

namespace {

QFont sized(QFont font, int pixelSize, QFont::Weight weight)
{
    font.setPixelSize(std::max(1, pixelSize));
    font.setWeight(weight);
    return font;
}

} // namespace

QFont system(int pixelSize, QFont::Weight weight)
{
    return sized(QFontDatabase::systemFont(QFontDatabase::GeneralFont), pixelSize, weight);
}

QFont monospaced(int pixelSize, QFont::Weight weight)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    return sized(font, pixelSize, weight);
}

QFont emoji(int pixelSize)
{
    QFont font(QStringLiteral("Noto Color Emoji"));
    font.setPixelSize(std::max(1, pixelSize));
    return font;
}

} // namespace Fonts
