#include "WidgetPalette.h"

#include "records/ThemeManager.h"

#include <QToolTip>
#include <QWidget>

namespace WidgetPalette {

QPalette of(const Palette& palette, QPalette pal)
{
    pal.setColor(QPalette::Window, palette.background);
    pal.setColor(QPalette::WindowText, palette.text);
    pal.setColor(QPalette::Text, palette.text);
    pal.setColor(QPalette::ButtonText, palette.text);
    pal.setColor(QPalette::Base, palette.light ? QColor(Qt::white) : withOpacity(Qt::white, 0.06));
    pal.setColor(QPalette::AlternateBase, palette.card);
    pal.setColor(QPalette::Button, palette.light ? QColor(0xe8, 0xe8, 0xed) : QColor(0x2a, 0x2c, 0x33));
    pal.setColor(QPalette::Highlight, palette.accent);
    pal.setColor(QPalette::HighlightedText, Qt::white);
    pal.setColor(QPalette::PlaceholderText, palette.secondaryText);
    pal.setColor(QPalette::Mid, palette.divider);
    pal.setColor(QPalette::ToolTipBase, palette.background);
    pal.setColor(QPalette::ToolTipText, palette.text);
    // setColor() above fills every colour group alike; a disabled control must look disabled.
    const QColor dimmed = withOpacity(palette.text, 0.35);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        pal.setColor(QPalette::Disabled, role, dimmed);
    pal.setColor(QPalette::Disabled, QPalette::PlaceholderText, withOpacity(palette.secondaryText, 0.5));
    pal.setColor(
        QPalette::Disabled, QPalette::Button, withOpacity(pal.color(QPalette::Active, QPalette::Button), 0.45));
    pal.setColor(QPalette::Disabled, QPalette::Base, withOpacity(pal.color(QPalette::Active, QPalette::Base), 0.5));
    return pal;
}

void follow(QWidget* window)
{
    followThemeNow(ThemeManager::shared(), window,
        [window](const Palette& palette) { window->setPalette(of(palette, window->palette())); });
}

void followInToolTips(QObject* receiver)
{
    followThemeNow(ThemeManager::shared(), receiver,
        [](const Palette& palette) { QToolTip::setPalette(of(palette, QToolTip::palette())); });
}

} // namespace WidgetPalette
