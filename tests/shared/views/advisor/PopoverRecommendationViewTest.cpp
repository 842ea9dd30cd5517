#include "AdvisorTestSupport.h"

#include "views/advisor/PopoverRecommendationView.h"

#include "engines/DashboardViewModel.h"
#include "engines/MemoryEngine.h"
#include "engines/OllamaEngine.h"
#include "engines/ThermalEngine.h"
#include "records/ThemeManager.h"

#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <future>

using namespace advisortest;

namespace {

struct PopoverRecommendationViewTest : testing::Test
{
    QTemporaryDir dir;
    std::unique_ptr<DashboardViewModel> dashboard;
    FakeSources sources;
    int advisorsMade = 0;

    void SetUp() override
    {
        QDir(dir.path()).mkpath("proc");
        QDir(dir.path()).mkpath("sys");
        DashboardSources s;
        s.procRoot = dir.filePath("proc").toStdString();
        s.sysRoot = dir.filePath("sys").toStdString();
        s.homePath = dir.path().toStdString();
        s.publicAddressUrl = "http://127.0.0.1:9";
        dashboard = std::make_unique<DashboardViewModel>(std::make_shared<MemoryEngine>(s.procRoot),
            std::make_shared<OllamaEngine>("http://127.0.0.1:9"), std::make_shared<ThermalEngine>(s.sysRoot), s);
    }

    std::unique_ptr<PopoverRecommendationView> makeCard(std::unique_ptr<AdvisorViewModel> vm = nullptr)
    {
        return std::make_unique<PopoverRecommendationView>(*dashboard, vm ? std::move(vm) : sources.make(), [this] {
            ++advisorsMade;
            return new QLabel(QStringLiteral("advisor"));
        });
    }
};

} // namespace

TEST_F(PopoverRecommendationViewTest, PromptUntilRankedThenNamesOnlyTheFirst)
{
    sources.machine.profile = profile(64); // 32 GB available leaves 8 GB beside the builds' 24
    auto card = makeCard();
    EXPECT_TRUE(card->analyzeButton()->isVisibleTo(card.get()));
    EXPECT_EQ(card->analyzeButton()->text(), QStringLiteral("Analyze model compatibility →"));
    card->show();
    ASSERT_TRUE(waitFor([&] { return !card->advisorVM().recommendations().empty(); }));

    // Ranked for the card's fixed answers.
    const auto& context = card->advisorVM().lastContext();
    ASSERT_TRUE(context.has_value());
    EXPECT_EQ(context->primaryUseCase, UseCase::coding);
    EXPECT_EQ(context->speedPreference, UserRecommendationContext::SpeedPreference::balanced);
    EXPECT_EQ(context->contextLengthNeeded, UserRecommendationContext::ContextLength::medium);
    EXPECT_TRUE(context->runsAlongsideBuilds);
    EXPECT_FALSE(context->preferredFramework.has_value());

    const ModelRecommendation& first = card->advisorVM().recommendations().front();
    EXPECT_FALSE(card->analyzeButton()->isVisibleTo(card.get()));
    EXPECT_EQ(card->recommendedLabel()->text(),
        QStringLiteral("Recommended: ") + QString::fromStdString(first.model.displayName));
    EXPECT_EQ(card->summaryLabel()->text(), QString::fromStdString(first.performanceSummary()));
    EXPECT_TRUE(card->summaryLabel()->text().contains(QStringLiteral(" tok/s · ")));
    // At the popover's width the texts reach up to the button rather than wrapping at half the width.
    card->resize(316, card->heightForWidth(316));
    card->layout()->activate();
    card->recommendedLabel()->parentWidget()->layout()->activate();
    EXPECT_EQ(card->recommendedLabel()->geometry().right() + 1 + 8, card->viewAdvisorButton()->geometry().left());

    // Coming on screen again ranks again; the machine is detected once.
    card->hide();
    card->show();
    ASSERT_TRUE(waitFor([&] { return sources.queries->load() == 2 && !card->advisorVM().isLoading(); }));
    EXPECT_EQ(sources.detections->load(), 1);
}

TEST_F(PopoverRecommendationViewTest, NoProfileOrNothingFittingKeepsThePrompt)
{
    // Off screen before the machine is known: the detection finishes, but no ranking starts.
    auto gate = std::make_shared<std::promise<void>>();
    std::shared_future<void> opened = gate->get_future().share();
    auto queries = std::make_shared<std::atomic<int>>(0);
    auto card = makeCard(std::make_unique<AdvisorViewModel>(
        [opened] {
            opened.wait();
            return DetectedMachine {profile(36), true};
        },
        [queries] {
            ++*queries;
            return OllamaModelsResult {};
        }));
    card->show();
    card->hide();
    gate->set_value();
    ASSERT_TRUE(waitFor([&] { return card->advisorVM().macProfile().has_value(); }));
    waitFor([] { return false; }, 50);
    EXPECT_EQ(queries->load(), 0);
    EXPECT_TRUE(card->analyzeButton()->isVisibleTo(card.get()));

    // Nothing fits a 2 GB machine: the prompt stays after the run.
    sources.machine.profile = profile(2);
    auto small = makeCard();
    small->show();
    ASSERT_TRUE(waitFor([&] { return small->advisorVM().lastContext().has_value(); }));
    EXPECT_TRUE(small->advisorVM().recommendations().empty());
    EXPECT_TRUE(small->analyzeButton()->isVisible());
    EXPECT_FALSE(small->viewAdvisorButton()->isVisible());
}

TEST_F(PopoverRecommendationViewTest, EitherButtonOpensTheSheetAndClosingClearsIt)
{
    sources.machine.profile = profile(64); // room for a model beside the builds
    auto card = makeCard();
    card->show();
    QTest::mouseClick(card->analyzeButton(), Qt::LeftButton);
    ASSERT_TRUE(card->showingAdvisor());
    EXPECT_EQ(card->advisorSheet()->size(), QSize(500, 450));
    EXPECT_EQ(advisorsMade, 1);
    // A second press while open adds nothing.
    card->setShowingAdvisor(true);
    EXPECT_EQ(advisorsMade, 1);

    QPushButton* close = nullptr;
    for (auto* b : card->advisorSheet()->findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("Close"))
            close = b;
    ASSERT_NE(close, nullptr);
    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_FALSE(card->showingAdvisor());

    // Dismissed by other means (Escape), the flag drops too, and the sheet opens again.
    ASSERT_TRUE(waitFor([&] { return !card->advisorVM().recommendations().empty(); }));
    QTest::mouseClick(card->viewAdvisorButton(), Qt::LeftButton);
    ASSERT_TRUE(card->showingAdvisor());
    card->advisorSheet()->reject();
    EXPECT_FALSE(card->showingAdvisor());
    card->setShowingAdvisor(true);
    EXPECT_TRUE(card->showingAdvisor());
    EXPECT_EQ(advisorsMade, 3);
}

TEST_F(PopoverRecommendationViewTest, SheetOutlivesTheClosingPopoverFollowsTheThemeAndGoesWithTheCard)
{
    // The popover is a popup that closes as soon as the user turns to the advisor.
    QWidget popup(nullptr, Qt::Popup);
    auto* card = new PopoverRecommendationView(
        *dashboard, sources.make(), [] { return new QLabel(QStringLiteral("advisor")); }, &popup);
    popup.show();
    QTest::mouseClick(card->analyzeButton(), Qt::LeftButton);
    QPointer<AdvisorSheet> sheet = card->advisorSheet();
    ASSERT_TRUE(sheet);
    EXPECT_FALSE(popup.isVisible()) << "the popup gives way to the advisor";
    waitFor([] { return false; }, 30);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_TRUE(card->showingAdvisor());

    ThemeManager::shared().setCurrentTheme(AppTheme::light);
    EXPECT_EQ(sheet->palette().color(QPalette::Window), Palette::forTheme(AppTheme::light).background);
    ThemeManager::shared().setCurrentTheme(AppTheme::cyberpunk);
    EXPECT_EQ(sheet->palette().color(QPalette::Window), Palette::forTheme(AppTheme::cyberpunk).background);

    // Closing the advisor returns to the card: the popup opens again where it was.
    const QPoint at = popup.pos();
    sheet->reject();
    EXPECT_FALSE(card->showingAdvisor());
    EXPECT_TRUE(popup.isVisible());
    EXPECT_EQ(popup.pos(), at);
    popup.hide();

    QTest::mouseClick(card->analyzeButton(), Qt::LeftButton);
    sheet = card->advisorSheet();
    ASSERT_TRUE(sheet);
    delete card;
    EXPECT_TRUE(sheet.isNull());
}

TEST(AdvisorSheetPlacementTest, CentredOverTheHostWithItsWholeFrameOnTheScreen)
{
    const QRect screen(0, 0, 1600, 1000);
    const QSize frame(502, 471);
    // Over a window in the middle: centred on it.
    EXPECT_EQ(AdvisorSheet::placement(QRect(400, 200, 600, 400), frame, screen), QPoint(448, 164));
    // Over the popover at the top-right corner: pushed in until its right and top edges are on the screen.
    const QPoint corner = AdvisorSheet::placement(QRect(1260, 0, 340, 620), frame, screen);
    EXPECT_EQ(corner.x() + frame.width(), 1600);
    EXPECT_EQ(corner.y(), 74);
    // A screen smaller than the sheet keeps its title bar reachable at the top-left.
    EXPECT_EQ(AdvisorSheet::placement(QRect(0, 0, 300, 300), frame, QRect(0, 0, 400, 300)), QPoint(0, 0));
}
