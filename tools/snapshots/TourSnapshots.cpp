#include "SampleData.h"
#include "SamplePopover.h"
#include "SnapshotRegistry.h"

#include "core/HelperAccess.h"
#include "popover/PopoverState.h"
#include "popover/PopoverView.h"
#include "popover/TourOverlay.h"

#include <functional>

// The sample popover on `tab`, after `prepare` has run on it (PopoverSnapshots.cpp).
QImage samplePopover(const SnapshotContext& c, int tab, const std::function<void(PopoverView&)>& prepare);

namespace {

// A copy the helper does not act for, at `step` of the tour: the words say what holds without it.
QImage withoutHelper(const SnapshotContext& c, int step)
{
    SamplePopover p(c, 4);
    p.personas.viewModel->setHelperAccess(HelperAccess::notInstalled);
    p.show();
    p.view->state().startTour();
    for (int i = 0; i < step; ++i)
        p.view->state().tourNext();
    p.view->tourOverlay()->settle();
    return grabWidget(*p.view, c.palette, 2, PopoverView::kSize);
}

} // namespace

void registerTourSnapshots(SnapshotRegistry& registry)
{
    for (int step : {1, 5})
        registry.add(QStringLiteral("popover-tour-step%1-without-helper").arg(step),
            [step](const SnapshotContext& c) { return withoutHelper(c, step); });
    for (int step = 0; step < PopoverState::kTourSteps; ++step) {
        registry.add(QStringLiteral("popover-tour-step%1").arg(step), [step](const SnapshotContext& c) {
            // Started on the network tab, so the pictures show the tabs the tour selects by itself.
            return samplePopover(c, 4, [step](PopoverView& view) {
                view.state().startTour();
                for (int i = 0; i < step; ++i)
                    view.state().tourNext();
                view.tourOverlay()->settle();
            });
        });
    }
}
