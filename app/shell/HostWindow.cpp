#include "HostWindow.h"

#include "ui/FittedWindow.h"

#include <QAction>

#include <algorithm>

HostWindow::HostWindow(const QString& title, QWidget* content, const QSize& contentSize, QWidget* parent)
    : QWidget(parent,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , m_content(content)
{
    setWindowTitle(title);
    // Titled, closable and miniaturisable only: the window keeps the one size the program gives it,
    // within what its content may take, so a window manager offers neither resizing nor maximising;
    // on a short screen the content's own scrolling takes up the rest, and on a screen smaller than the
    // content may be, the window's.
    FittedWindow::holdContent(this, content);
    setFixedSize(FittedWindow::boundedByContent(contentSize, content));

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
    reframe(frame, FittedWindow::availableArea(this));
}

void HostWindow::reframe(const QRect& frame, const QRect& available)
{
    // Never smaller than the content is meant to be, where the screen has the room, so the window is
    // placed by the size it really takes.
    const QSize hint = m_content ? m_content->sizeHint() : QSize();
    const QSize size = FittedWindow::boundedByContent(frame.size().expandedTo(hint), m_content);
    if (available.isEmpty()) {
        setFixedSize(size);
        move(frame.topLeft());
        return;
    }
    // The title bar and borders are known once the window manager framed the window; until then the
    // style's are counted, so a window on a short screen does not open with its bottom below the edge.
    const QRect placed = fitted(frame.topLeft(), size, FittedWindow::decoration(this), available);
    setFixedSize(placed.size());
    move(placed.topLeft());
}

QRect HostWindow::fitted(const QPoint& at, const QSize& size, const QMargins& decoration, const QRect& available)
{
    const QSize extra(decoration.left() + decoration.right(), decoration.top() + decoration.bottom());
    const QSize content = FittedWindow::fittedSize(size, decoration, available);
    const QSize outer = content + extra;
    const int x
        = std::clamp(at.x(), available.left(), std::max(available.left(), available.right() + 1 - outer.width()));
    const int y
        = std::clamp(at.y(), available.top(), std::max(available.top(), available.bottom() + 1 - outer.height()));
    return {QPoint(x, y), content};
}
