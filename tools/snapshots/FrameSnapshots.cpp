#include "SampleData.h"
#include "SnapshotRegistry.h"

#include "core/HostWindow.h"
#include "core/PlaceholderView.h"
#include "core/PopoverHost.h"

namespace {

// The popover and the two windows as they open, each around the view it hosts today.
QImage popoverFrame(const SnapshotContext& c)
{
    PopoverHost host(
        new PlaceholderView(QStringLiteral("Quorvane Pro"), c.data.dashboard()), PopoverHost::Mode::window);
    return grabWidget(host, c.palette, 2, PopoverHost::kSize);
}

QImage windowFrame(const SnapshotContext& c, const QString& title, QSize size)
{
    HostWindow window(title, new PlaceholderView(title, c.data.dashboard()), size);
    return grabWidget(window, c.palette, 2, size);
}

} // namespace

void registerFrameSnapshots(SnapshotRegistry& registry)
{
    registry.add(QStringLiteral("frame-popover"), popoverFrame);
    registry.add(QStringLiteral("frame-dashboard-window"),
        [](const SnapshotContext& c) { return windowFrame(c, QStringLiteral("Quorvane Dashboard"), QSize(320, 600)); });
    registry.add(QStringLiteral("frame-settings-window"),
        [](const SnapshotContext& c) { return windowFrame(c, QStringLiteral("Quorvane Settings"), QSize(780, 540)); });
}
