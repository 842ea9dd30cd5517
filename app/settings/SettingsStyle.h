#pragma once

#include <QMargins>
#include <QString>

class QAbstractButton;
class QLabel;
class QSlider;
class QVBoxLayout;
class QWidget;
struct Palette;

// The labels and rules the settings pages share.
namespace SettingsStyle {

// A page title: 16 px bold, white (the theme's text colour on the light theme).
QLabel* title(const QString& text, const Palette& palette);
// A group header: 11 px bold.
QLabel* header(const QString& text, const Palette& palette);
// A secondary line: 10 px in the secondary colour.
QLabel* note(const QString& text, const Palette& palette, int pixelSize = 10);
QLabel* label(const QString& text, const Palette& palette, int pixelSize = 12, bool bold = false);
QWidget* divider(const Palette& palette);
// A label, its value in bold at the trailing edge (into `value`), and `slider` below, `margins` around.
QVBoxLayout* sliderBlock(
    const QString& text, QLabel*& value, QSlider* slider, const Palette& palette, const QMargins& margins = {});
// Gives a checkable button the accent fill while it is checked: the desktop style draws a checked
// button only a shade darker, which does not show on the dark themes.
void markWhenChecked(QAbstractButton* button, const Palette& palette);

} // namespace SettingsStyle

#include <functional>

namespace SettingsStyle {

// A removable chip: the text and an "xmark.circle.fill" button calling `remove`, on blue at
// `fillOpacity` with 4 px corners.
QWidget* chip(const QString& text, double fillOpacity, const Palette& palette, std::function<void()> remove);

} // namespace SettingsStyle
