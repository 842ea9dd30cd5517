#include "SettingsTestSupport.h"

#include "core/NotificationCenter.h"
#include "core/Notifications.h"
#include "settings/SettingsButton.h"
#include "settings/SettingsTour.h"
#include "settings/TourCard.h"

#include "core/HelperAccess.h"

using namespace settingstest;

namespace {

class SettingsTourTest : public SettingsFixture
{
protected:
    // One second passes and the window's timer ticks.
    void tick(int seconds = 1)
    {
        for (int i = 0; i < seconds; ++i) {
            m_clock.advance(1000);
            m_view->tour().advance();
        }
    }
};

TEST_F(SettingsTourTest, LeftAloneItWalksGeneralSensorsSystemInfoThenCloses)
{
    SettingsView& view = makeView();
    view.setActiveTab(3);
    EXPECT_FALSE(view.tourCard().isVisibleTo(&view));
    NotificationCenter::defaultCenter().post(Notifications::startSettingsTour);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.tour().isActive(); }, 2000));
    EXPECT_TRUE(view.tourCard().isVisibleTo(&view));
    EXPECT_EQ(view.activeTab(), 0);
    EXPECT_EQ(view.tourCard().titleText(), "⚙️ Preferences & General");
    EXPECT_FALSE(view.tourCard().backButton()->isEnabled());

    tick(3);
    EXPECT_EQ(view.tour().step(), 0);
    tick();
    EXPECT_EQ(view.tour().step(), 1);
    EXPECT_EQ(view.activeTab(), 5);
    tick(4);
    EXPECT_EQ(view.tour().step(), 2);
    EXPECT_EQ(view.activeTab(), 11);
    tick(4);
    EXPECT_EQ(view.tour().step(), 3);
    EXPECT_EQ(view.activeTab(), 11);
    EXPECT_EQ(view.tourCard().titleText(), "Tour Complete! 🎉");
    EXPECT_EQ(view.tourCard().nextButton()->text(), "Finish");
    tick(4);
    EXPECT_FALSE(view.tour().isActive());
    EXPECT_FALSE(view.tourCard().isVisibleTo(&view));
    EXPECT_EQ(view.activeTab(), 11);
}

TEST_F(SettingsTourTest, BackSkipAndAnEarlyNext)
{
    SettingsView& view = makeView();
    SettingsTour& tour = view.tour();
    tour.start();
    view.tourCard().nextButton()->click();
    tick(2);
    view.tourCard().nextButton()->click();
    EXPECT_EQ(tour.step(), 2);

    // Back goes one step, selects its page and restarts the wait.
    tick(3);
    view.tourCard().backButton()->click();
    EXPECT_EQ(tour.step(), 1);
    EXPECT_EQ(view.activeTab(), 5);
    tick(3);
    EXPECT_EQ(tour.step(), 1);
    tick();
    EXPECT_EQ(tour.step(), 2);

    // Next a second before the automatic advance moves one step, and the next advance waits 4 s.
    tick(3);
    view.tourCard().nextButton()->click();
    EXPECT_EQ(tour.step(), 3);
    tick(3);
    EXPECT_TRUE(tour.isActive());
    tick();
    EXPECT_FALSE(tour.isActive());

    // Skip leaves page and step; the next start begins again on General.
    tour.start();
    view.tourCard().nextButton()->click();
    view.tourCard().skipButton()->click();
    EXPECT_FALSE(tour.isActive());
    EXPECT_EQ(tour.step(), 1);
    EXPECT_EQ(view.activeTab(), 5);
    tick(10);
    EXPECT_FALSE(tour.isActive());
    tour.start();
    EXPECT_EQ(tour.step(), 0);
    EXPECT_EQ(view.activeTab(), 0);
}

} // namespace

TEST_F(SettingsTourTest, TheLastStepClaimsBackgroundWorkOnlyWhereItRuns)
{
    PersonaConfiguration on = PersonaConfiguration::defaultConfiguration();
    on.autonomousModeEnabled = true;
    SettingsView& view = makeView(on);
    m_viewModel->setHelperAccess(HelperAccess::notInstalled);
    SettingsTour& tour = view.tour();
    tour.start();
    // No temperature sensor on this machine: the sensor step promises none.
    tour.next();
    EXPECT_TRUE(view.tourCard().bodyText().contains("reports no temperature"))
        << view.tourCard().bodyText().toStdString();
    tour.next();
    tour.next();
    ASSERT_EQ(tour.step(), 3);
    EXPECT_FALSE(view.tourCard().bodyText().contains("fully active"));
    EXPECT_TRUE(view.tourCard().bodyText().contains("without its helper"));

    m_viewModel->setHelperAccess(HelperAccess::available);
    EXPECT_TRUE(view.tourCard().bodyText().contains("fully active"));

    // With the helper but switching off, nothing runs in the background either.
    on.autonomousModeEnabled = false;
    m_viewModel->updateConfiguration(on);
    settle();
    EXPECT_FALSE(view.tourCard().bodyText().contains("fully active"));
    EXPECT_TRUE(view.tourCard().bodyText().contains("switching is off"));
}
