#include "TrayIcon.h"

#include "platform/desktop/StatusNotifierItem.h"
#include "ui/WidgetPalette.h"
#include "views/dashboard/MenuBarDrawing.h"
#include "views/dashboard/MenuBarFigures.h"
#include "views/dashboard/MenuBarView.h"

#include <QGuiApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QtEndian>
#include <qpa/qplatformnativeinterface.h>

#include <cstdio>

namespace {

platform::TrayPixmap itemPixmap(const QPixmap& pixmap)
{
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    platform::TrayPixmap out {image.width(), image.height(), {}};
    out.argb.resize(qsizetype(image.width()) * image.height() * 4);
    auto* bytes = reinterpret_cast<quint32*>(out.argb.data());
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const quint32*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            *bytes++ = qToBigEndian(row[x]);
    }
    return out;
}

// A menu text as shown: "&&" is an ampersand, a lone "&" only marks the mnemonic.
QString shownText(const QString& text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        out += text[i];
    }
    return out;
}

} // namespace

TrayIcon::TrayIcon(DashboardViewModel& dashboardVM, const QDBusConnection& bus, QObject* parent)
    : QObject(parent)
    , m_label(std::make_unique<MenuBarView>(dashboardVM, false))
    , m_menu(std::make_unique<QMenu>())
{
    buildMenu();
    if (platform::StatusNotifierItem::isWatcherRegistered(bus))
        useStatusNotifier(bus);
    else
        useSystemTray();
    repaint();
}

TrayIcon::~TrayIcon()
{
    if (m_tray)
        m_tray->setContextMenu(nullptr);
}

void TrayIcon::buildMenu()
{
    // The menu is a window of its own and the icon's tool tip is Qt's, drawn with the palette every tool
    // tip of the program shares: both take the light system style unless they follow the theme.
    WidgetPalette::follow(m_menu.get());
    WidgetPalette::followInToolTips(this);
    // As other tray programs do: open the windows from the menu too, and quit last.
    QAction* dashboard = m_menu->addAction(tr("Open Dashboard"));
    connect(dashboard, &QAction::triggered, this, &TrayIcon::dashboardRequested);
    QAction* settings = m_menu->addAction(tr("Settings…"));
    connect(settings, &QAction::triggered, this, &TrayIcon::settingsRequested);
    m_menu->addSeparator();
    QAction* quit = m_menu->addAction(tr("Quit Quorvane Pro"));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, &TrayIcon::quitRequested);

    // One tick changes several of the label's inputs; the icon is painted once for all of them.
    connect(m_label.get(), &MenuBarView::drawingChanged, this, &TrayIcon::scheduleRepaint);
}

void TrayIcon::useSystemTray()
{
    m_present = QSystemTrayIcon::isSystemTrayAvailable();
    m_tray = new QSystemTrayIcon(this);
    m_tray->setContextMenu(m_menu.get());
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            emit clicked();
    });
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        connect(QGuiApplication::platformNativeInterface(), SIGNAL(systemTrayWindowChanged(QScreen*)), this,
            SLOT(checkSystemTray()));
    }
}

void TrayIcon::checkSystemTray()
{
    setPresent(QSystemTrayIcon::isSystemTrayAvailable());
}

void TrayIcon::setPresent(bool present)
{
    if (present == m_present)
        return;
    m_present = present;
    emit presenceChanged(present);
}

void TrayIcon::useStatusNotifier(const QDBusConnection& bus)
{
    m_item = std::make_unique<platform::StatusNotifierItem>(QStringLiteral("quorvane-pro"), bus);
    QList<platform::DBusMenuExporter::Entry> entries;
    const QList<QAction*> actions = m_menu->actions();
    for (int i = 0; i < actions.size(); ++i)
        entries.append({i + 1, shownText(actions[i]->text()), actions[i]->isEnabled(), actions[i]->isSeparator()});
    m_item->menu().setEntries(entries);
    connect(&m_item->menu(), &platform::DBusMenuExporter::triggered, this, [this](int id) {
        const QList<QAction*> actions = m_menu->actions();
        if (id >= 1 && id <= actions.size())
            actions[id - 1]->trigger();
    });
    connect(m_item.get(), &platform::StatusNotifierItem::activated, this, [this](QPoint at) {
        m_clickedAt = QRect(at, QSize(1, 1));
        emit clicked();
    });
    connect(m_item.get(), &platform::StatusNotifierItem::contextMenuRequested, this,
        [this](QPoint at) { m_menu->popup(at); });
    connect(m_item.get(), &platform::StatusNotifierItem::watcherPresenceChanged, this, &TrayIcon::setPresent);
}

const QList<int> TrayIcon::itemSizes {16, 22, 44};

bool TrayIcon::isAvailable(const QDBusConnection& bus)
{
    return platform::StatusNotifierItem::isWatcherRegistered(bus) || QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::show()
{
    if (m_tray)
        m_tray->show();
    if (m_item && !m_item->registerItem()) {
        std::fprintf(stderr, "The tray did not accept the icon; the dashboard window stays the way in\n");
        setPresent(false);
    }
}

QRect TrayIcon::geometry() const
{
    return m_tray ? m_tray->geometry() : m_clickedAt;
}

void TrayIcon::showMessage(const QString& title, const QString& message)
{
    if (m_tray)
        m_tray->showMessage(title, message, QSystemTrayIcon::Warning);
}

MenuBarFigures TrayIcon::trayFigures(const MenuBarFigures& label)
{
    MenuBarFigures f = label;
    f.hideCpuRing = false;
    if (!f.showCPURing && !f.showTextReadouts && !f.showSparkline)
        f.showCPURing = true;
    return f;
}

QString TrayIcon::titleText(const MenuBarFigures& label)
{
    const QString readouts = MenuBarDrawing::trayLabel(label);
    return readouts.isEmpty() ? QStringLiteral("Quorvane Pro") : QStringLiteral("Quorvane Pro · ") + readouts;
}

void TrayIcon::scheduleRepaint()
{
    if (m_repaintPending)
        return;
    m_repaintPending = true;
    QTimer::singleShot(0, this, &TrayIcon::repaint);
}

void TrayIcon::repaint()
{
    m_repaintPending = false;
    const MenuBarFigures figures = trayFigures(m_label->figures());
    const QString tip = m_label->trayToolTip();
    // The picture at its finest size stands for all of them: most ticks change nothing the icon shows.
    const QPixmap finest = MenuBarDrawing::trayPixmap(figures, itemSizes.last());
    if (const QImage picture = finest.toImage(); picture != m_picture) {
        m_picture = picture;
        if (m_tray)
            m_tray->setIcon(MenuBarDrawing::trayIcon(figures));
        if (m_item) {
            platform::TrayPixmapList pixmaps;
            for (int size : itemSizes)
                pixmaps.append(
                    itemPixmap(size == itemSizes.last() ? finest : MenuBarDrawing::trayPixmap(figures, size)));
            m_item->setIcon(pixmaps);
        }
    }
    if (m_tray && m_tray->toolTip() != tip)
        m_tray->setToolTip(tip);
    if (m_item) {
        // The item passes on only what changed.
        m_item->setTitle(titleText(m_label->figures()));
        m_item->setLabel(MenuBarDrawing::trayLabel(m_label->figures()), QStringLiteral("100% 99G"));
        const qsizetype firstBreak = tip.indexOf(QLatin1Char('\n'));
        m_item->setToolTip(tip.left(firstBreak), firstBreak < 0 ? QString() : tip.mid(firstBreak + 1));
    }
}
