#include "SampleData.h"
#include "SamplePopover.h"
#include "SnapshotRegistry.h"

#include "core/HostWindow.h"
#include "core/PopoverHost.h"
#include "popover/PopoverView.h"

namespace {

// The popover and the dashboard window as the program opens them, each around the popover's view (the
// settings window's frame is in SettingsSnapshots.cpp).
QImage popoverFrame(const SnapshotContext& c)
{
    SamplePopover sample(c, 1);
    PopoverHost host(sample.view.release(), PopoverHost::Mode::window);
    return grabWidget(host, c.palette, 2, PopoverHost::kSize);
}

QImage dashboardWindowFrame(const SnapshotContext& c)
{
    SamplePopover sample(c, 1);
    // Opened at 340 x 620; the program's later reframe to 320 x 600 keeps the fixed popover's size.
    HostWindow window(QStringLiteral("Quorvane Dashboard"), sample.view.release(), PopoverView::kSize);
    return grabWidget(window, c.palette, 2, PopoverView::kSize);
}

} // namespace

void registerFrameSnapshots(SnapshotRegistry& registry)
{
    registry.add(QStringLiteral("frame-popover"), popoverFrame);
    registry.add(QStringLiteral("frame-dashboard-window"), dashboardWindowFrame);
}
