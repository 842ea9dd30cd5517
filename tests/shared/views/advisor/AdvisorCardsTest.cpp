#include "AdvisorTestSupport.h"

#include "views/advisor/CommandBox.h"
#include "views/advisor/FrameworkAdvisorView.h"
#include "views/advisor/FrameworkCard.h"
#include "views/advisor/RankedCardHeader.h"
#include "views/advisor/RecommendationCardView.h"

#include "advisor-kit/FrameworkRecommendationEngine.h"
#include "support/doubles/ui/FakeClock.h"
#include "support/doubles/ui/RecordingDesktop.h"
#include "ui/CopyButton.h"
#include "ui/Palette.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace advisortest;

namespace {

struct CardsTest : testing::Test
{
    FakeClock clock;
    RecordingDesktop desktop;
    Palette palette = Palette::current();
};

FrameworkRecommendation framework(long long rank, std::string command, std::optional<std::string> badge = {})
{
    FrameworkRecommendation f;
    f.id = Uuid::random();
    f.rank = rank;
    f.badge = std::move(badge);
    f.installCommand = std::move(command);
    f.installInstructions = "Start here.";
    f.officialWebsite = "https://lmstudio.ai";
    f.pros = {"Fast"};
    return f;
}

} // namespace

TEST_F(CardsTest, CopyConfirmsUntilTwoSecondsAfterTheFirstPress)
{
    RecommendationCardView card(recommendation(1, "mistral:7b"), desktop, clock);
    EXPECT_FALSE(card.isExpanded());
    EXPECT_FALSE(card.commandBox()->isVisibleTo(&card)) << "a closed card never shows the command";
    QTest::mouseClick(card.header(), Qt::LeftButton, {}, QPoint(card.header()->width() - 2, 2));
    ASSERT_TRUE(card.isExpanded());
    EXPECT_TRUE(card.commandBox()->isVisibleTo(&card));

    CopyButton* copy = card.commandBox()->copyButton();
    ASSERT_TRUE(copy);
    copy->click();
    EXPECT_EQ(desktop.clipboardText(), "ollama pull mistral:7b");
    clock.advance(1000);
    copy->click();
    EXPECT_EQ(desktop.copies, 2);
    clock.advance(999);
    EXPECT_EQ(copy->labelText(), "Copied!");
    clock.advance(1);
    EXPECT_EQ(copy->labelText(), "Copy") << "the first press's reset ends the confirmation";
    clock.advance(1000);
    EXPECT_EQ(copy->labelText(), "Copy");
}

TEST_F(CardsTest, DetailSectionsFollowWhatTheRecommendationHolds)
{
    auto plain = recommendation(2, "phi3.5:3.8b");
    plain.warning.reset();
    RecommendationCardView bare(plain, desktop, clock);
    EXPECT_EQ(bare.detailSections(), QStringList({"reasons", "install"}));

    auto full = recommendation(1, "llama3.1:8b");
    full.tradeoffs = {{Uuid::random(), "Slower", ModelRecommendation::Tradeoff::Severity::significant}};
    full.warning = "Check the licence";
    RecommendationCardView rich(full, desktop, clock);
    EXPECT_EQ(rich.detailSections(), QStringList({"reasons", "tradeoffs", "warning", "install"}));
}

TEST_F(CardsTest, RankColoursAndBorders)
{
    for (long long rank : {1, 2, 3, 4, 0}) {
        auto r = recommendation(static_cast<int>(rank), "mistral:7b");
        RecommendationCardView card(r, desktop, clock);
        const QColor expected = rank == 1 ? palette.blue
            : rank == 2                   ? palette.purple
            : rank == 3                   ? palette.green
                                          : palette.secondaryText;
        EXPECT_EQ(card.header()->rankColor(), expected) << rank;
        EXPECT_EQ(
            card.borderColor(), rank == 1 ? withOpacity(palette.blue, 0.3) : withOpacity(palette.secondaryText, 0.1))
            << rank;
        EXPECT_TRUE(card.header()->badgeText().isEmpty());
    }
    auto badged = recommendation(1, "mistral:7b");
    badged.badge = ModelRecommendation::Badge::alreadyHave;
    EXPECT_EQ(RecommendationCardView(badged, desktop, clock).header()->badgeText(), "ALREADY INSTALLED");
}

TEST_F(CardsTest, FrameworkCardOffersOnlyARunnableCommand)
{
    FrameworkCard withCommand(framework(1, "pip install mlx-lm", "RECOMMENDED"), desktop, clock);
    EXPECT_EQ(withCommand.header()->badgeText(), "RECOMMENDED");
    ASSERT_TRUE(withCommand.commandBox());
    withCommand.toggleExpanded();
    for (int i = 0; i < 3; ++i) {
        withCommand.commandBox()->copyButton()->click();
        clock.advance(500);
    }
    EXPECT_EQ(desktop.copies, 3);
    EXPECT_EQ(desktop.clipboardText(), "pip install mlx-lm");
    EXPECT_TRUE(withCommand.commandBox()->copyButton()->isConfirming());
    clock.advance(500);
    EXPECT_FALSE(withCommand.commandBox()->copyButton()->isConfirming());

    FrameworkCard download(framework(2, "Download from lmstudio.ai"), desktop, clock);
    ASSERT_TRUE(download.commandBox());
    EXPECT_EQ(download.commandBox()->copyButton(), nullptr);
    EXPECT_EQ(download.commandBox()->shownText(), "Download from lmstudio.ai");

    FrameworkCard none(framework(3, ""), desktop, clock);
    EXPECT_EQ(none.commandBox(), nullptr);
    EXPECT_EQ(FrameworkCard(framework(4, "x", "FASTEST"), desktop, clock).header()->rankColor(), palette.secondaryText);

    // A tap on the header's empty middle opens and closes the details.
    QTest::mouseClick(none.header(), Qt::LeftButton, {}, QPoint(none.header()->width() / 2, 5));
    EXPECT_TRUE(none.isExpanded());
    QTest::mouseClick(none.header(), Qt::LeftButton, {}, QPoint(none.header()->width() / 2, 5));
    EXPECT_FALSE(none.isExpanded());
}

TEST_F(CardsTest, FrameworkListPromptsWhenEmptyAndKeepsOpenCards)
{
    FrameworkAdvisorView view({}, desktop, clock);
    EXPECT_TRUE(view.isEmptyPromptShown());
    EXPECT_TRUE(view.cards().isEmpty());

    const auto ranked = FrameworkRecommendationEngine().recommend(context(profile(36)), 3);
    view.setRecommendations(ranked);
    ASSERT_EQ(view.cards().size(), static_cast<qsizetype>(ranked.size()));
    EXPECT_FALSE(view.isEmptyPromptShown());
    view.cards().first()->toggleExpanded();
    FrameworkCard* first = view.cards().first();
    view.setRecommendations(ranked);
    EXPECT_EQ(view.cards().first(), first);
    EXPECT_TRUE(view.cards().first()->isExpanded());
}
