#include "SampleData.h"
#include "SnapshotRegistry.h"

#include "popover/PopoverState.h"
#include "popover/PopoverView.h"
#include "popover/TourOverlay.h"

#include <functional>

// The sample popover on `tab`, after `prepare` has run on it (PopoverSnapshots.cpp).
QImage samplePopover(const SnapshotContext& c, int tab, const std::function<void(PopoverView&)>& prepare);

void registerTourSnapshots(SnapshotRegistry& registry)
{
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
