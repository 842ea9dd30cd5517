#include "PrivacyFixture.h"

#include "views/privacy/OnboardingSteps.h"
#include "views/privacy/OnboardingView.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>

using Workspace = PersonaConfiguration::WorkspacePersona;
using Flavor = PersonaConfiguration::FlavorPersona;

namespace {

QAbstractButton* button(QWidget* page, const QString& text)
{
    for (auto* b : page->findChildren<QAbstractButton*>()) {
        if (b->text() == text)
            return b;
    }
    return nullptr;
}

bool shows(QWidget* page, const QString& text)
{
    for (auto* label : page->findChildren<QLabel*>()) {
        if (label->text() == text)
            return true;
    }
    return false;
}

} // namespace

TEST(OnboardingViewTest, PagesMoveForwardToFinishAndKeepTheChoices)
{
    int completions = 0;
    int setupPagesBuilt = 0;
    OnboardingView flow(
        1, Workspace::aiEngineer, Flavor::bear,
        [&](OnboardingView& f) -> QWidget* {
            ++setupPagesBuilt;
            auto* next = new QPushButton("Continue");
            QObject::connect(next, &QAbstractButton::clicked, &f, [&f] { f.setCurrentStep(5); });
            return next;
        },
        [&] { ++completions; });

    ASSERT_TRUE(shows(flow.page(), "Quorvane"));
    button(flow.page(), "Get Started →")->click();
    EXPECT_EQ(flow.currentStep(), 2);
    ASSERT_TRUE(shows(flow.page(), "Workspace Persona"));
    auto* workspace = static_cast<WorkspaceStepView*>(flow.page());
    EXPECT_EQ(workspace->choices()->selected(), 0);
    workspace->choices()->press(2);
    EXPECT_EQ(flow.workspacePersona(), Workspace::mlResearcher);
    button(flow.page(), "Continue")->click();

    EXPECT_EQ(flow.currentStep(), 3);
    auto* style = static_cast<StyleStepView*>(flow.page());
    EXPECT_EQ(style->choices()->selected(), 1); // the caller's Bear
    style->choices()->press(2);
    EXPECT_EQ(flow.flavorPersona(), Flavor::fox);
    button(flow.page(), "Continue")->click();

    EXPECT_EQ(flow.currentStep(), 4);
    EXPECT_EQ(setupPagesBuilt, 1);
    static_cast<QAbstractButton*>(flow.page())->click();
    EXPECT_EQ(flow.currentStep(), 5);
    ASSERT_TRUE(shows(flow.page(), "✨ Quorvane is Ready"));
    button(flow.page(), "Finish Setup")->click();
    button(flow.page(), "Finish Setup")->click();
    EXPECT_EQ(completions, 2);
    EXPECT_EQ(flow.currentStep(), 5);
    EXPECT_EQ(flow.workspacePersona(), Workspace::mlResearcher);
}

TEST(OnboardingViewTest, TheLastPagePromisesProtectionOnlyWhereProcessesCanBePaused)
{
    for (const bool canPause : {true, false}) {
        OnboardingView flow(4, Workspace::aiEngineer, Flavor::bear, nullptr, [] {});
        flow.finishSetup(canPause);
        ASSERT_EQ(flow.currentStep(), 5);
        QString texts;
        for (auto* label : flow.page()->findChildren<QLabel*>())
            texts += label->text() + '\n';
        EXPECT_EQ(texts.contains("protect your workspace"), canPause) << texts.toStdString();
        EXPECT_EQ(texts.contains("cannot pause background processes"), !canPause) << texts.toStdString();
    }
}

TEST(OnboardingViewTest, TheStylePagePromisesNoFreezingWhereThisCopyCannotSetUpTheHelper)
{
    OnboardingView flow(3, Workspace::aiEngineer, Flavor::lion, nullptr, [] {});
    EXPECT_TRUE(static_cast<StyleStepView*>(flow.page())->note().isEmpty());
    // Known while the page shows: it is built again with the note and the same choice.
    flow.setHelperUnavailable(true);
    auto* style = static_cast<StyleStepView*>(flow.page());
    EXPECT_TRUE(style->note().contains("no style freezes anything")) << style->note().toStdString();
    EXPECT_TRUE(shows(style, style->note()));
    EXPECT_EQ(style->choices()->selected(), 0);
    flow.setHelperUnavailable(false);
    EXPECT_TRUE(static_cast<StyleStepView*>(flow.page())->note().isEmpty());
}

TEST(OnboardingViewTest, StyleCardsDecideFlavourAndAutonomy)
{
    const auto base = PersonaConfiguration::defaultConfiguration();
    for (const auto& [index, autonomous, aggressiveness] :
        std::vector<std::tuple<int, bool, double>> {{0, true, 0.9}, {1, true, 0.5}, {2, false, 0.2}}) {
        Flavor chosen = Flavor::bear;
        StyleStepView page(
            Flavor::bear, [&](Flavor f) { chosen = f; }, [] {});
        page.choices()->press(index);
        EXPECT_EQ(page.choices()->selected(), index);
        const auto c = base.applyingFlavorProfile(Workspace::student, chosen);
        EXPECT_EQ(c.flavorPersona, static_cast<Flavor>(index));
        EXPECT_EQ(c.autonomousModeEnabled, autonomous);
        EXPECT_DOUBLE_EQ(c.aggressivenessLevel, aggressiveness);
    }
}

TEST(OnboardingViewTest, StepsOutsideTheFlowShowAnEmptyCard)
{
    for (int step : {0, 6, -1}) {
        OnboardingView flow(step, Workspace::aiEngineer, Flavor::bear, nullptr, [] {});
        EXPECT_EQ(flow.page(), nullptr);
        flow.grab(); // the empty card still paints
    }
}
