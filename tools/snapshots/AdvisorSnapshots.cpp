#include "SampleAdvisor.h"
#include "SampleData.h"
#include "SamplePopover.h"
#include "SnapshotRegistry.h"

#include "views/advisor/AdvisorQuestionnaireView.h"
#include "views/advisor/AdvisorViewModel.h"
#include "views/advisor/FrameworkAdvisorView.h"
#include "views/advisor/FrameworkCard.h"
#include "views/advisor/MacPotentialView.h"
#include "views/advisor/ModelAdvisorView.h"
#include "views/advisor/PopoverRecommendationView.h"
#include "views/advisor/QuestionnaireChoices.h"
#include "views/advisor/RecommendationCardView.h"

#include "advisor-kit/FrameworkRecommendationEngine.h"

#include <QDialog>

#include <atomic>
#include <memory>

namespace {

// The advisor opens in the popover's 500 x 450 sheet; the pictures of the whole content take its width
// and the height the content needs.
constexpr int kWidth = 500;

// The 36 GB sample machine's view model.
std::unique_ptr<AdvisorViewModel> sampleViewModel(
    bool appleSilicon = true, std::shared_ptr<std::atomic<bool>> held = {})
{
    return sampleAdvisorViewModel(36, appleSilicon, std::move(held));
}

UserRecommendationContext sampleContext(bool appleSilicon = true)
{
    UserRecommendationContext c;
    c.macProfile = sampleAdvisorProfile(36);
    c.macProfile.appleSilicon = appleSilicon;
    c.primaryUseCase = UseCase::coding;
    c.contextLengthNeeded = UserRecommendationContext::ContextLength::medium;
    c.runsAlongsideBuilds = true;
    return c;
}

std::unique_ptr<ModelAdvisorView> window(const SnapshotContext& c, std::unique_ptr<AdvisorViewModel> vm)
{
    return std::make_unique<ModelAdvisorView>(std::move(vm), c.data.desktop(), c.data.dialogs(), c.data.clock());
}

std::unique_ptr<ModelAdvisorView> resultsWindow(const SnapshotContext& c, bool appleSilicon = true)
{
    auto view = window(c, sampleViewModel(appleSilicon));
    view->viewModel().runRecommendations(sampleContext(appleSilicon));
    waitFor([&view] { return !view->viewModel().isLoading(); });
    return view;
}

void registerQuestionnaire(SnapshotRegistry& registry)
{
    for (int step = 0; step < 4; ++step) {
        registry.add(QStringLiteral("advisor-questionnaire-step%1").arg(step), [step](const SnapshotContext& c) {
            AdvisorQuestionnaireView view([](const UserRecommendationContext&) {}, sampleAdvisorProfile(36));
            if (step > 0)
                view.useCaseCards().at(1)->click();
            if (step == 3)
                view.buildsYesCard()->click();
            view.showStep(step);
            return grabWidget(view, c.palette);
        });
    }
}

void registerWindow(SnapshotRegistry& registry)
{
    registry.add(QStringLiteral("advisor-models-prompt"), [](const SnapshotContext& c) {
        auto view = window(c, sampleViewModel());
        return grabWidget(*view, c.palette, 2.0, QSize(kWidth, 720));
    });
    registry.add(QStringLiteral("advisor-models-loading"), [](const SnapshotContext& c) {
        // A server that answers once the picture of the run going on is taken.
        auto held = std::make_shared<std::atomic<bool>>(false);
        auto view = window(c, sampleViewModel(true, held));
        view->viewModel().runRecommendations(sampleContext());
        const QImage image = grabWidget(*view, c.palette, 2.0, QSize(kWidth, 400), Settle::none);
        *held = true;
        return image;
    });
    registry.add(QStringLiteral("advisor-models-results"), [](const SnapshotContext& c) {
        auto view = resultsWindow(c);
        return grabWidget(*view, c.palette, 2.0, QSize(kWidth, 1100));
    });
    registry.add(QStringLiteral("advisor-models-card-expanded"), [](const SnapshotContext& c) {
        auto view = resultsWindow(c);
        if (!view->cards().isEmpty())
            view->cards().first()->setExpanded(true);
        return grabWidget(*view, c.palette, 2.0, QSize(kWidth, 1100));
    });
    registry.add(QStringLiteral("advisor-models-no-fit"), [](const SnapshotContext& c) {
        // 24 GB with 12.5 GB available, building alongside: nothing fits beside the builds.
        auto view = window(c, sampleViewModel());
        UserRecommendationContext building = sampleContext();
        building.macProfile.totalMemoryGB = 24;
        building.macProfile.availableMemoryGB = building.macProfile.typicalFreeHeadroomGB = 12.5;
        view->viewModel().runRecommendations(building);
        waitFor([&view] { return !view->viewModel().isLoading(); });
        return grabWidget(*view, c.palette, 2.0, QSize(kWidth, 720));
    });
    registry.add(QStringLiteral("advisor-models-not-apple"), [](const SnapshotContext& c) {
        auto view = window(c, sampleViewModel(false));
        return grabWidget(*view, c.palette, 2.0, QSize(kWidth, 400));
    });
    registry.add(QStringLiteral("advisor-models-results-not-apple"), [](const SnapshotContext& c) {
        auto view = resultsWindow(c, false);
        if (!view->cards().isEmpty())
            view->cards().first()->setExpanded(true);
        return grabWidget(*view, c.palette, 2.0, QSize(kWidth, 1100));
    });
    for (const bool apple : {true, false}) {
        const QString name
            = apple ? QStringLiteral("advisor-frameworks") : QStringLiteral("advisor-frameworks-not-apple");
        registry.add(name, [apple](const SnapshotContext& c) {
            auto view = resultsWindow(c, apple);
            view->setSelectedTab(ModelAdvisorView::AdvisorTab::frameworks);
            const auto cards = view->frameworkView()->cards();
            for (int i = 0; i < cards.size() && i < 2; ++i)
                cards.at(i)->toggleExpanded();
            return grabWidget(*view, c.palette, 2.0, QSize(kWidth, 980));
        });
    }
    registry.add(QStringLiteral("advisor-frameworks-empty"), [](const SnapshotContext& c) {
        auto view = window(c, sampleViewModel());
        view->setSelectedTab(ModelAdvisorView::AdvisorTab::frameworks);
        return grabWidget(*view, c.palette, 2.0, QSize(kWidth, 300));
    });
}

void registerPotential(SnapshotRegistry& registry)
{
    registry.add(QStringLiteral("advisor-potential"), [](const SnapshotContext& c) {
        auto view = window(c, sampleViewModel());
        view->setSelectedTab(ModelAdvisorView::AdvisorTab::potential);
        view->potentialView()->copyReport();
        return grabWidget(*view, c.palette, 2.0, QSize(kWidth, 980));
    });
    registry.add(QStringLiteral("advisor-potential-not-apple-256"), [](const SnapshotContext& c) {
        MacCapabilityProfile profile = sampleAdvisorProfile(256);
        profile.appleSilicon = false;
        MacPotentialView view(profile, false, c.data.desktop(), c.data.dialogs(), c.data.clock());
        return grabWidget(view, c.palette, 2.0, QSize(kWidth, 980));
    });
    registry.add(QStringLiteral("advisor-potential-no-profile"), [](const SnapshotContext& c) {
        MacPotentialView view(std::nullopt, false, c.data.desktop(), c.data.dialogs(), c.data.clock());
        return grabWidget(view, c.palette, 2.0, QSize(kWidth, 200));
    });
}

// The advisor as the popover's suggestion card opens it: the 500 x 450 sheet around `view`, which
// `prepare` has set up once its facts arrived.
QImage sheet(const SnapshotContext& c, std::unique_ptr<ModelAdvisorView> view,
    const std::function<void(ModelAdvisorView&)>& prepare = {})
{
    ModelAdvisorView* advisor = view.get();
    DetectedMachine machine {sampleAdvisorProfile(36), true};
    auto vm = std::make_unique<AdvisorViewModel>([machine] { return machine; }, [] { return OllamaModelsResult {}; });
    PopoverRecommendationView card(c.data.dashboard(), std::move(vm), [&view] { return view.release(); });
    card.setAttribute(Qt::WA_DontShowOnScreen);
    card.show();
    card.setShowingAdvisor(true);
    QDialog* dialog = card.advisorSheet();
    if (!dialog)
        return {};
    settleBackgroundWork();
    if (prepare)
        prepare(*advisor);
    return grabWidget(*dialog, c.palette, 2.0, dialog->size());
}

void registerSheet(SnapshotRegistry& registry)
{
    registry.add(
        QStringLiteral("advisor-sheet-models"), [](const SnapshotContext& c) { return sheet(c, resultsWindow(c)); });
    registry.add(QStringLiteral("advisor-sheet-frameworks"), [](const SnapshotContext& c) {
        return sheet(c, resultsWindow(c),
            [](ModelAdvisorView& view) { view.setSelectedTab(ModelAdvisorView::AdvisorTab::frameworks); });
    });
    registry.add(QStringLiteral("advisor-sheet-potential"), [](const SnapshotContext& c) {
        return sheet(c, window(c, sampleViewModel()),
            [](ModelAdvisorView& view) { view.setSelectedTab(ModelAdvisorView::AdvisorTab::potential); });
    });
}

// The popover's suggestion card at the popover's width, once its ranking has run on a machine of
// `memoryGB` (2 GB: nothing fits and the prompt stays).
QImage suggestionCard(const SnapshotContext& c, double memoryGB)
{
    DetectedMachine machine {sampleAdvisorProfile(memoryGB), true};
    auto vm = std::make_unique<AdvisorViewModel>([machine] { return machine; }, [] { return OllamaModelsResult {}; });
    PopoverRecommendationView card(c.data.dashboard(), std::move(vm), [] { return new QWidget; });
    usePopoverPalette(card, c.theme);
    card.setAttribute(Qt::WA_DontShowOnScreen);
    card.show();
    waitFor([&card] { return card.advisorVM().lastContext().has_value() && !card.advisorVM().isLoading(); });
    card.resize(kPopoverPanelWidth, contentHeight(card, kPopoverPanelWidth));
    return grabWidget(card, c.palette, 2.0, QSize(kPopoverPanelWidth, contentHeight(card, kPopoverPanelWidth)));
}

} // namespace

void registerAdvisorSnapshots(SnapshotRegistry& registry)
{
    registry.add(
        QStringLiteral("suggestion-card-prompt"), [](const SnapshotContext& c) { return suggestionCard(c, 2); });
    registry.add(
        QStringLiteral("suggestion-card-recommended"), [](const SnapshotContext& c) { return suggestionCard(c, 36); });
    registerQuestionnaire(registry);
    registerWindow(registry);
    registerPotential(registry);
    registerSheet(registry);
}
