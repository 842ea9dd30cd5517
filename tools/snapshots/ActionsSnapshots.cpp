#include "SampleData.h"
#include "SamplePopover.h"
#include "SnapshotRegistry.h"

#include "core/CorrectiveActionEngine.h"
#include "engines/DashboardViewModel.h"
#include "popover/ActionRunner.h"
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

using State = ActionCardView::State;

void settle()
{
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
}

// The content inside the popover's padding, at the popover's width.
QImage column(QWidget& content, const SnapshotContext& c)
{
    const int width = 340;
    QWidget frame;
    usePopoverPalette(frame, c.theme);
    auto* layout = new QVBoxLayout(&frame);
    layout->setContentsMargins(12, 12, 12, 12);
    content.setParent(&frame);
    layout->addWidget(&content);
    frame.setFixedWidth(width);
    frame.setAttribute(Qt::WA_DontShowOnScreen);
    frame.show();
    settleBackgroundWork();
    // Cards fit their descriptions once they know their width: lay out again with those heights.
    frame.adjustSize();
    settle();
    const QImage image = grabWidget(frame, c.palette, 2, QSize(width, contentHeight(frame, width)));
    content.setParent(nullptr);
    return image;
}

// The cards the corrective-action engine proposes for the sample machine (its memory, its loaded models,
// its model stores and caches), as the actions tab turns them into cards; none without a memory sample.
QList<ActionCardView::CardInfo> engineCards(const SnapshotContext& c, CorrectiveActionEngine& engine)
{
    if (c.data.kind() == SampleData::Kind::sample && c.data.dashboard().loadedModels().empty())
        publishBusyTick(c.data.dashboard());
    RecommendedActionsSection section(
        c.data.dashboard(), ActionRunner::on(&engine, nullptr), ThemeManager::shared(), c.data.clock());
    section.setAttribute(Qt::WA_DontShowOnScreen);
    section.show(); // asks the engine
    settleBackgroundWork();
    section.hide();
    return section.actionCards();
}

// Every card the engine proposes, in one state.
QImage cards(const SnapshotContext& c, State state)
{
    PersonaSample personas;
    SampleEngines engines(c.data.kind() == SampleData::Kind::sample, personas);
    QWidget content;
    auto* layout = new QVBoxLayout(&content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    for (const ActionCardView::CardInfo& info : engineCards(c, *engines.actions)) {
        auto* card = new ActionCardView(info, ThemeManager::shared(), c.data.clock(), &content);
        card->showState(state, QStringLiteral("The helper is not running."));
        layout->addWidget(card);
    }
    return column(content, c);
}

// The flush card of a machine with much reclaimable memory where the helper is not installed: as offered
// (it says why it cannot run) and, for a copy that had it pressed before the check, failed.
QImage flushWithoutHelper(const SnapshotContext& c)
{
    PersonaSample personas;
    SampleEngines engines(false, personas);
    engines.actions->setHelperAccess(HelperAccess::notInstalled);
    SystemMemoryState memory;
    memory.totalGB = 32;
    memory.freeGB = 9;
    memory.inactiveGB = 11.4;
    InventoryModel recent;
    recent.path = "/models/recent";
    QWidget content;
    auto* layout = new QVBoxLayout(&content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    for (const ActionCard& card : engines.actions->generateActionCards(memory, {}, {recent})) {
        for (const State state : {State::ready, State::failed}) {
            ActionCardView::CardInfo info;
            info.id = card.id;
            info.title = QString::fromStdString(card.title);
            info.description = QString::fromStdString(card.description);
            info.estimatedImpact = QString::fromStdString(card.estimatedImpact);
            info.urgency = RecommendedActionsSection::urgencyFor(card.urgency);
            info.unavailable = QString::fromStdString(card.unavailableReason.value_or(std::string()));
            if (state == State::failed)
                info.unavailable.clear();
            auto* view = new ActionCardView(info, ThemeManager::shared(), c.data.clock(), &content);
            view->showState(state,
                QStringLiteral("Could not flush inactive memory: ")
                    + QString::fromStdString(helperNotInstalledReason()));
            layout->addWidget(view);
        }
    }
    return column(content, c);
}

// The actions tab as the panel stacks it, over the sample engines (none for the empty tab).
QImage actionsTab(const SnapshotContext& c, bool full)
{
    auto& dashboard = c.data.dashboard();
    if (full && c.data.kind() == SampleData::Kind::sample && dashboard.loadedModels().empty())
        publishBusyTick(dashboard);
    PersonaSample personaSample;
    SampleEngines engines(full && c.data.kind() == SampleData::Kind::sample, personaSample);
    const ActionRunner runner = full ? ActionRunner::on(engines.actions.get(), nullptr) : ActionRunner {};

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
    return column(content, c);
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
    registry.add(QStringLiteral("action-cards-flush-without-helper"), flushWithoutHelper);
    registry.add(QStringLiteral("actions-tab-full"), [](const SnapshotContext& c) { return actionsTab(c, true); });
    registry.add(QStringLiteral("actions-tab-empty"), [](const SnapshotContext& c) { return actionsTab(c, false); });
}
