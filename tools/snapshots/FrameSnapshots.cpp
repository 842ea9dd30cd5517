#include "SampleData.h"
#include "SamplePopover.h"
#include "SnapshotRegistry.h"

#include "popover/PopoverView.h"
#include "shell/HostWindow.h"
#include "shell/PopoverHost.h"

namespace {

// The popover and the dashboard window as the program opens them, each around the popover's view (the
// settings window's frame is in SettingsSnapshots.cpp).
QImage popoverFrame(const SnapshotContext& c, const QRect& screen)
{
    SamplePopover sample(c, 1);
    PopoverHost host(sample.view.release(), PopoverHost::Mode::window);
    return grabWidget(host, c.palette, 2, PopoverHost::fittedSize(screen));
}

// At `size` as the program frames it (fitted to a short screen), or, not `framed`, as a window manager
// asks for it, which the window's one size refuses.
QImage dashboardWindowFrame(const SnapshotContext& c, const QSize& size, bool framed = true)
{
    SamplePopover sample(c, 1);
    // Opened at 340 x 620; the program's later reframe to 320 x 600 keeps the popover's size.
    HostWindow window(QStringLiteral("Quorvane Dashboard"), sample.view.release(), PopoverView::kSize);
    if (framed)
        window.setFixedSize(size);
    return grabWidget(window, c.palette, 2, size);
}

} // namespace

void registerFrameSnapshots(SnapshotRegistry& registry)
{
    registry.add(QStringLiteral("frame-popover"),
        [](const SnapshotContext& c) { return popoverFrame(c, QRect(0, 0, 1920, 1080)); });
    registry.add(QStringLiteral("frame-popover-short-screen"),
        [](const SnapshotContext& c) { return popoverFrame(c, kShortScreen); });
    registry.add(QStringLiteral("frame-dashboard-window"),
        [](const SnapshotContext& c) { return dashboardWindowFrame(c, PopoverView::kSize); });
    registry.add(QStringLiteral("frame-dashboard-window-short-screen"), [](const SnapshotContext& c) {
        const QRect placed = HostWindow::fitted({990, 171}, PopoverView::kSize, kTitleBar, kShortScreen);
        return dashboardWindowFrame(c, placed.size());
    });
    registry.add(QStringLiteral("frame-dashboard-window-enlarged"),
        [](const SnapshotContext& c) { return dashboardWindowFrame(c, kEnlargedWindow, false); });
}
