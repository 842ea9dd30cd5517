#include "../PopoverTestSupport.h"

#include "../../settings/FakeNotifications.h"

#include "popover/AssistanceHistorySection.h"
#include "popover/PopoverView.h"
#include "settings/ProOnboardingView.h"
#include "support/PoolHold.h"
#include "support/doubles/TallyingHelperService.h"
#include "views/privacy/OnboardingView.h"

#include <QApplication>
#include <QThreadPool>

#include <memory>

// The popover's work outlives the popover: what it uses goes with it, not with the popover or with whoever
// gave it. The pool is held while the popover and what it was given go, so that the work starts only
// after them (the sanitizer build sees any touch of what they freed).

namespace {

class PopoverWorkLifetimeTest : public popovertest::PopoverFixture
{
};

TEST_F(PopoverWorkLifetimeTest, ThePopoverAndItsHelperServiceGoWhileTheSetupPagesInstallWaits)
{
    settings.setHasFinishedOnboarding(false);
    auto tally = std::make_shared<TallyingHelperService::Tally>();
    PopoverEngines engines;
    engines.helperService = std::make_shared<TallyingHelperService>(tally);
    engines.notificationPermission = std::make_shared<FakeNotifications>();
    auto view = std::make_unique<PopoverView>(
        *dashboard, *personaVM, PopoverHooks {}, std::move(engines), settings, themes, clock, nullptr);
    view->show();
    view->onboarding()->setCurrentStep(4);
    QApplication::processEvents();
    auto* page = view->findChild<ProOnboardingView*>();
    ASSERT_NE(page, nullptr);
    {
        PoolHold hold(*QThreadPool::globalInstance());
        page->installHelper();
        view.reset(); // the service's only other holder
    }
    QThreadPool::globalInstance()->waitForDone();
    QApplication::processEvents();
    EXPECT_EQ(tally->installs.load(), 1);
}

TEST_F(PopoverWorkLifetimeTest, TheHistorySectionAndATrackerNotTheProgramsOwnGoWhileTheLoadWaits)
{
    auto given = std::make_shared<AssistanceTracker>(dir.filePath(QStringLiteral("given")));
    given->record(AssistanceCategory::storage, "Archived llama", "", "12 GB", 0, 12, 0);
    auto section = std::make_unique<AssistanceHistorySection>(AssistanceHistorySection::loaderFor(given), themes);
    {
        PoolHold hold(*QThreadPool::globalInstance());
        section->show(); // starts a load
        section.reset();
        given.reset();
    }
    QThreadPool::globalInstance()->waitForDone();
    QApplication::processEvents();
}

} // namespace
