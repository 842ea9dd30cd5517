#include "AdvisorTestSupport.h"

#include "views/advisor/AdvisorQuestionnaireView.h"
#include "views/advisor/MacPotentialView.h"
#include "views/advisor/ModelAdvisorView.h"
#include "views/advisor/ModelsTabCompanions.h"
#include "views/advisor/QuestionnaireChoices.h"
#include "views/advisor/RecommendationCardView.h"

#include "records/ThemeManager.h"
#include "support/doubles/ui/FakeClock.h"
#include "support/doubles/ui/RecordingDesktop.h"
#include "support/doubles/ui/ScriptedDialogs.h"

#include <QLabel>
#include <QPushButton>
#include <QTabBar>

#include <gtest/gtest.h>

#include <future>

using namespace advisortest;

namespace {

struct AdvisorWindowTest : testing::Test
{
    FakeClock clock;
    RecordingDesktop desktop;
    ScriptedDialogs dialogs;
    FakeSources sources;

    std::unique_ptr<ModelAdvisorView> makeView()
    {
        return std::make_unique<ModelAdvisorView>(sources.make(), desktop, dialogs, clock);
    }
};

template<class T> int countOf(const QList<QWidget*>& widgets)
{
    return static_cast<int>(
        std::count_if(widgets.begin(), widgets.end(), [](QWidget* w) { return qobject_cast<T*>(w) != nullptr; }));
}

bool hasLabel(const QList<QWidget*>& widgets, const QString& text)
{
    for (QWidget* w : widgets) {
        for (QLabel* label : w->findChildren<QLabel*>()) {
            if (label->text() == text)
                return true;
        }
    }
    return false;
}

} // namespace

TEST_F(AdvisorWindowTest, ModelsTabFollowsTheViewModelsStateTable)
{
    sources.answer.models = {installed("llama3.1:8b")};
    auto view = makeView();
    EXPECT_EQ(view->modelsState(), ModelAdvisorView::ModelsState::prompt);
    EXPECT_EQ(countOf<QuestionnairePromptCard>(view->modelsTabWidgets()), 1);
    EXPECT_EQ(countOf<MacContextHeader>(view->modelsTabWidgets()), 0) << "no header before detection";

    // Before detection the questionnaire gets the placeholder profile.
    view->openQuestionnaire();
    ASSERT_TRUE(view->questionnaire());
    view->questionnaire()->useCaseCards().first()->click();
    for (int i = 0; i < 4; ++i)
        view->questionnaire()->nextButton()->click();
    EXPECT_FALSE(view->questionnaireDialog());
    EXPECT_EQ(view->modelsState(), ModelAdvisorView::ModelsState::loading);
    const auto loading = view->modelsTabWidgets();
    ASSERT_EQ(countOf<LoadingView>(loading), 1);
    for (QWidget* w : loading) {
        if (auto* l = qobject_cast<LoadingView*>(w)) {
            EXPECT_EQ(l->message(), "Finding best models for your setup...");
        }
    }
    ASSERT_TRUE(waitFor([&] { return !view->viewModel().isLoading(); }));
    EXPECT_EQ(view->viewModel().lastContext()->macProfile.totalMemoryGB,
        MacCapabilityProfile::defaultProfile().totalMemoryGB);
    ASSERT_FALSE(view->viewModel().recommendations().empty());

    EXPECT_EQ(view->modelsState(), ModelAdvisorView::ModelsState::results);
    const auto results = view->modelsTabWidgets();
    EXPECT_EQ(countOf<ContextReminderView>(results), 1);
    EXPECT_EQ(view->cards().size(), static_cast<qsizetype>(view->viewModel().recommendations().size()));
    for (auto* card : view->cards())
        EXPECT_FALSE(card->isExpanded());
    EXPECT_EQ(hasLabel(results, "MODELS YOU HAVE"), !view->viewModel().installedRankings().empty());
    EXPECT_EQ(countOf<NotRecommendedSection>(results), view->viewModel().notRecommended().empty() ? 0 : 1);
}

TEST_F(AdvisorWindowTest, DetectedProfileHeadsTheTabAndFeedsTheQuestionnaire)
{
    sources.machine = {profile(18.5, ChipClass::m3Pro), true};
    auto view = makeView();
    view->show();
    ASSERT_TRUE(waitFor([&] { return view->viewModel().macProfile().has_value(); }));
    const auto widgets = view->modelsTabWidgets();
    ASSERT_EQ(countOf<MacContextHeader>(widgets), 1);
    auto* header = qobject_cast<MacContextHeader*>(widgets.first());
    EXPECT_EQ(header->chipText(), "M3 Pro");
    EXPECT_TRUE(header->detailText().startsWith(QStringLiteral("18GB Unified Memory \u00b7 ")));
    EXPECT_TRUE(view->potentialView()->shareButton());

    // Dismissing the questionnaire starts no run.
    view->openQuestionnaire();
    view->questionnaireDialog()->adjustSize();
    EXPECT_EQ(view->questionnaireDialog()->maximumSize(), view->questionnaireDialog()->minimumSize());
    view->questionnaireDialog()->reject();
    waitFor([] { return false; }, 30);
    EXPECT_EQ(*sources.queries, 0);
    EXPECT_EQ(view->modelsState(), ModelAdvisorView::ModelsState::prompt);
    EXPECT_EQ(*sources.detections, 1);
}

TEST_F(AdvisorWindowTest, ResultsShowReminderInstalledRowsAndThreeUnsuitableModels)
{
    sources.answer.models = {installed("llama3.1:8b"), installed("MISTRAL:7B")};
    auto view = makeView();
    view->viewModel().runRecommendations(context(profile(64)));
    ASSERT_TRUE(waitFor([&] { return !view->viewModel().isLoading(); }));
    const auto& vm = view->viewModel();
    const auto widgets = view->modelsTabWidgets();
    int installedRows = 0;
    for (QWidget* w : widgets)
        installedRows += static_cast<int>(w->findChildren<InstalledModelRow*>().size());
    EXPECT_EQ(installedRows, static_cast<int>(vm.installedRankings().size()));
    EXPECT_GE(installedRows, 1);

    std::vector<ModelProfile> five;
    for (const auto& m : ModelDatabase::all())
        five.push_back(m);
    five.resize(5);
    NotRecommendedSection section(five, std::nullopt);
    ASSERT_EQ(section.rows().size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(section.rows()[i].first, QString::fromStdString(five[i].displayName));
        EXPECT_EQ(section.rows()[i].second, "Low Match");
    }

    // A card opened stays open when later results keep it; switching tabs keeps the results.
    view->cards().first()->setExpanded(true);
    view->setSelectedTab(ModelAdvisorView::AdvisorTab::potential);
    view->setSelectedTab(ModelAdvisorView::AdvisorTab::models);
    EXPECT_EQ(view->modelsState(), ModelAdvisorView::ModelsState::results);
    EXPECT_TRUE(view->cards().first()->isExpanded());
}

TEST_F(AdvisorWindowTest, ARunThatFindsNoModelSaysSoInTheResults)
{
    // 24 GB, 12.5 GB available, building alongside: 0.5 GB beside the builds' 12 GB fits no model.
    MacCapabilityProfile mac = profile(24);
    mac.availableMemoryGB = mac.typicalFreeHeadroomGB = 12.5;
    UserRecommendationContext building = context(mac);
    building.runsAlongsideBuilds = true;
    auto view = makeView();
    view->viewModel().runRecommendations(building);
    ASSERT_TRUE(waitFor([&] { return !view->viewModel().isLoading(); }));
    ASSERT_TRUE(view->viewModel().recommendations().empty());

    EXPECT_EQ(view->modelsState(), ModelAdvisorView::ModelsState::results);
    const auto widgets = view->modelsTabWidgets();
    EXPECT_EQ(countOf<QuestionnairePromptCard>(widgets), 0);
    EXPECT_EQ(countOf<ContextReminderView>(widgets), 1);
    NoModelFitsCard* card = nullptr;
    for (QWidget* w : widgets)
        card = card ? card : qobject_cast<NoModelFitsCard*>(w);
    ASSERT_TRUE(card);
    EXPECT_EQ(card->titleText(), "No model fits in 0.5 GB while you build");
    EXPECT_EQ(card->detailText(),
        "The smallest that would, Phi 3.5 Mini 3.8B (Q4_K_M), needs 2.2 GB: close programs to make that room beside "
        "your "
        "builds, or answer that you don't build while it runs.");

    // Without builds the same machine gets its models.
    building.runsAlongsideBuilds = false;
    view->viewModel().runRecommendations(building);
    ASSERT_TRUE(waitFor([&] { return !view->viewModel().isLoading(); }));
    EXPECT_FALSE(view->cards().isEmpty());
    EXPECT_EQ(countOf<NoModelFitsCard>(view->modelsTabWidgets()), 0);
}

TEST_F(AdvisorWindowTest, AThemeChangeRebuildsEveryPartInTheNewTheme)
{
    ThemeManager::shared().setCurrentTheme(AppTheme::standard);
    sources.answer.models = {installed("llama3.1:8b")};
    auto view = makeView();
    view->viewModel().runRecommendations(context(profile(64)));
    ASSERT_TRUE(waitFor([&] { return !view->viewModel().isLoading(); }));
    view->setSelectedTab(ModelAdvisorView::AdvisorTab::frameworks);

    ThemeManager::shared().setCurrentTheme(AppTheme::light);
    const Palette light = Palette::forTheme(AppTheme::light);
    ASSERT_TRUE(waitFor([&] { return view->palette().color(QPalette::Window) == light.background; }));
    // The tab bar, the pages and the cards are all of the new theme, and the tab is kept.
    EXPECT_TRUE(view->tabBar()->styleSheet().contains(light.accent.name()));
    EXPECT_EQ(view->selectedTab(), ModelAdvisorView::AdvisorTab::frameworks);
    EXPECT_EQ(view->tabBar()->currentIndex(), 1);
    EXPECT_FALSE(view->cards().isEmpty());
    ThemeManager::shared().setCurrentTheme(AppTheme::standard);
}

TEST_F(AdvisorWindowTest, ClosingTheWindowMidRunIsSafe)
{
    auto gate = std::make_shared<std::promise<void>>();
    std::shared_future<void> opened = gate->get_future().share();
    auto done = std::make_shared<std::atomic<bool>>(false);
    auto vm = std::make_unique<AdvisorViewModel>(
        [] {
            return DetectedMachine {profile(36), true};
        },
        [opened, done] {
            opened.wait();
            done->store(true);
            return OllamaModelsResult {};
        });
    auto view = std::make_unique<ModelAdvisorView>(std::move(vm), desktop, dialogs, clock);
    view->show();
    view->viewModel().runRecommendations(context(profile(36)));
    view.reset();
    gate->set_value();
    ASSERT_TRUE(waitFor([&] { return done->load(); }));
    QThreadPool::globalInstance()->waitForDone(5000);
    waitFor([] { return false; }, 50);
    SUCCEED();
}
