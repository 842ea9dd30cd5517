#include "TrayIcon.h"

#include "views/dashboard/MenuBarDrawing.h"
#include "views/dashboard/MenuBarView.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

TrayIcon::TrayIcon(DashboardViewModel& dashboardVM, QObject* parent)
    : QObject(parent)
    , m_label(std::make_unique<MenuBarView>(dashboardVM, false))
    , m_menu(std::make_unique<QMenu>())
    , m_tray(new QSystemTrayIcon(this))
{
    QAction* quit = m_menu->addAction(tr("Quit Quorvane Pro"));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, &TrayIcon::quitRequested);
    m_tray->setContextMenu(m_menu.get());
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            emit clicked();
    });
    // One tick changes several of the label's inputs; the icon is painted once for all of them.
    connect(m_label.get(), &MenuBarView::drawingChanged, this, [this] {
        if (m_repaintPending)
            return;
        m_repaintPending = true;
        QTimer::singleShot(0, this, &TrayIcon::repaint);
    });
    repaint();
}

TrayIcon::~TrayIcon()
{
    m_tray->setContextMenu(nullptr);
}

bool TrayIcon::isAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::show()
{
    m_tray->show();
}

QRect TrayIcon::geometry() const
{
    return m_tray->geometry();
}

void TrayIcon::showMessage(const QString& title, const QString& message)
{
    m_tray->showMessage(title, message, QSystemTrayIcon::Warning);
}

MenuBarFigures TrayIcon::trayFigures(const MenuBarFigures& label)
{
    // Trays give an icon a square slot: a strip as wide as the label's would shrink to a speck. The
    // readouts and the sparkline go to the tool tip; the ring stays, also when it is the only piece.
    MenuBarFigures f = label;
    f.showTextReadouts = false;
    f.showSparkline = false;
    if (MenuBarDrawing::layout(f).items.isEmpty())
        f.showCPURing = true;
    return f;
}

void TrayIcon::repaint()
{
    m_repaintPending = false;
    m_tray->setIcon(MenuBarDrawing::trayIcon(trayFigures(m_label->figures()), m_label->palette()));
    m_tray->setToolTip(m_label->trayToolTip());
}
