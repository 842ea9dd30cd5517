#include "SampleData.h"
#include "SnapshotRegistry.h"

#include "engines/DashboardViewModel.h"
#include "popover/AssistanceHistorySection.h"
#include "popover/PersonaOverrideSection.h"
#include "popover/PopoverStyle.h"
#include "popover/RecommendedActionsSection.h"
#include "records/ThemeManager.h"
#include "views/dashboard/ActionCardView.h"
#include "views/dashboard/ThermalIndicatorView.h"

#include <QCoreApplication>
#include <QVBoxLayout>

namespace {

using Urgency3 = ActionCardView::CardInfo::Urgency;
using State = ActionCardView::State;

ActionCardView::CardInfo sampleCard(Urgency3 urgency)
{
    ActionCardView::CardInfo info;
    info.id = Uuid::random();
    switch (urgency) {
    case Urgency3::critical:
        info.title = QStringLiteral("Freeze cc1plus");
        info.description = QStringLiteral(
            "cc1plus is using 2.4 GB while memory headroom is below 4 GB. Suspending it lets the model keep its "
            "context in memory until the build can resume without swapping.");
        info.estimatedImpact = QStringLiteral("+2.4 GB headroom");
        break;
    case Urgency3::warning:
        info.title = QStringLiteral("Unload llama3.1:8b");
        info.description = QStringLiteral("Loaded but idle for 25 minutes.");
        info.estimatedImpact = QStringLiteral("+4.9 GB");
        break;
    case Urgency3::info:
        info.title = QStringLiteral("Clean developer caches");
        info.description = QStringLiteral("6.2 GB of package and build caches can be rebuilt on demand.");
        info.estimatedImpact = QStringLiteral("6.2 GB reclaimable");
        break;
    }
    info.urgency = urgency;
    return info;
}

void settle()
{
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
}

QImage column(QWidget& content, const Palette& palette, int width)
{
    QWidget frame;
    auto* layout = new QVBoxLayout(&frame);
    layout->setContentsMargins(12, 12, 12, 12);
    content.setParent(&frame);
    layout->addWidget(&content);
    frame.setFixedWidth(width);
    frame.setAttribute(Qt::WA_DontShowOnScreen);
    frame.show();
    settle();
    // Cards fit their descriptions once they know their width: lay out again with those heights.
    frame.adjustSize();
    settle();
    const QImage image = grabWidget(frame, palette, 2, QSize(width, frame.sizeHint().height()));
    content.setParent(nullptr);
    return image;
}

// The three urgencies in one state.
QImage cards(const SnapshotContext& c, State state)
{
    QWidget content;
    auto* layout = new QVBoxLayout(&content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    for (Urgency3 urgency : {Urgency3::info, Urgency3::warning, Urgency3::critical}) {
        auto* card = new ActionCardView(sampleCard(urgency), ThemeManager::shared(), c.data.clock(), &content);
        card->showState(state, QStringLiteral("The helper is not running."));
        layout->addWidget(card);
    }
    return column(content, c.palette, 340);
}

ActionCard engineCard(const std::string& title, const std::string& description, ActionType action,
    const std::string& impact, Urgency urgency)
{
    return ActionCard {Uuid::random(), title, description, std::move(action), impact, urgency};
}

// The actions tab as the panel stacks it, over sample engines that answer at once.
QImage actionsTab(const SnapshotContext& c, bool full)
{
    auto& dashboard = c.data.dashboard();
    std::vector<ActionCard> proposed;
    if (full)
        proposed = {engineCard("Freeze cc1plus", "cc1plus is using 2.4 GB while headroom is low.",
                        ActionType::FreezeProcess {3300, "cc1plus"}, "+2.4 GB headroom", Urgency::critical),
            engineCard("Unload llama3.1:8b", "Loaded but idle for 25 minutes.",
                ActionType::UnloadOllamaModel {"llama3.1:8b"}, "+4.9 GB", Urgency::warning),
            engineCard("Clean developer caches", "6.2 GB of caches can be rebuilt.",
                ActionType::CleanDeveloperCaches {6.2}, "6.2 GB", Urgency::info)};
    ActionRunner runner;
    runner.generate = [proposed](const SystemMemoryState&, const std::vector<OllamaModel>&) {
        return QtFuture::makeReadyFuture(proposed);
    };
    runner.execute = [](const ActionType&) { return QtFuture::makeReadyFuture(ActionResult {true, {}}); };

    AssistanceHistorySection::Data data;
    data.metrics = SavedYouMetrics::fresh();
    if (full) {
        data.metrics.totalStorageReclaimedGB = 12.345;
        data.metrics.totalHoursSaved = 3.25;
        data.metrics.buildsProtected = 3;
        const auto event = [](AssistanceCategory category, const char* title, const char* detail, const char* impact) {
            AssistanceEvent e;
            e.id = Uuid::random();
            e.category = category;
            e.title = title;
            e.detail = detail;
            e.impactValue = impact;
            return e;
        };
        data.events = {
            event(AssistanceCategory::memory, "Flushed inactive memory", "Before loading qwen2.5-coder", "3.1 GB"),
            event(AssistanceCategory::storage, "Archived mistral:7b", "Unused for 45 days", "4.1 GB"),
            event(AssistanceCategory::performance, "Froze cc1plus during inference", "Resumed after 2 min", "2.4 GB"),
            event(AssistanceCategory::computing, "Shielded a build from throttling", "Compile Mode", "1 build"),
            event(AssistanceCategory::storage, "Cleaned npm cache", "", "0.8 GB")};
    }

    QWidget content;
    auto* layout = new QVBoxLayout(&content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    ThemeManager& themes = ThemeManager::shared();
    layout->addWidget(new RecommendedActionsSection(dashboard, runner, themes, c.data.clock(), &content));
    layout->addWidget(PopoverStyle::divider(themes, &content));
    auto* history = new AssistanceHistorySection(
        [data](AssistanceCategory) { return QtFuture::makeReadyFuture(data); }, themes, &content);
    history->setExpanded(full);
    layout->addWidget(history);
    layout->addWidget(PopoverStyle::divider(themes, &content));
    if (full && dashboard.thermalState()) {
        layout->addWidget(new ThermalIndicatorView(*dashboard.thermalState(), themes, &content));
        layout->addWidget(PopoverStyle::divider(themes, &content));
    }
    auto* personas = new PersonaOverrideSection(PersonaOverrideSection::Commands {}, themes, c.data.clock(), &content);
    if (full) {
        personas->setShown({{AutoPersona::compileMode}, 3, true});
        personas->togglePersonaOverride(AutoPersona::aiFirstMode); // shows the autonomous-mode warning
    }
    layout->addWidget(personas);
    return column(content, c.palette, 340);
}

} // namespace

void registerActionsSnapshots(SnapshotRegistry& registry)
{
    registry.add(QStringLiteral("action-cards-ready"), [](const SnapshotContext& c) { return cards(c, State::ready); });
    registry.add(
        QStringLiteral("action-cards-executing"), [](const SnapshotContext& c) { return cards(c, State::executing); });
    registry.add(QStringLiteral("action-cards-done"), [](const SnapshotContext& c) { return cards(c, State::done); });
    registry.add(
        QStringLiteral("action-cards-failed"), [](const SnapshotContext& c) { return cards(c, State::failed); });
    registry.add(QStringLiteral("actions-tab-full"), [](const SnapshotContext& c) { return actionsTab(c, true); });
    registry.add(QStringLiteral("actions-tab-empty"), [](const SnapshotContext& c) { return actionsTab(c, false); });
}
