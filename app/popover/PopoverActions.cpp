#include "PopoverActions.h"

#include "ui/SymbolIcon.h"
#include "ui/WidgetPalette.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QWidget>

namespace {

QIcon symbolIcon(const QString& name, const QColor& color)
{
    return QIcon(SymbolIcon::pixmap(name, 16, color, 2.0));
}

} // namespace

PopoverActions::PopoverActions(QWidget* owner, PopoverHooks hooks)
    : QObject(owner)
    , m_hooks(std::move(hooks))
    // "&&": a single "&" would mark the next letter as the menu's mnemonic and vanish from the text.
    , m_settings(new QAction(tr("Settings && Preferences..."), owner))
    , m_quit(new QAction(tr("Quit Quorvane"), owner))
{
    m_settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    m_quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    for (QAction* action : {m_settings, m_quit}) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        action->setShortcutVisibleInContextMenu(true);
        owner->addAction(action);
    }
    connect(m_settings, &QAction::triggered, this, [this] {
        if (m_hooks.openSettings)
            m_hooks.openSettings();
    });
    connect(m_quit, &QAction::triggered, this, [this] {
        if (m_hooks.requestQuit)
            m_hooks.requestQuit();
    });
}

QMenu* PopoverActions::makeMenu(QWidget* parent) const
{
    auto* menu = new QMenu(parent);
    // A menu is a window of its own, which takes the application's light palette, not the popover's.
    WidgetPalette::follow(menu);
    // The gear in the theme's text colour as the menu opens, after any change of theme.
    QAction* settings = m_settings;
    const auto tintGear = [settings, menu] {
        settings->setIcon(symbolIcon(QStringLiteral("gearshape"), menu->palette().color(QPalette::WindowText)));
    };
    tintGear();
    QObject::connect(menu, &QMenu::aboutToShow, menu, tintGear);
    m_quit->setIcon(symbolIcon(QStringLiteral("power"), QColor(Qt::red)));
    menu->addAction(m_settings);
    menu->addSeparator();
    menu->addAction(m_quit);
    return menu;
}

QString PopoverActions::quitToolTip() const
{
    return tr("Quit Quorvane (%1)").arg(m_quit->shortcut().toString(QKeySequence::NativeText));
}
