#include "PopoverTestSupport.h"

#include "shared/views/advisor/AdvisorTestSupport.h"

#include "popover/PopoverTabPanel.h"
#include "popover/PopoverView.h"
#include "popover/SymbolButton.h"
#include "popover/TabDock.h"
#include "views/advisor/PopoverRecommendationView.h"

#include <QTest>

using popovertest::PopoverFixture;
using Page = PopoverTabPanel::Page;

namespace {

class MemoryTabSuggestionCardTest : public PopoverFixture
{
protected:
    std::shared_ptr<std::atomic<int>> rankings = std::make_shared<std::atomic<int>>(0);

    std::unique_ptr<PopoverView> makeView()
    {
        PopoverEngines engines;
        engines.suggestionCard = [rankings = rankings](DashboardViewModel& dashboardVM, QWidget* parent) {
            auto vm = std::make_unique<AdvisorViewModel>(
                [] {
                    return DetectedMachine {advisortest::profile(64), true};
                },
                [rankings] {
                    ++*rankings;
                    return OllamaModelsResult {};
                });
            return new PopoverRecommendationView(
                dashboardVM, std::move(vm), [] { return new QWidget; }, parent);
        };
        return std::make_unique<PopoverView>(
            *dashboard, *personaVM, PopoverHooks {}, engines, settings, themes, clock, nullptr);
    }

    bool ranked(PopoverRecommendationView* card, int times)
    {
        return advisortest::waitFor([&] { return rankings->load() == times && !card->advisorVM().isLoading(); });
    }
};

} // namespace

TEST_F(MemoryTabSuggestionCardTest, SitsUnderTheSplitBarAndRanksEachTimeItComesOnScreen)
{
    settings.setPopoverSelectedTab(0);
    auto view = makeView();
    view->show();
    // Before the first sample the tab shows its loading indicator alone.
    EXPECT_EQ(view->tabPanel()->suggestionCard(), nullptr);

    dashboard->publishSample(sample());
    auto* card = qobject_cast<PopoverRecommendationView*>(view->tabPanel()->suggestionCard());
    ASSERT_NE(card, nullptr);
    ASSERT_TRUE(ranked(card, 1));
    EXPECT_TRUE(card->isVisible());
    EXPECT_FALSE(card->advisorVM().recommendations().empty());
    QWidget* split = view->tabPanel()->page(Page::memorySplit);
    EXPECT_GT(card->y(), split->geometry().bottom()) << "below the split bar";

    // The dashboard's ticks redraw the bar; they start no ranking.
    for (int i = 0; i < 3; ++i)
        dashboard->publishSample(sample(32, 12 + i));
    advisortest::waitFor([] { return false; }, 50);
    EXPECT_EQ(rankings->load(), 1);

    // Another tab hides the card; back on the memory tab it ranks again.
    QTest::mouseClick(view->dock()->buttons()[0], Qt::LeftButton);
    EXPECT_EQ(view->tabPanel()->currentPage(), Page::cpu);
    EXPECT_FALSE(card->isVisible());
    QTest::mouseClick(view->dock()->buttons()[3], Qt::LeftButton);
    EXPECT_EQ(view->tabPanel()->suggestionCard(), card) << "the same card, with its own view model";
    ASSERT_TRUE(ranked(card, 2));

    // So does reopening the popover.
    view->hide();
    view->show();
    ASSERT_TRUE(ranked(card, 3));
}
