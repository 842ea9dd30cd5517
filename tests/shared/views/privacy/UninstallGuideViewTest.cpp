#include "PrivacyFixture.h"

#include "views/privacy/UninstallGuideView.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

class UninstallGuideViewTest : public PrivacyFixture
{
protected:
    void touch(const QString& path)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    void audit(UninstallGuideView& view)
    {
        view.pressStep(4);
        ASSERT_TRUE(waitFor([&] { return !view.isVerifying(); }));
    }
};

} // namespace

TEST_F(UninstallGuideViewTest, AuditCoversEveryPlaceAndOnlyACleanHomeIsConfirmed)
{
    UninstallGuideView view(services(), dir.filePath("bin/quorvane-pro"));
    QDir(locations.dataDirectory).removeRecursively();
    EXPECT_EQ(view.buttonLabel(4), "Verify Removal");
    audit(view);
    EXPECT_EQ(view.verdictText(), "Complete Removal Confirmed ✓");
    EXPECT_EQ(view.checkStatusTexts().size(), 7);
    EXPECT_EQ(view.checkStatusTexts().count("Removed"), 7);
    EXPECT_EQ(view.buttonLabel(4), "Verify Removal ✓");

    QDir().mkpath(locations.dataDirectory); // an empty folder is no leftover
    audit(view);
    EXPECT_EQ(view.verdictText(), "Complete Removal Confirmed ✓");
    EXPECT_EQ(view.checkStatusTexts().count("Empty"), 1);

    for (const QString& leftover :
        {locations.systemUnitFolder + "/com.quorvane.helper.service", locations.helperFolder + "/quorvane-helper",
            locations.helperLogFolder + "/audit.log", locations.settingsFile, locations.autostartEntry}) {
        touch(leftover);
    }
    // The audit block is rebuilt, not appended to.
    audit(view);
    EXPECT_EQ(view.verdictText(), "Partial Removal Detected");
    EXPECT_EQ(view.checkStatusTexts().count("Exists"), 5);
    EXPECT_EQ(view.checkStatusTexts().size(), 7);
}

TEST_F(UninstallGuideViewTest, HelperStepAsksAndIsDoneOnlyOnSuccess)
{
    UninstallGuideView view(services(), dir.filePath("bin/quorvane-pro"));
    dialogs.confirmAnswer = false;
    view.pressStep(1);
    settle();
    EXPECT_EQ(helper.uninstalls, 0);
    EXPECT_TRUE(view.completedSteps().empty());

    dialogs.confirmAnswer = true;
    helper.uninstallOutcome = {false, "authorization cancelled"};
    view.pressStep(1);
    ASSERT_TRUE(waitFor([&] { return !view.statusText().isEmpty(); }));
    EXPECT_EQ(view.statusText(), "Could not remove the helper: authorization cancelled");
    EXPECT_TRUE(view.completedSteps().empty());
    EXPECT_EQ(view.buttonLabel(1), "Remove Privileged Helper");

    helper.uninstallOutcome = {true, {}};
    view.pressStep(1);
    ASSERT_TRUE(waitFor([&] { return view.completedSteps().count(1) == 1; }));
    EXPECT_EQ(view.buttonLabel(1), "Remove Privileged Helper ✓");
    EXPECT_EQ(helper.uninstalls, 2);
}

TEST_F(UninstallGuideViewTest, DataStepReusesTheClearEverythingQuestion)
{
    defaults.setString("appTheme", "Light");
    logger.log(event("SIGSTOP", "Froze"));
    UninstallGuideView view(services(), dir.filePath("bin/quorvane-pro"));
    view.pressStep(2);
    ASSERT_TRUE(waitFor([&] { return view.completedSteps().count(2) == 1; }));
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(dialogs.questions[0].text.contains("resets all settings"));
    EXPECT_TRUE(defaults.allKeys().isEmpty());
    EXPECT_TRUE(logger.fetchAllEvents().empty());
}

TEST_F(UninstallGuideViewTest, ProgramStepCopiesAQuotedCommandAndDeletesNothing)
{
    const QString program = dir.filePath("it's mine/quorvane-pro");
    touch(program);
    UninstallGuideView view(services(), program);
    view.pressStep(3);
    EXPECT_EQ(desktop.clipboardText(), "rm '" + dir.filePath("it'\\''s mine/quorvane-pro") + "'");
    EXPECT_TRUE(QFileInfo::exists(program));
    EXPECT_EQ(view.completedSteps(), std::set<int> {3});
}
