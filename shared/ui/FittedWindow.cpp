#include "FittedWindow.h"

#include "WidgetPalette.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <QWidget>

namespace FittedWindow {

QSize fittedSize(const QSize& size, const QMargins& decoration, const QRect& available)
{
    const QSize extra(decoration.left() + decoration.right(), decoration.top() + decoration.bottom());
    return size.boundedTo(available.size() - extra).expandedTo(QSize(1, 1));
}

QMargins decoration(const QWidget* window)
{
    if (!window->isVisible()) {
        const int title = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
        const int border = window->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, window);
        return {border, title, border, border};
    }
    const QRect outer = window->frameGeometry();
    const QRect inner = window->geometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
        outer.bottom() - inner.bottom()};
}

QSize boundedByContent(const QSize& size, const QWidget* content)
{
    if (!content)
        return size;
    // What a layout (and the scroll area) lets the content take: its minimum size, else its minimum
    // size hint as its size policy allows, and its maximum.
    const QWidgetItem item(const_cast<QWidget*>(content));
    return size.expandedTo(item.minimumSize()).boundedTo(item.maximumSize());
}

QScrollArea* holdContent(QWidget* window, QWidget* content)
{
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    // The window's size is set from outside; its content must not widen it past the screen.
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    auto* scroll = new QScrollArea(window);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    // The window paints its background; where the content fits, the scroll area adds nothing to see.
    scroll->viewport()->setAutoFillBackground(false);
    for (QScrollBar* bar : {scroll->horizontalScrollBar(), scroll->verticalScrollBar()})
        WidgetPalette::follow(bar);
    if (content) {
        // setWidget() makes the content fill its background; one that leaves that to its window keeps it so.
        const bool fills = content->autoFillBackground();
        scroll->setWidget(content);
        content->setAutoFillBackground(fills);
    }
    layout->addWidget(scroll);
    return scroll;
}

void fix(QWidget* window, const QSize& size, const QRect& available)
{
    window->setFixedSize(available.isEmpty() ? size : fittedSize(size, decoration(window), available));
}

void fix(QWidget* window, const QSize& size)
{
    fix(window, size, availableArea(window));
}

QRect availableArea(const QWidget* window)
{
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

} // namespace FittedWindow
