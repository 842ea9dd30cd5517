#include "PrivacyFixture.h"

#include "views/privacy/PrivacyCommitmentView.h"
#include "views/privacy/UninstallGuideView.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>

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
        view.pressStep(UninstallGuideView::kVerify);
        ASSERT_TRUE(waitFor([&] { return !view.isVerifying(); }));
    }
};

} // namespace

TEST_F(UninstallGuideViewTest, AuditCoversWhatThePackageLeavesAndOnlyACleanHomeIsConfirmed)
{
    UninstallGuideView view(services());
    QDir(locations.dataDirectory).removeRecursively();
    EXPECT_EQ(view.buttonLabel(3), "Verify Removal");
    audit(view);
    EXPECT_EQ(view.verdictText(), "Nothing Stays Behind ✓");
    EXPECT_EQ(view.checkStatusTexts().size(), 5);
    EXPECT_EQ(view.checkStatusTexts().count("Not installed"), 5); // nothing was there to remove
    EXPECT_EQ(view.buttonLabel(3), "Verify Removal ✓");

    QDir().mkpath(locations.dataDirectory); // an empty folder is no leftover
    audit(view);
    EXPECT_EQ(view.verdictText(), "Nothing Stays Behind ✓");
    EXPECT_EQ(view.checkStatusTexts().count("Empty"), 1);

    // The package's own files (the helper, its log) are apt's to remove, not leftovers of the user's.
    for (const QString& leftover :
        {locations.systemUnitFolder + "/com.quorvane.helper.service", locations.helperFolder + "/quorvane-helper",
            locations.helperLogFolder + "/audit.log", locations.settingsFile, locations.autostartEntry}) {
        touch(leftover);
    }
    // The audit block is rebuilt, not appended to.
    audit(view);
    EXPECT_EQ(view.verdictText(), "Leftovers Found");
    EXPECT_EQ(view.checkStatusTexts().count("Exists"), 3);
    EXPECT_EQ(view.checkStatusTexts().size(), 5);
    // Leftovers take the step's tick away, and the audit can be run again.
    EXPECT_EQ(view.buttonLabel(3), "Verify Removal");
    EXPECT_EQ(view.completedSteps().count(UninstallGuideView::kVerify), 0u);

    // What an audit saw and is gone now was removed; what none saw stays "Not installed".
    QFile::remove(locations.systemUnitFolder + "/com.quorvane.helper.service");
    QFile::remove(locations.autostartEntry);
    audit(view);
    EXPECT_EQ(view.checkStatusTexts().count("Removed"), 2);
    EXPECT_EQ(view.checkStatusTexts().count("Not installed"), 1);
    EXPECT_EQ(view.verdictText(), "Leftovers Found"); // the settings file is still there
}

TEST_F(UninstallGuideViewTest, HelperStepAsksAndIsDoneOnlyOnSuccess)
{
    UninstallGuideView view(services());
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
    UninstallGuideView view(services());
    view.pressStep(2);
    ASSERT_TRUE(waitFor([&] { return view.completedSteps().count(2) == 1; }));
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(dialogs.questions[0].text.contains("resets all settings"));
    EXPECT_TRUE(defaults.allKeys().isEmpty());
    EXPECT_TRUE(logger.fetchAllEvents().empty());
}

TEST_F(UninstallGuideViewTest, PackageStepCopiesTheAptCommandAndRunsNothing)
{
    UninstallGuideView view(services());
    view.pressStep(UninstallGuideView::kRemovePackage);
    EXPECT_EQ(desktop.clipboardText(), "sudo apt purge quorvane-pro");
    EXPECT_EQ(view.completedSteps(), std::set<int> {UninstallGuideView::kRemovePackage});
    EXPECT_TRUE(helper.uninstalls == 0);
}

namespace {

QString labelTexts(const QWidget& card)
{
    QStringList texts;
    for (auto* label : card.findChildren<QLabel*>())
        texts << label->text();
    return texts.join('\n');
}

} // namespace

// $XDG_DATA_HOME and $XDG_CONFIG_HOME move the records and the settings (the tests run with both set to a
// temporary folder): the commitment and the data step name the folders the program uses, from "~" only
// where they lie in the home folder.
TEST_F(UninstallGuideViewTest, CardsNameTheFoldersTheProgramReallyUses)
{
    const QString data = qEnvironmentVariable("XDG_DATA_HOME") + "/Quorvane";
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME") + "/Quorvane";
    ASSERT_FALSE(data.startsWith(QDir::homePath() + "/"));
    const PrivacyServices program = PrivacyServices::standard(nullptr);
    {
        UninstallGuideView guide(program);
        PrivacyCommitmentView commitment(program);
        EXPECT_TRUE(labelTexts(guide).contains(QString("Erases your records in %1 and your settings in %2, and turns "
                                                       "off launch at login.")
                                                   .arg(data, config)))
            << labelTexts(guide).toStdString();
        EXPECT_TRUE(labelTexts(commitment)
                        .contains(QString("All data is stored strictly on this computer: records in "
                                          "%1/, settings in %2/, the helper's audit log in "
                                          "/var/log/quorvane/")
                                      .arg(data, config)))
            << labelTexts(commitment).toStdString();
    }

    // The question before the erasure says where the records are, not "in your home folder".
    dialogs.confirmAnswer = false;
    UninstallGuideView asking(services());
    asking.pressStep(UninstallGuideView::kClearData);
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(dialogs.questions[0].text.startsWith("This removes all audit logs in " + locations.dataDirectory + ","))
        << dialogs.questions[0].text.toStdString();

    // Only named: nothing is written to the home folder.
    PrivacyServices inHome = services();
    inHome.dataDirectory = QDir::homePath() + "/xdg/data/Quorvane";
    inHome.settingsDirectory = QDir::homePath() + "/xdg/config/Quorvane";
    UninstallGuideView guide(inHome);
    PrivacyCommitmentView commitment(inHome);
    EXPECT_TRUE(
        labelTexts(guide).contains("records in ~/xdg/data/Quorvane and your settings in ~/xdg/config/Quorvane,"));
    EXPECT_TRUE(
        labelTexts(commitment).contains("records in ~/xdg/data/Quorvane/, settings in ~/xdg/config/Quorvane/,"));
}
