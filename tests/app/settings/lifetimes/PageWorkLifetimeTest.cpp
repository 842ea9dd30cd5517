#include "../FakeNotifications.h"
#include "../SettingsTestSupport.h"

#include "../../../shared/views/privacy/PrivacyFixture.h"

#include "settings/ProOnboardingView.h"
#include "support/AllocationPause.h"
#include "support/PoolHold.h"
#include "support/doubles/TallyingHelperService.h"
#include "views/privacy/GranularClearView.h"

#include <QThreadPool>

#include <memory>

// The pages' work outlives the pages, and what it uses belongs to whoever gave it to them. Each round
// holds the worker at one more of its allocations (in the sanitizer build, which sees any touch of freed
// memory) while the page goes and then everything it was given, pool last but first to go.

namespace {

TEST(PageWorkLifetimeTest, APrivacyPageAndWhatItMeasuresGoWhileTheMeasurementRuns)
{
    for (int allowed = 0;; ++allowed) {
        auto given = std::make_unique<PrivacyDoubles>();
        auto page = std::make_unique<GranularClearView>(given->services());
        bool delivered = false;
        QObject::connect(page.get(), &GranularClearView::inventoryLoaded, [&delivered] { delivered = true; });
        const bool held = allocationpause::releasedWhileHeld(
            allowed, [&] { page->show(); },
            [&] {
                page.reset();
                given.reset();
            });
        EXPECT_FALSE(delivered) << allowed;
        if (!held)
            break;
    }
}

TEST(PageWorkLifetimeTest, TheSetupPageAndTheHelperItInstallsGoWhileTheInstallRuns)
{
    struct Given
    {
        std::shared_ptr<FakeHelperService> helper = std::make_shared<FakeHelperService>();
        std::shared_ptr<FakeNotifications> notifications = std::make_shared<FakeNotifications>();
        QThreadPool pool;
    };
    for (int allowed = 0;; ++allowed) {
        auto given = std::make_unique<Given>();
        auto page = std::make_unique<ProOnboardingView>(given->helper, given->notifications, &given->pool, [](bool) {});
        bool delivered = false;
        QObject::connect(page.get(), &ProOnboardingView::installFinished, [&delivered] { delivered = true; });
        const bool held = allocationpause::releasedWhileHeld(
            allowed, [&] { page->installHelper(); },
            [&] {
                page.reset();
                // The install goes on without the page, to its end.
                given->pool.waitForDone();
                EXPECT_EQ(given->helper->installs, 1) << allowed;
                given.reset();
            });
        EXPECT_FALSE(delivered) << allowed;
        if (!held)
            break;
    }
}

class SettingsWorkLifetimeTest : public settingstest::SettingsFixture
{
};

TEST_F(SettingsWorkLifetimeTest, TheWindowAndItsHelperServiceGoWhileThePrivacyPagesStatusReadsWait)
{
    auto tally = std::make_shared<TallyingHelperService::Tally>();
    m_helperService = std::make_shared<TallyingHelperService>(tally);
    SettingsView& view = makeView();
    m_helperService.reset(); // the window holds the only other
    view.show();
    {
        PoolHold hold(*QThreadPool::globalInstance());
        view.setActiveTab(4); // Privacy: the inspector and the activity timeline read the helper's status
        closeView();
    }
    QThreadPool::globalInstance()->waitForDone();
    QApplication::processEvents();
    EXPECT_EQ(tally->statusReads.load(), 2);
}

} // namespace
