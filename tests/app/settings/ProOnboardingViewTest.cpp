#include "settings/ProOnboardingView.h"

#include "FakeNotifications.h"

#include "core/HelperAccess.h"

#include "../../shared/views/privacy/PrivacyFixture.h"

#include <QFileInfo>
#include <QLabel>

#include <unistd.h>
#include <vector>

namespace {

class ProOnboardingViewTest : public ::testing::Test
{
protected:
    FakeHelperService helper;
    FakeNotifications notifications;
    // The page's work; it goes before the doubles it uses, waiting for them.
    QThreadPool pool;
    std::vector<bool> continues; // whether processes can be paused, at each Continue
    ProOnboardingView view {unowned<HelperService>(helper), unowned<NotificationPermission>(notifications), &pool,
        [this](bool canPause) { continues.push_back(canPause); }};

    void settle() { ::settle(pool); }
};

} // namespace

TEST_F(ProOnboardingViewTest, SuccessfulInstallOpensContinueAndADoublePressInstallsOnce)
{
    EXPECT_FALSE(view.canContinue());
    view.continueSetup();
    EXPECT_TRUE(continues.empty());

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
    EXPECT_EQ(continues, std::vector<bool> {true});
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
    view.continueSetup();
    EXPECT_EQ(continues, std::vector<bool> {false});

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

TEST_F(ProOnboardingViewTest, WhereThisCopyCannotSetUpTheHelperTheRowSaysWhyAndContinueIsOpen)
{
    // The program runs with none of the three set up, and the page does not say otherwise.
    for (const QLabel* label : view.findChildren<QLabel*>())
        EXPECT_FALSE(label->text().contains("requires")) << label->text().toStdString();
    view.setHelperUnavailable("Not from this copy: the helper comes with the Debian package.");
    EXPECT_EQ(view.helperStateText(), "Not from this copy: the helper comes with the Debian package.");
    EXPECT_TRUE(view.installButtonText().isEmpty());
    view.installHelper();
    settle();
    EXPECT_EQ(helper.installs, 0);
    EXPECT_FALSE(view.hasInstalledHelper());
    ASSERT_TRUE(view.canContinue());
    view.continueSetup();
    EXPECT_EQ(continues, std::vector<bool> {false});
}

TEST(HelperSetupTest, OnlyTheInstalledProgramWithItsSetupProgramMaySetUpTheHelper)
{
    const std::string self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().toStdString();
    // This test program is not the installed one, by path or (when its file is not root's) by owner.
    const QString elsewhere = helperSetupUnavailableReason("/usr/bin/quorvane-pro", ::getpid(), "/bin/sh");
    EXPECT_TRUE(elsewhere.startsWith("Not from this copy")) << elsewhere.toStdString();
    EXPECT_TRUE(elsewhere.contains("Debian package")) << elsewhere.toStdString();
    QFileInfo program(QString::fromStdString(self));
    if (program.ownerId() != 0 || (program.permissions() & (QFile::WriteGroup | QFile::WriteOther)))
        GTEST_SKIP() << "this test program is not root's, so the helper would trust no copy of it";
    EXPECT_TRUE(helperSetupUnavailableReason(self, ::getpid(), "/bin/sh").isEmpty());
    const QString noSetup = helperSetupUnavailableReason(self, ::getpid(), "/nonexistent/quorvane-helper-setup");
    EXPECT_TRUE(noSetup.contains("/nonexistent/quorvane-helper-setup")) << noSetup.toStdString();
}
