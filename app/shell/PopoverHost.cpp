#include "PopoverHost.h"

#include <QAction>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

PopoverHost::PopoverHost(QWidget* content, Mode mode, QWidget* parent)
    : QWidget(
        parent, mode == Mode::popup ? Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint : Qt::Window)
    , m_mode(mode)
    , m_content(content)
{
    setWindowTitle(QStringLiteral("Quorvane Pro"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // As large as the content may be and no larger; a short screen makes the content scroll.
    layout->setSizeConstraint(QLayout::SetMinAndMaxSize);
    if (content)
        layout->addWidget(content);
    resize(kSize);

    auto* quit = new QAction(tr("Quit"), this);
    quit->setShortcut(QKeySequence::Quit);
    quit->setShortcutContext(Qt::WindowShortcut);
    connect(quit, &QAction::triggered, this, &PopoverHost::quitRequested);
    addAction(quit);
}

PopoverHost::Mode PopoverHost::defaultMode()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland")) ? Mode::window : Mode::popup;
}

QPoint PopoverHost::placement(const QRect& anchor, const QSize& size, const QRect& available)
{
    const QPoint centre = anchor.center();
    int x = centre.x() - size.width() / 2;
    int y = centre.y() < available.center().y() ? anchor.bottom() + 1 : anchor.top() - size.height();
    x = std::clamp(x, available.left(), std::max(available.left(), available.right() + 1 - size.width()));
    y = std::clamp(y, available.top(), std::max(available.top(), available.bottom() + 1 - size.height()));
    return {x, y};
}

void PopoverHost::toggle(const QRect& anchor)
{
    if (isVisible()) {
        hide();
        return;
    }
    if (m_sinceHidden.isValid() && m_sinceHidden.elapsed() < kReopenGuardMs)
        return;
    showAt(anchor);
}

void PopoverHost::showAt(const QRect& anchor)
{
    const QRect at = anchor.isEmpty() ? QRect(QCursor::pos(), QSize(1, 1)) : anchor;
    QScreen* screen = QGuiApplication::screenAt(at.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), kSize);
    resize(fittedSize(available));
    if (m_mode == Mode::popup)
        move(placement(at, size(), available));
    show();
    raise();
    activateWindow();
}

bool PopoverHost::event(QEvent* event)
{
    // A popup closes itself on a click outside; the window form closes when it loses focus.
    if (event->type() == QEvent::WindowDeactivate && m_mode == Mode::window && isVisible())
        hide();
    return QWidget::event(event);
}

void PopoverHost::hideEvent(QHideEvent* event)
{
    m_sinceHidden.start();
    QWidget::hideEvent(event);
}
