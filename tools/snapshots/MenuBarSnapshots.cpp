#include "SampleData.h"
#include "SnapshotRegistry.h"

#include "engines/DashboardViewModel.h"
#include "records/ActivePersonaTracker.h"
#include "records/ThemeManager.h"
#include "ui/Fonts.h"
#include "views/dashboard/MenuBarDrawing.h"
#include "views/dashboard/MenuBarView.h"

#include <QPainter>

namespace {

using Level = QVThermalState::Level;

MenuBarFigures sampleFigures(SampleData& data)
{
    MenuBarFigures f;
    if (data.kind() == SampleData::Kind::noSensors) {
        f.aiMemoryHistory = QList<double>(DashboardViewModel::kHistoryLength, 0.0);
        return f;
    }
    const DashboardViewModel& vm = data.dashboard();
    f.cpuUsage = vm.cpuUsage();
    f.headroomGB = vm.memoryState()->headroomGB();
    f.aiMemoryHistory = vm.aiMemoryHistory();
    return f;
}

// The strip on the theme's background, three device pixels to a logical one.
QImage stripImage(const MenuBarFigures& figures, const Palette& palette)
{
    const QSizeF size = MenuBarDrawing::layout(figures).size;
    const qreal scale = 3;
    QImage image((size * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(palette.background);
    QPainter p(&image);
    MenuBarDrawing::paint(p, figures, palette, MenuBarDrawing::ringFraction(figures.cpuUsage));
    return image;
}

// Each tray size at its true pixels, side by side on a light panel and under it on a dark one (the icon is
// the same on every panel), then enlarged four times.
QImage traySizes(const MenuBarFigures& figures)
{
    QList<QPixmap> icons;
    int width = 4;
    for (int size : MenuBarDrawing::kTraySizes) {
        icons << MenuBarDrawing::trayPixmap(figures, size);
        width += icons.last().width() + 4;
    }
    const int row = 48 + 8;
    QImage image(width, 2 * row, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.fillRect(0, 0, width, row, QColor(0xf2, 0xf2, 0xf2));
    p.fillRect(0, row, width, row, QColor(0x20, 0x20, 0x22));
    for (int top : {0, row}) {
        int x = 4;
        for (const QPixmap& icon : icons) {
            p.drawPixmap(x, top + 4 + (48 - icon.height()) / 2, icon);
            x += icon.width() + 4;
        }
    }
    p.end();
    return magnified(image, 4);
}

void addState(SnapshotRegistry& registry, const QString& name, std::function<void(MenuBarFigures&)> change)
{
    registry.add(QStringLiteral("menubar-") + name, [change](const SnapshotContext& c) {
        MenuBarFigures f = sampleFigures(c.data);
        change(f);
        return stripImage(f, c.palette);
    });
}

} // namespace

void registerMenuBarSnapshots(SnapshotRegistry& registry)
{
    addState(registry, QStringLiteral("plain"), [](MenuBarFigures&) {});
    addState(registry, QStringLiteral("hot"), [](MenuBarFigures& f) { f.thermalLevel = Level::throttling; });
    addState(registry, QStringLiteral("build"),
        [](MenuBarFigures& f) { f.activePersonas = {QStringLiteral("Compile Mode")}; });
    addState(registry, QStringLiteral("ai"),
        [](MenuBarFigures& f) { f.activePersonas = {QStringLiteral("AI First Mode")}; });
    addState(registry, QStringLiteral("eco"),
        [](MenuBarFigures& f) { f.activePersonas = {QStringLiteral("Battery Mode")}; });
    addState(registry, QStringLiteral("mem"), [](MenuBarFigures& f) {
        f.headroomGB = 1.6;
        f.cpuUsage = 92.0;
    });
    addState(registry, QStringLiteral("mem-unread"),
        [](MenuBarFigures& f) { f.headroomGB = MenuBarFigures::headroomOf(SystemMemoryState {}); });
    addState(registry, QStringLiteral("ring-over-100"), [](MenuBarFigures& f) { f.cpuUsage = 140; });
    addState(registry, QStringLiteral("all-off"),
        [](MenuBarFigures& f) { f.showCPURing = f.showSparkline = f.showTextReadouts = false; });
    addState(registry, QStringLiteral("all-off-hot"), [](MenuBarFigures& f) {
        f.showCPURing = f.showSparkline = f.showTextReadouts = false;
        f.thermalLevel = Level::critical;
    });
    registry.add(QStringLiteral("menubar-live"), [](const SnapshotContext& c) {
        MenuBarView view(
            c.data.dashboard(), false, c.data.settings(), ActivePersonaTracker::shared(), ThemeManager::shared());
        return grabWidget(view, c.palette, 3);
    });
    registry.add(
        QStringLiteral("tray-sizes"), [](const SnapshotContext& c) { return traySizes(sampleFigures(c.data)); });
    registry.add(QStringLiteral("tray-sizes-hot"), [](const SnapshotContext& c) {
        MenuBarFigures f = sampleFigures(c.data);
        f.thermalLevel = Level::critical;
        return traySizes(f);
    });
}
