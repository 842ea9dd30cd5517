#include "views/dashboard/HistoryTabView.h"

#include "shared/engines/DashboardTestSupport.h"
#include "support/FakeTools.h"
#include "support/PrivateBus.h"

#include "support/doubles/ui/FakeClock.h"
#include "support/doubles/ui/RecordingDesktop.h"
#include "support/doubles/ui/ScriptedDialogs.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QTimer>

#include <gtest/gtest.h>

TEST(HistoryTabViewTest, ExportAsksWhereSavesThereSaysSoAndRevealsTheFile)
{
    FakeMachine machine;
    auto model = makeModel(machine);
    RecordingDesktop desktop;
    FakeClock clock;
    ScriptedDialogs dialogs;
    QTemporaryDir dir;
    HistoryTabView view(*model, desktop, clock, dialogs);
    EXPECT_EQ(view.exportButton()->text(), "Export CSV Report");
    EXPECT_EQ(view.cpuText(), "CPU: —"); // no CPU sample yet
    for (const QLabel* label : view.findChildren<QLabel*>())
        EXPECT_FALSE(label->text().contains("Time Machine")) << label->text().toStdString(); // Apple's backup

    dialogs.chosenPath = dir.filePath("cpu.csv");
    view.exportButton()->click();
    // The dialog starts in the Documents (or home) folder with the report's own name, never in the temporary
    // folder; the home folder itself may lie under it.
    ASSERT_EQ(dialogs.suggestedPaths.size(), 1);
    EXPECT_TRUE(dialogs.suggestedPaths[0].startsWith(HistoryTabView::exportFolder() + "/Quorvane_History_"));
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    EXPECT_TRUE(HistoryTabView::exportFolder() == documents || HistoryTabView::exportFolder() == QDir::homePath())
        << HistoryTabView::exportFolder().toStdString();
    EXPECT_TRUE(QFile::exists(dialogs.chosenPath));
    // The page promises what the report holds: the time and the CPU load, no processes to scrub back through.
    QFile report(dialogs.chosenPath);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    EXPECT_EQ(report.readLine().trimmed(), "Timestamp,CPUUsage%");
    EXPECT_TRUE(view.subtitleText().contains("CPU")) << view.subtitleText().toStdString();
    EXPECT_FALSE(view.subtitleText().contains("process")) << view.subtitleText().toStdString();
    QThreadPool::globalInstance()->waitForDone(); // the file manager is asked on a worker
    EXPECT_EQ(desktop.revealedFiles, QStringList {dialogs.chosenPath});
    EXPECT_EQ(view.statusText(), "Saved to " + dialogs.chosenPath);
    EXPECT_FALSE(view.isExporting());
    EXPECT_EQ(view.exportButton()->text(), "Export CSV Report");

    // Cancelled: nothing written, nothing revealed, the last message stays.
    dialogs.chosenPath.clear();
    view.exportButton()->click();
    EXPECT_EQ(desktop.revealedFiles.size(), 1);
    EXPECT_FALSE(view.isExporting());

    // A folder that is not there: said so, and nothing revealed.
    dialogs.chosenPath = dir.filePath("missing/cpu.csv");
    view.exportButton()->click();
    EXPECT_EQ(desktop.revealedFiles.size(), 1);
    EXPECT_TRUE(view.statusText().startsWith("Could not save the report to "));
    EXPECT_FALSE(view.isExporting());
}

TEST(HistoryTabViewTest, AFolderHandlerThatHangsNeitherStopsThePageNorHoldsItForLong)
{
    PrivateBus bus;
    if (!bus.isUp())
        GTEST_SKIP() << "no dbus-daemon to run a private bus";
    bus.connect("desktop"); // no file manager on it
    QTemporaryDir dir;
    const QString tools = dir.filePath("tools");
    QDir().mkpath(tools);
    ASSERT_TRUE(writeScript(tools + "/xdg-mime", "exec /bin/sleep 60\n"));
    ASSERT_TRUE(writeScript(tools + "/xdg-open", "exit 0\n"));
    const ScopedPath path(tools);

    FakeMachine machine;
    auto model = makeModel(machine);
    SystemDesktop desktop("desktop");
    FakeClock clock;
    ScriptedDialogs dialogs;
    auto view = std::make_unique<HistoryTabView>(*model, desktop, clock, dialogs);
    dialogs.chosenPath = dir.filePath("cpu.csv");
    QElapsedTimer elapsed;
    elapsed.start();
    view->exportButton()->click();
    EXPECT_LT(elapsed.elapsed(), 1000);
    EXPECT_EQ(view->statusText(), "Saved to " + dialogs.chosenPath);
    // The page goes on answering while the question hangs.
    bool ticked = false;
    QTimer::singleShot(50, [&] { ticked = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticked; }, 1000));

    EXPECT_TRUE(QTest::qWaitFor([&] { return view->statusText().contains("No file manager answered"); }, 10000))
        << view->statusText().toStdString();
    EXPECT_LT(elapsed.elapsed(), 10000);

    // Closed while a reveal is under way: the answer has nobody to go to, and nothing breaks.
    view->exportButton()->click();
    view.reset();
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
}
