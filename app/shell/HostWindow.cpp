#include "HostWindow.h"

#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

HostWindow::HostWindow(const QString& title, QWidget* content, const QSize& contentSize, QWidget* parent)
    : QWidget(parent,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , m_content(content)
{
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // Titled, closable and miniaturisable only: the window keeps the one size the program gives it,
    // within what its content may take, so a window manager offers neither resizing nor maximising;
    // on a short screen the content's own scrolling takes up the rest.
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    if (content)
        layout->addWidget(content);
    setFixedSize(contentSize.expandedTo(layout->minimumSize()).boundedTo(layout->maximumSize()));

    auto* quit = new QAction(tr("Quit"), this);
    quit->setShortcut(QKeySequence::Quit);
    quit->setShortcutContext(Qt::WindowShortcut);
    connect(quit, &QAction::triggered, this, &HostWindow::quitRequested);
    addAction(quit);
}

void HostWindow::present()
{
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void HostWindow::reframe(const QRect& frame)
{
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    // Never smaller than the content is meant to be, where the screen has the room, so the window is
    // placed by the size it really takes.
    const QSize least = layout()->minimumSize();
    const QSize size = frame.size().expandedTo(sizeHint()).expandedTo(least).boundedTo(layout()->maximumSize());
    if (!screen) {
        setFixedSize(size);
        move(frame.topLeft());
        return;
    }
    // The title bar and borders are known once the window manager framed the window; until then a title
    // bar of the style's height is counted, so a window on a short screen does not open with its bottom
    // below the edge.
    const QRect outer = frameGeometry();
    const QRect inner = geometry();
    const QMargins decoration = isVisible()
        ? QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom())
        : QMargins(0, style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this), 0, 0);
    const QRect placed = fitted(frame.topLeft(), size, decoration, screen->availableGeometry());
    setFixedSize(placed.size().expandedTo(least));
    move(placed.topLeft());
}

QRect HostWindow::fitted(const QPoint& at, const QSize& size, const QMargins& decoration, const QRect& available)
{
    const QSize extra(decoration.left() + decoration.right(), decoration.top() + decoration.bottom());
    const QSize content = size.boundedTo(available.size() - extra).expandedTo(QSize(1, 1));
    const QSize outer = content + extra;
    const int x
        = std::clamp(at.x(), available.left(), std::max(available.left(), available.right() + 1 - outer.width()));
    const int y
        = std::clamp(at.y(), available.top(), std::max(available.top(), available.bottom() + 1 - outer.height()));
    return {QPoint(x, y), content};
}
