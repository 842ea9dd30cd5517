#pragma once

#include "records/AppTheme.h"

#include <QColor>
#include <QMetaObject>

#include <functional>

class QObject;
class ThemeManager;

// Every colour a view draws with, resolved for one theme: the theme's own colours, the named colours in
// the theme's lightness, and the fixed status palette shared by the bars, indicators and cards.
struct Palette
{
    AppTheme theme = AppTheme::standard;
    bool light = false;

    QColor background; // the popover's and windows' content background
    QColor sidebar;
    QColor text; // primary foreground
    QColor secondaryText;
    QColor accent;
    QColor secondaryAccent;
    QColor card;
    QColor divider;

    QColor red;
    QColor orange;
    QColor yellow;
    QColor green;
    QColor cyan;
    QColor blue;
    QColor indigo;
    QColor purple;

    // Text fixed to white on a filled control; it reads in the primary text colour on the light theme.
    QColor onTint() const { return light ? text : QColor(Qt::white); }
    // Text on a fill of `tint`: as onTint(), but the dark background colour on a fill light enough to
    // swallow white (Ink's white accent, Cyberpunk's cyan, Nordic's pale blue).
    QColor onTint(const QColor& tint) const;

    static Palette forTheme(AppTheme theme);
    // The palette of ThemeManager::shared()'s current theme.
    static Palette current();

    // The fixed status colours (sRGB), the same in every theme.
    static QColor statusBlue() { return QColor::fromRgbF(0.18f, 0.49f, 0.96f); }
    static QColor statusGreen() { return QColor::fromRgbF(0.16f, 0.8f, 0.54f); }
    static QColor statusAmber() { return QColor::fromRgbF(0.95f, 0.6f, 0.1f); }
    static QColor statusOrange() { return QColor::fromRgbF(0.95f, 0.4f, 0.1f); }
    static QColor statusRed() { return QColor::fromRgbF(0.92f, 0.26f, 0.35f); }
};

// A colour at a given opacity (multiplied with the colour's own, at most opaque).
QColor withOpacity(QColor color, double opacity);
// The fill of a pressed control: a translucent fill grows more opaque, an opaque one darker.
QColor pressedFill(QColor fill);

// Calls `changed` with the new palette whenever the manager's theme changes, for as long as `receiver`
// lives. The connection, so callers may disconnect it.
QMetaObject::Connection followTheme(
    ThemeManager& manager, QObject* receiver, std::function<void(const Palette&)> changed);
// As followTheme, and calls `changed` once now with the manager's current palette.
QMetaObject::Connection followThemeNow(
    ThemeManager& manager, QObject* receiver, std::function<void(const Palette&)> changed);
