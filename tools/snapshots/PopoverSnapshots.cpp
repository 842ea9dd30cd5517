#include "SampleData.h"
#include "SamplePopover.h"
#include "SnapshotRegistry.h"

#include "popover/PopoverView.h"
#include "popover/ProcessListView.h"
#include "popover/SymbolButton.h"
#include "records/ThemeManager.h"
#include "ui/ViewSettings.h"
#include "views/dashboard/MemorySplitView.h"
#include "views/dashboard/ThermalIndicatorView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QVBoxLayout>

namespace {

QImage popover(const SnapshotContext& c, int tab, bool telemetry = false, int onboardingStep = 0,
    const std::function<void(PopoverView&)>& prepare = {})
{
    SamplePopover p(c, tab, telemetry, onboardingStep);
    p.show();
    if (prepare)
        prepare(*p.view);
    const QImage image = grabWidget(*p.view, c.palette, 2, PopoverView::kSize);
    c.data.settings().setHasFinishedOnboarding(true);
    return image;
}

// One of the popover's views alone, inside the popover's padding.
QImage alone(QWidget& view, const SnapshotContext& c)
{
    QWidget frame;
    usePopoverPalette(frame, c.theme);
    auto* column = new QVBoxLayout(&frame);
    column->setContentsMargins(12, 12, 12, 12);
    view.setParent(&frame);
    column->addWidget(&view);
    const int width = PopoverView::kSize.width();
    frame.setFixedWidth(width);
    const QImage image = grabWidget(frame, c.palette, 2, QSize(width, contentHeight(frame, width)));
    view.setParent(nullptr);
    return image;
}

} // namespace

QImage samplePopover(const SnapshotContext& c, int tab, const std::function<void(PopoverView&)>& prepare)
{
    return popover(c, tab, false, 0, prepare);
}

void registerPopoverSnapshots(SnapshotRegistry& registry)
{
    registry.add(QStringLiteral("popover-memory"), [](const SnapshotContext& c) { return popover(c, 0); });
    registry.add(QStringLiteral("popover-telemetry"), [](const SnapshotContext& c) { return popover(c, 0, true); });
    registry.add(QStringLiteral("popover-cpu"), [](const SnapshotContext& c) { return popover(c, 1); });
    // The terminal's freeze refused (its reason on its row), the compiler frozen.
    registry.add(QStringLiteral("popover-cpu-freeze"), [](const SnapshotContext& c) {
        return popover(c, 1, false, 0, [](PopoverView& view) {
            auto* list = view.findChild<ProcessListView*>();
            if (!list || list->rowCount() < 4)
                return;
            list->rowToggle(2)->click();
            list->rowToggle(3)->click();
            QElapsedTimer timer;
            timer.start();
            while ((list->rowNote(2).isEmpty() || list->rowTexts(3).value(1) != QStringLiteral("FROZEN"))
                && timer.elapsed() < 5000)
                QApplication::processEvents(QEventLoop::AllEvents, 10);
        });
    });
    registry.add(QStringLiteral("popover-actions"), [](const SnapshotContext& c) { return popover(c, 2); });
    registry.add(QStringLiteral("popover-storage"), [](const SnapshotContext& c) { return popover(c, 3); });
    registry.add(QStringLiteral("popover-network"), [](const SnapshotContext& c) { return popover(c, 4); });
    registry.add(QStringLiteral("popover-tab-7"), [](const SnapshotContext& c) { return popover(c, 7); });
    // The first-run flow in place of the dashboard: its card shrunk into the popover's width.
    for (int step = 1; step <= 5; ++step) {
        registry.add(QStringLiteral("popover-onboarding-%1").arg(step),
            [step](const SnapshotContext& c) { return popover(c, 1, false, step); });
    }
    registry.add(QStringLiteral("memory-split-edges"), [](const SnapshotContext& c) {
        QWidget column;
        auto* layout = new QVBoxLayout(&column);
        layout->setSpacing(14);
        SystemMemoryState tight {32, 20, 6, 3.0, 0.11, 4.99, {}};
        std::vector<OllamaModel> four;
        for (int i = 0; i < 4; ++i)
            four.push_back(
                {"m" + std::to_string(i), "model-" + std::to_string(i), 1, true, std::nullopt, i == 3 ? 0.0 : 2.0});
        layout->addWidget(new MemorySplitView(tight, four, ThemeManager::shared()));
        layout->addWidget(new MemorySplitView({64, 20, 0, 8, 0.1, 8, {}}, {}, ThemeManager::shared()));
        layout->addWidget(new MemorySplitView({0, 0, 0, 16, 0, 0, {}}, {}, ThemeManager::shared()));
        return alone(column, c);
    });
    registry.add(QStringLiteral("thermal-indicator"), [](const SnapshotContext& c) {
        QWidget column;
        auto* layout = new QVBoxLayout(&column);
        auto critical = QVThermalState::forLevel(QVThermalState::Level::critical);
        critical.topOffendingProcess = "ollama_llama_server --model a-very-long-model-path-name";
        auto balancedAlert = QVThermalState::forLevel(QVThermalState::Level::balanced);
        balancedAlert.shouldAlert = true;
        auto unnamed = QVThermalState::forLevel(QVThermalState::Level::warm);
        unnamed.displayName.clear();
        for (const auto& s : {QVThermalState::forLevel(QVThermalState::Level::balanced), critical, balancedAlert,
                 unnamed, QVThermalState::forLevel(QVThermalState::Level::unknown)})
            layout->addWidget(new ThermalIndicatorView(s, ThemeManager::shared()));
        return alone(column, c);
    });
}
