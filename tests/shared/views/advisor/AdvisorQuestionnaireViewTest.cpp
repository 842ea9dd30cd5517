#include "AdvisorTestSupport.h"

#include "views/advisor/AdvisorQuestionnaireView.h"
#include "views/advisor/QuestionnaireChoices.h"

#include <QPushButton>

#include <gtest/gtest.h>

using namespace advisortest;
using SpeedPreference = UserRecommendationContext::SpeedPreference;
using ContextLength = UserRecommendationContext::ContextLength;

namespace {

struct QuestionnaireTest : testing::Test
{
    std::vector<UserRecommendationContext> handed;
    AdvisorQuestionnaireView view {
        [this](const UserRecommendationContext& c) { handed.push_back(c); }, profile(48, ChipClass::m3Max)};
};

} // namespace

TEST_F(QuestionnaireTest, NextWaitsForAUseCaseAndBackIsAbsentOnTheFirstStep)
{
    EXPECT_EQ(view.step(), 0);
    EXPECT_FALSE(view.nextButton()->isEnabled());
    EXPECT_TRUE(view.backButton()->isHidden());
    EXPECT_EQ(view.nextButton()->text(), QStringLiteral("Next \u2192"));
    view.nextButton()->click();
    EXPECT_EQ(view.step(), 0);
    for (auto* card : view.useCaseCards())
        EXPECT_FALSE(card->isSelected());

    view.useCaseCards().at(3)->click();
    EXPECT_EQ(view.primaryUseCase(), UseCase::research);
    EXPECT_TRUE(view.useCaseCards().at(3)->isSelected());
    EXPECT_EQ(view.step(), 0) << "choosing does not advance";
    EXPECT_TRUE(view.nextButton()->isEnabled());
    ASSERT_EQ(view.useCaseCards().size(), 10);
}

TEST_F(QuestionnaireTest, LaterStepsStartAnsweredAndTheProgressGrowsByQuarters)
{
    view.useCaseCards().first()->click();
    EXPECT_DOUBLE_EQ(view.progressFraction(), 0.25);
    for (int step = 1; step <= 3; ++step) {
        view.nextButton()->click();
        EXPECT_EQ(view.step(), step);
        EXPECT_TRUE(view.nextButton()->isEnabled());
        EXPECT_FALSE(view.backButton()->isHidden());
        EXPECT_DOUBLE_EQ(view.progressFraction(), (step + 1) * 0.25);
    }
    EXPECT_EQ(view.nextButton()->text(), "Get Recommendations");
    EXPECT_TRUE(view.speedRows().at(1)->isSelected());
    EXPECT_TRUE(view.lengthRows().at(1)->isSelected());
    EXPECT_TRUE(view.buildsNoCard()->isSelected());
    EXPECT_FALSE(view.buildsYesCard()->isSelected());
    EXPECT_FALSE(view.isBuildsNoteShown());
    view.buildsYesCard()->click();
    EXPECT_TRUE(view.isBuildsNoteShown());
    EXPECT_EQ(view.step(), 3);
    EXPECT_TRUE(handed.empty());
}

TEST_F(QuestionnaireTest, AnswersSurviveGoingBackToTheStartAndForwardAgain)
{
    view.useCaseCards().at(4)->click();
    view.nextButton()->click();
    view.speedRows().at(0)->click();
    view.nextButton()->click();
    view.lengthRows().at(2)->click();
    view.nextButton()->click();
    view.buildsYesCard()->click();
    for (int i = 0; i < 3; ++i)
        view.backButton()->click();
    EXPECT_EQ(view.step(), 0);
    EXPECT_TRUE(view.backButton()->isHidden());
    EXPECT_TRUE(view.useCaseCards().at(4)->isSelected());
    for (int i = 0; i < 3; ++i)
        view.nextButton()->click();
    EXPECT_EQ(view.primaryUseCase(), UseCase::reasoning);
    EXPECT_EQ(view.speedPreference(), SpeedPreference::fastest);
    EXPECT_EQ(view.contextLength(), ContextLength::long_);
    EXPECT_TRUE(view.runsAlongsideBuilds());
    EXPECT_TRUE(view.speedRows().at(0)->isSelected());
    EXPECT_TRUE(view.lengthRows().at(2)->isSelected());
}

TEST_F(QuestionnaireTest, GetRecommendationsHandsTheAnswersOnEachPress)
{
    view.useCaseCards().at(2)->click();
    view.nextButton()->click();
    view.speedRows().at(2)->click();
    view.nextButton()->click();
    view.nextButton()->click();
    view.buildsYesCard()->click();
    view.nextButton()->click();
    view.nextButton()->click();
    ASSERT_EQ(handed.size(), 2u);
    EXPECT_EQ(view.step(), 3);
    for (const auto& c : handed) {
        EXPECT_EQ(c.primaryUseCase, UseCase::writing);
        EXPECT_EQ(c.speedPreference, SpeedPreference::quality);
        EXPECT_EQ(c.contextLengthNeeded, ContextLength::medium);
        EXPECT_TRUE(c.runsAlongsideBuilds);
        EXPECT_FALSE(c.preferredFramework);
        EXPECT_TRUE(c.triedModels.empty());
        EXPECT_TRUE(c.installedModels.empty());
        EXPECT_EQ(c.macProfile.chipClass, ChipClass::m3Max);
        EXPECT_EQ(c.macProfile.totalMemoryGB, 48);
    }
}
