#include "views/dashboard/HistoryTabView.h"

#include "shared/engines/DashboardTestSupport.h"

#include "ui/Desktop.h"
#include "ui/FakeClock.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

TEST(HistoryTabViewTest, ExportRevealsEachWrittenFile)
{
    FakeMachine machine;
    auto model = makeModel(machine);
    RecordingDesktop desktop;
    FakeClock clock;
    HistoryTabView view(*model, desktop, clock);
    EXPECT_EQ(view.exportButton()->text(), "Export CSV Report");
    EXPECT_EQ(view.cpuText(), "CPU: —"); // no CPU sample yet
    for (const QLabel* label : view.findChildren<QLabel*>())
        EXPECT_FALSE(label->text().contains("Time Machine")) << label->text().toStdString(); // Apple's backup

    view.exportButton()->click();
    QThread::msleep(5); // the file name carries the time in seconds with its fraction
    view.exportButton()->click();
    ASSERT_EQ(desktop.revealedFiles.size(), 2);
    EXPECT_NE(desktop.revealedFiles[0], desktop.revealedFiles[1]);
    for (const QString& path : desktop.revealedFiles) {
        EXPECT_TRUE(QFile::exists(path));
        QFile::remove(path);
    }
    EXPECT_FALSE(view.isExporting());
    EXPECT_EQ(view.exportButton()->text(), "Export CSV Report");
}

TEST(HistoryTabViewTest, FailedWriteRevealsNothing)
{
    FakeMachine machine;
    auto model = makeModel(machine);
    RecordingDesktop desktop;
    FakeClock clock;
    HistoryTabView view(*model, desktop, clock);
    const QByteArray saved = qgetenv("TMPDIR");
    QTemporaryDir dir;
    qputenv("TMPDIR", (dir.path() + QStringLiteral("/missing")).toLocal8Bit());
    view.exportReport();
    qputenv("TMPDIR", saved);
    EXPECT_TRUE(desktop.revealedFiles.isEmpty());
    EXPECT_FALSE(view.isExporting());
}
