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
    // The window is as large as its content may be and no larger, so no enlarging or maximising leaves
    // an unpainted area beside it; on a short screen the content's own scrolling takes up the rest.
    layout->setSizeConstraint(QLayout::SetMinAndMaxSize);
    if (content)
        layout->addWidget(content);
    resize(contentSize);

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
    const QSize size = frame.size().expandedTo(sizeHint()).expandedTo(minimumSize());
    if (!screen) {
        setGeometry(QRect(frame.topLeft(), size));
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
    resize(placed.size());
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
