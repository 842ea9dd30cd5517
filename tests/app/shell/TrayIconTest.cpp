// The tray icon: a square that reads on the panel it sits on, its menu, and the readouts a
// StatusNotifier tray shows beside it.
#include "shell/TrayIcon.h"

#include "platform/desktop/StatusNotifierItem.h"
#include "records/ThemeManager.h"
#include "shared/engines/DashboardTestSupport.h"
#include "support/FakeTrayPanel.h"
#include "support/MenuColor.h"
#include "ui/Contrast.h"
#include "ui/Palette.h"
#include "views/dashboard/MenuBarDrawing.h"
#include "views/dashboard/MenuBarFigures.h"
#include "views/dashboard/MenuBarView.h"

#include <QApplication>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>

namespace {

// Pixels of the icon that stand out from the panel: laid over the panel's colour, their lightness
// differs from it by more than a quarter of the scale.
int standingOut(const QImage& icon, const QColor& panel)
{
    QImage laid(icon.size(), QImage::Format_ARGB32_Premultiplied);
    laid.fill(panel);
    QPainter(&laid).drawImage(0, 0, icon);
    int count = 0;
    for (int y = 0; y < laid.height(); ++y)
        for (int x = 0; x < laid.width(); ++x)
            count += std::abs(laid.pixelColor(x, y).lightness() - panel.lightness()) > 64;
    return count;
}

int inked(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 0;
    return count;
}

// The figure's pixels (the middle of the square) that stand out from the panel.
int middleStandingOut(const QImage& icon, const QColor& panel)
{
    const int quarter = icon.width() / 4;
    return standingOut(icon.copy(quarter, quarter, 2 * quarter, 2 * quarter), panel);
}

const QColor kLightPanel(0xf2, 0xf2, 0xf2);
const QColor kDarkPanel(0x20, 0x20, 0x22);

TEST(TrayIconTest, TheIconIsASquareThatReadsOnEitherPanelInEveryState)
{
    MenuBarFigures label;
    label.cpuUsage = 40;
    label.headroomGB = 6;
    label.aiMemoryHistory = {10, 30, 20, 50};
    for (const QSet<QString>& personas : {QSet<QString> {}, QSet<QString> {QStringLiteral("Compile Mode")}}) {
        label.activePersonas = personas;
        for (int size : {16, 22, 44}) {
            const QImage icon = MenuBarDrawing::trayPixmap(TrayIcon::trayFigures(label), size).toImage();
            // Square, whatever the state (a strip would be squeezed into the tray's square slot).
            EXPECT_EQ(icon.size(), QSize(size, size));
            // Drawn across the slot, not a smear in its middle.
            EXPECT_GT(inked(icon), size * size / 4) << size;
            // One picture for every panel: ring, figure and symbol stand out on a light and on a dark one.
            for (const QColor& panel : {kLightPanel, kDarkPanel}) {
                EXPECT_GT(standingOut(icon, panel), size * size / 6) << size << panel.name().toStdString();
                EXPECT_GT(middleStandingOut(icon, panel), size * size / 64) << size << panel.name().toStdString();
            }
        }
    }
    // The readouts and the sparkline are drawn: switching them off changes the icon.
    MenuBarFigures bare = label;
    bare.activePersonas.clear();
    bare.showTextReadouts = bare.showSparkline = false;
    label.activePersonas.clear();
    EXPECT_NE(MenuBarDrawing::trayPixmap(TrayIcon::trayFigures(bare), 22).toImage(),
        MenuBarDrawing::trayPixmap(TrayIcon::trayFigures(label), 22).toImage());
    // Everything switched off in the settings: the ring stays, so the icon can still be found.
    bare.showCPURing = false;
    EXPECT_TRUE(TrayIcon::trayFigures(bare).ringShown());
}

// Both ends live on this thread, so a call waits with the event loop running.
QDBusMessage callAndWait(QDBusConnection& bus, const QDBusMessage& call)
{
    QDBusPendingCall pending = bus.asyncCall(call);
    EXPECT_TRUE(QTest::qWaitFor([&] { return pending.isFinished(); }, 5000));
    return pending.reply();
}

QVariant itemProperty(QDBusConnection& bus, const QString& service, const QString& name)
{
    QDBusMessage get = QDBusMessage::createMethodCall(service, platform::StatusNotifierItem::itemPath,
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.kde.StatusNotifierItem") << name;
    const QDBusMessage reply = callAndWait(bus, get);
    return reply.arguments().isEmpty() ? QVariant() : qvariant_cast<QDBusVariant>(reply.arguments().first()).variant();
}

TEST(TrayIconTest, AStatusNotifierTrayGetsTheReadoutsTheMenuAndTheClicks)
{
    FakeTrayPanel panel;
    if (!panel.isUp())
        GTEST_SKIP() << "no dbus-daemon";
    QDBusConnection& host = panel.host();
    FakeTrayWatcher& watcher = panel.watcher();

    FakeMachine machine;
    auto model = makeModel(machine);
    TrayIcon tray(*model, panel.programBus());
    tray.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher.items.isEmpty(); }, 5000));
    const QString service = watcher.items.first();
    EXPECT_EQ(service, tray.statusNotifierItem()->serviceName());

    // The title and the label carry the CPU figure (headroom joins it once memory is sampled).
    const QString cpu = MenuBarDrawing::cpuText(tray.label().figures().cpuUsage);
    EXPECT_EQ(
        itemProperty(host, service, QStringLiteral("Title")).toString(), TrayIcon::titleText(tray.label().figures()));
    EXPECT_TRUE(itemProperty(host, service, QStringLiteral("Title")).toString().contains(cpu));
    EXPECT_TRUE(itemProperty(host, service, QStringLiteral("XAyatanaLabel")).toString().startsWith(cpu));

    // The menu: Open Dashboard, Settings…, a separator, Quit; a click on an entry reaches its signal.
    QDBusMessage layout = QDBusMessage::createMethodCall(service, platform::StatusNotifierItem::menuPath,
        QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("GetLayout"));
    layout << 0 << -1 << QStringList();
    const QDBusMessage reply = callAndWait(host, layout);
    ASSERT_EQ(reply.arguments().size(), 2) << reply.errorMessage().toStdString();
    platform::DBusMenuLayoutItem root;
    qvariant_cast<QDBusArgument>(reply.arguments().at(1)) >> root;
    QStringList labels;
    for (const auto& child : root.children)
        labels << (child.properties.value(QStringLiteral("type")) == QStringLiteral("separator")
                ? QStringLiteral("-")
                : child.properties.value(QStringLiteral("label")).toString());
    EXPECT_EQ(labels, QStringList({"Open Dashboard", "Settings…", "-", "Quit Quorvane Pro"}));

    QSignalSpy dashboard(&tray, &TrayIcon::dashboardRequested);
    QSignalSpy settings(&tray, &TrayIcon::settingsRequested);
    for (int id : {1, 2}) {
        QDBusMessage event = QDBusMessage::createMethodCall(service, platform::StatusNotifierItem::menuPath,
            QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("Event"));
        event << root.children[id - 1].id << QStringLiteral("clicked") << QVariant::fromValue(QDBusVariant(0)) << 0u;
        callAndWait(host, event);
    }
    EXPECT_EQ(dashboard.size(), 1);
    EXPECT_EQ(settings.size(), 1);

    // A click on the icon opens the popover where the tray says it was clicked.
    QSignalSpy clicked(&tray, &TrayIcon::clicked);
    QDBusMessage activate = QDBusMessage::createMethodCall(service, platform::StatusNotifierItem::itemPath,
        QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("Activate"));
    activate << 1200 << 4;
    callAndWait(host, activate);
    EXPECT_EQ(clicked.size(), 1);
    EXPECT_EQ(tray.geometry(), QRect(1200, 4, 1, 1));
}

// An icon image as the host reads it (ARGB in network byte order).
QImage imageOf(const platform::TrayPixmap& pixmap)
{
    QImage image(pixmap.width, pixmap.height, QImage::Format_ARGB32);
    const auto* pixels = reinterpret_cast<const quint32*>(pixmap.argb.constData());
    for (int y = 0; y < pixmap.height; ++y)
        for (int x = 0; x < pixmap.width; ++x)
            image.setPixel(x, y, qFromBigEndian(pixels[y * pixmap.width + x]));
    return image;
}

TEST(TrayIconTest, TheHostIsSentAPictureForAnyPanelAndOnlyWhatChanged)
{
    FakeTrayPanel panel;
    if (!panel.isUp())
        GTEST_SKIP() << "no dbus-daemon";
    // No desktop named and a light window colour: nothing tells that the panel is in fact dark.
    const QByteArray desktop = qgetenv("XDG_CURRENT_DESKTOP");
    qunsetenv("XDG_CURRENT_DESKTOP");
    const QPalette palette = QGuiApplication::palette();
    QGuiApplication::setPalette(QPalette(QColor(0xef, 0xef, 0xef)));
    FakeMachine machine;
    auto model = makeModel(machine);
    TrayIcon tray(*model, panel.programBus());
    tray.show();
    QGuiApplication::setPalette(palette);
    if (!desktop.isNull())
        qputenv("XDG_CURRENT_DESKTOP", desktop);
    const auto tick = [&](double cpu) {
        DashboardSample sample;
        sample.cpuKind = DashboardSample::CpuKind::measured;
        sample.cpuLoad.perCore = {cpu / 100, cpu / 100};
        sample.cpuLoad.performanceSum = cpu / 50;
        sample.cpuLoad.totalTicks = 100;
        sample.memory.totalGB = 16;
        sample.memory.freeGB = sample.memory.inactiveGB = 3;
        model->publishSample(sample);
        QCoreApplication::processEvents();
    };
    tick(40);
    platform::StatusNotifierItem& item = *tray.statusNotifierItem();
    ASSERT_FALSE(item.iconPixmaps().isEmpty());

    // The figure reads on a light and on a dark panel alike.
    const QImage largest = imageOf(item.iconPixmaps().last());
    for (const QColor& panel : {kLightPanel, kDarkPanel})
        EXPECT_GT(middleStandingOut(largest, panel), largest.width() * largest.width() / 32)
            << panel.name().toStdString();

    // Ticks that change nothing shown send nothing: each signal makes the host fetch and redraw.
    QSignalSpy icons(&item, &platform::StatusNotifierItem::newIcon);
    QSignalSpy titles(&item, &platform::StatusNotifierItem::newTitle);
    QSignalSpy tips(&item, &platform::StatusNotifierItem::newToolTip);
    QSignalSpy labels(&item, &platform::StatusNotifierItem::newLabel);
    for (int i = 0; i < 5; ++i)
        tick(40);
    EXPECT_EQ(icons.count() + titles.count() + tips.count() + labels.count(), 0);
    // A new figure: each changed piece once.
    tick(41);
    EXPECT_EQ(icons.count(), 1);
    EXPECT_EQ(titles.count(), 1);
    EXPECT_EQ(tips.count(), 1);
    EXPECT_EQ(labels.count(), 1);
}

} // namespace

// The menu is a window of its own and the icon's tool tip Qt's own: both took the application's light
// palette over a dark theme. They follow the theme, dark and then light.
TEST(TrayIconTest, ItsMenuAndToolTipAreDrawnInTheTheme)
{
    FakeMachine machine;
    auto model = makeModel(machine);
    TrayIcon tray(*model, QDBusConnection(QStringLiteral("no bus")));
    for (const AppTheme shown : {AppTheme::standard, AppTheme::light}) {
        ThemeManager::shared().setCurrentTheme(shown);
        const Palette theme = Palette::current();
        const QColor menu = openedMenuColor(tray.menu());
        EXPECT_LT(Contrast::ratio(menu, theme.background), 1.5)
            << menu.name().toStdString() << " against " << theme.background.name().toStdString();
        EXPECT_EQ(QToolTip::palette().color(QPalette::ToolTipBase), theme.background);
        EXPECT_EQ(QToolTip::palette().color(QPalette::ToolTipText), theme.text);
    }
    ThemeManager::shared().setCurrentTheme(AppTheme::standard);
}
