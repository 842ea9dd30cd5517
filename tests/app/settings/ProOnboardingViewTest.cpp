#include "settings/ProOnboardingView.h"

#include "FakeNotifications.h"

#include "../../shared/views/privacy/PrivacyFixture.h"

namespace {

class ProOnboardingViewTest : public ::testing::Test
{
protected:
    FakeHelperService helper;
    FakeNotifications notifications;
    // The page's work; it goes before the doubles it uses, waiting for them.
    QThreadPool pool;
    int continues = 0;
    ProOnboardingView view {helper, notifications, &pool, [this] { ++continues; }};

    void settle() { ::settle(pool); }
};

} // namespace

TEST_F(ProOnboardingViewTest, SuccessfulInstallOpensContinueAndADoublePressInstallsOnce)
{
    EXPECT_FALSE(view.canContinue());
    view.continueSetup();
    EXPECT_EQ(continues, 0);

    view.installHelper();
    EXPECT_TRUE(view.isRegistering());
    view.installHelper();
    ASSERT_TRUE(waitFor([&] { return !view.isRegistering(); }));
    settle();
    EXPECT_EQ(helper.installs, 1);
    EXPECT_TRUE(view.hasInstalledHelper());
    EXPECT_EQ(view.helperStateText(), "Installed ✓");
    EXPECT_TRUE(view.installButtonText().isEmpty());
    view.continueSetup();
    EXPECT_EQ(continues, 1);
}

TEST_F(ProOnboardingViewTest, FailedInstallIsShownWithARetryAndNeverAsInstalled)
{
    helper.installOutcome = {false, "authorization cancelled"};
    view.installHelper();
    ASSERT_TRUE(waitFor([&] { return !view.isRegistering(); }));
    EXPECT_FALSE(view.hasInstalledHelper());
    EXPECT_EQ(view.helperStateText(), "Helper installation failed: authorization cancelled");
    EXPECT_EQ(view.installButtonText(), "Retry");
    EXPECT_TRUE(view.canContinue());

    helper.installOutcome = {true, {}};
    view.installHelper();
    ASSERT_TRUE(waitFor([&] { return view.hasInstalledHelper(); }));
    EXPECT_EQ(view.helperStateText(), "Installed ✓");
    EXPECT_EQ(helper.installs, 2);
}

TEST_F(ProOnboardingViewTest, NotificationsAreAllowedOnlyWhenTheServiceAnswers)
{
    notifications.answer = false;
    view.allowNotifications();
    ASSERT_TRUE(waitFor([&] { return notifications.asks == 1; }));
    settle();
    EXPECT_FALSE(view.hasGrantedNotifications());
    EXPECT_TRUE(view.notificationStateText().startsWith("No notification service answered"));

    notifications.answer = true;
    view.allowNotifications();
    ASSERT_TRUE(waitFor([&] { return view.hasGrantedNotifications(); }));
    EXPECT_EQ(view.notificationStateText(), "Allowed ✓");
    EXPECT_FALSE(view.canContinue());
}
