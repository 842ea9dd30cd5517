#include "HostWindow.h"

#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

HostWindow::HostWindow(const QString& title, QWidget* content, const QSize& contentSize, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_content(content)
{
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
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
    if (!screen) {
        setGeometry(frame);
        return;
    }
    const QRect available = screen->availableGeometry();
    // Never smaller than the content can be, so the window is placed by the size it really takes.
    const QSize size = frame.size().expandedTo(minimumSizeHint()).expandedTo(minimumSize()).boundedTo(available.size());
    const int x = std::clamp(frame.x(), available.left(), available.right() + 1 - size.width());
    const int y = std::clamp(frame.y(), available.top(), available.bottom() + 1 - size.height());
    resize(size);
    move(x, y);
}
