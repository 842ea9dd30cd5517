#pragma once

#include "Palette.h"

#include <QPalette>

class QObject;
class QWidget;

// The theme as a QPalette, for Qt's own controls (push buttons, fields, lists) and for the windows the
// program opens over its views (questions, file dialogs): a window takes the application's palette,
// not its parent's, and would otherwise be drawn in the light system style over a dark theme.
namespace WidgetPalette {

// `base` with every role a control reads set from `palette`.
QPalette of(const Palette& palette, QPalette base = QPalette());
// Gives `window` the current theme's palette now and again whenever the theme changes while it is open.
void follow(QWidget* window);
// Qt draws every tool tip of the program with one palette of its own, the light system one unless told:
// tool tips follow the theme, now and at each change, for as long as `receiver` lives.
void followInToolTips(QObject* receiver);

} // namespace WidgetPalette
