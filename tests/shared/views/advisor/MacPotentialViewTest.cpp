#include "AdvisorTestSupport.h"

#include "views/advisor/MacPotentialView.h"
#include "views/advisor/MemoryComparisonView.h"

#include "support/doubles/ui/FakeClock.h"
#include "support/doubles/ui/RecordingDesktop.h"
#include "support/doubles/ui/ScriptedDialogs.h"

#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace advisortest;

namespace {

struct PotentialTest : testing::Test
{
    FakeClock clock;
    RecordingDesktop desktop;
    ScriptedDialogs dialogs;
};

} // namespace

TEST_F(PotentialTest, TitleAloneUntilAProfileArrives)
{
    MacPotentialView view(std::nullopt, false, desktop, dialogs, clock);
    EXPECT_EQ(view.shareButton(), nullptr);
    EXPECT_EQ(view.memoryComparison(), nullptr);
    view.copyReport();
    EXPECT_EQ(desktop.copies, 0);

    view.setProfile(profile(36), true);
    ASSERT_TRUE(view.shareButton());
    EXPECT_EQ(view.memoryComparison()->rank(), 28);
    EXPECT_EQ(view.shareMenu()->actions().size(), 2);
}

TEST_F(PotentialTest, CopyShowsTheToastForTwoSecondsFromTheFirstPress)
{
    MacPotentialView view(profile(36), true, desktop, dialogs, clock);
    view.copyReport();
    EXPECT_EQ(desktop.clipboardText(), view.reportText());
    EXPECT_TRUE(view.isToastShown());
    EXPECT_EQ(view.toastText(), "Copied to clipboard");
    clock.advance(1500);
    view.copyReport();
    clock.advance(499);
    EXPECT_TRUE(view.isToastShown());
    clock.advance(1);
    EXPECT_FALSE(view.isToastShown());
    clock.advance(1500);
    EXPECT_FALSE(view.isToastShown());
}

TEST_F(PotentialTest, SaveWritesTheReportToTheChosenFile)
{
    QTemporaryDir dir;
    MacPotentialView view(profile(16), false, desktop, dialogs, clock);
    dialogs.chosenPath = dir.filePath("report.txt");
    view.saveReport();
    QFile file(dialogs.chosenPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), view.reportText());
    EXPECT_EQ(view.toastText(), "Saved to report.txt");

    // A cancelled chooser writes nothing and says nothing; an unwritable place says so.
    clock.advance(2000);
    dialogs.chosenPath.clear();
    view.saveReport();
    EXPECT_FALSE(view.isToastShown());
    dialogs.chosenPath = dir.filePath("missing/folder/report.txt");
    view.saveReport();
    EXPECT_EQ(view.toastText(), "Could not save report.txt");
    EXPECT_EQ(desktop.copies, 0);
}
