#include "PrivacyFixture.h"

#include "support/FakeFileManager.h"
#include "support/FakeTools.h"
#include "support/PrivateBus.h"
#include "ui/NumberText.h"
#include "views/privacy/DataInventoryView.h"
#include "views/privacy/GranularClearView.h"
#include "views/privacy/InventoryRefresh.h"
#include "views/privacy/UninstallGuideView.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

namespace {

class DataInventoryViewTest : public PrivacyFixture
{
protected:
    void showLoaded(DataInventoryView& view)
    {
        view.show();
        ASSERT_TRUE(waitFor([&] { return view.inventory().has_value(); }));
    }
};

// The system's file dialogs with scripted questions.
class SystemFileDialogs : public ScriptedDialogs
{
public:
    void chooseSaveFile(QWidget* parent, const QString& title, const QString& suggestedPath,
        std::function<void(const QString&)> chosen) override
    {
        m_system.chooseSaveFile(parent, title, suggestedPath, std::move(chosen));
    }

private:
    SystemDialogs m_system;
};

Json readJson(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return Json::parse(file.readAll().toStdString());
}

} // namespace

TEST_F(DataInventoryViewTest, RowsUsePluralCountsAndListTheSuspendedProcessFile)
{
    logger.log(event("SIGSTOP", "Froze node"));
    QDir().mkpath(locations.dataDirectory);
    QFile suspended(locations.dataDirectory + "/suspended_processes.json");
    ASSERT_TRUE(suspended.open(QIODevice::WriteOnly));
    suspended.write(R"({"bootId":"b","processes":[{"a":1},{"b":2},{"c":3}]})");
    suspended.close();

    DataInventoryView view(services());
    EXPECT_TRUE(view.rowTexts().isEmpty());
    showLoaded(view);
    const auto rows = view.rowTexts();
    ASSERT_EQ(rows.size(), 6);
    EXPECT_EQ(rows[0].mid(0, 2), (QStringList {"Audit Log", "1 entries"}));
    EXPECT_EQ(rows[1].first(), "Assistance History"); // what assistance_history.json holds
    EXPECT_EQ(rows[4].mid(0, 2), (QStringList {"Suspended Processes", "3 processes"}));
    EXPECT_EQ(rows[5].mid(0, 2), (QStringList {"Preferences / Settings", "Configurations"}));
    EXPECT_GT(view.inventory()->suspendedProcessesSizeBytes, 0);
    EXPECT_EQ(view.inventory()->totalSizeBytes(),
        view.inventory()->auditLogSizeBytes + view.inventory()->settingsSizeBytes
            + view.inventory()->suspendedProcessesSizeBytes + view.inventory()->memoryHistorySizeBytes
            + view.inventory()->buildHistorySizeBytes + view.inventory()->weeklyDigestSizeBytes);
}

TEST_F(DataInventoryViewTest, ExportWritesAFreshSummaryOnceEvenWhenPressedTwice)
{
    DataInventoryView view(services());
    showLoaded(view);
    logger.log(event("Power", "Read power"));
    logger.log(event("SIGSTOP", "Froze \"x\"/y"));
    dialogs.chosenPath = dir.filePath("export.json");

    view.exportAllData();
    EXPECT_TRUE(view.isExporting());
    view.exportAllData();
    ASSERT_TRUE(waitFor([&] { return !view.isExporting(); }));
    EXPECT_EQ(dialogs.titles.size(), 1);
    const Json j = readJson(dialogs.chosenPath);
    EXPECT_EQ(j["inventory"]["auditLogEntries"], 2);
    ASSERT_EQ(j["auditLog"].size(), 2u);
    EXPECT_EQ(j["auditLog"][0]["action"], "Froze \"x\"/y");
    EXPECT_TRUE(view.statusText().isEmpty());
}

TEST_F(DataInventoryViewTest, CancelWritesNothingAndAFailedWriteSaysSo)
{
    DataInventoryView view(services());
    showLoaded(view);
    dialogs.chosenPath.clear();
    QWidget* exportButton = nullptr;
    for (auto* button : view.findChildren<QAbstractButton*>())
        exportButton = button->text() == "Export all data as JSON" ? button : exportButton;
    ASSERT_NE(exportButton, nullptr);
    view.exportAllData();
    EXPECT_FALSE(view.isExporting());
    EXPECT_TRUE(view.statusText().isEmpty());
    // Focus went on while the button was disabled; it comes back to the button.
    EXPECT_EQ(view.focusWidget(), exportButton);

    dialogs.chosenPath = dir.filePath("no/such/folder/export.json");
    view.exportAllData();
    ASSERT_TRUE(waitFor([&] { return !view.isExporting(); }));
    EXPECT_TRUE(view.statusText().startsWith("Export failed: ")) << view.statusText().toStdString();
    EXPECT_FALSE(QFileInfo::exists(dialogs.chosenPath));
}

TEST_F(DataInventoryViewTest, OpeningTheDataFolderCreatesItFirstAndSaysWhenNoFileManagerAnswers)
{
    DataInventoryView view(services());
    QSignalSpy answered(&view, &DataInventoryView::folderOpenAnswered);
    QDir(locations.dataDirectory).removeRecursively();
    view.openInFileManager();
    ASSERT_TRUE(waitFor([&] { return answered.count() == 1; }));
    EXPECT_TRUE(QFileInfo(locations.dataDirectory).isDir());
    EXPECT_EQ(desktop.openedFolders, QStringList {locations.dataDirectory});
    EXPECT_TRUE(view.statusText().isEmpty());
    EXPECT_FALSE(view.offersPathToCopy());

    desktop.foldersOpen = false;
    view.openInFileManager();
    ASSERT_TRUE(waitFor([&] { return answered.count() == 2; }));
    EXPECT_TRUE(view.statusText().startsWith("No file manager answered"));
    EXPECT_TRUE(view.statusText().endsWith(locations.dataDirectory));
    ASSERT_TRUE(view.offersPathToCopy());
}

TEST_F(DataInventoryViewTest, AFileManagerThatRefusesTheFolderHasNotOpenedIt)
{
    PrivateBus bus;
    if (!bus.isUp())
        GTEST_SKIP() << "no dbus-daemon to run a private bus";
    FakeFileManager fileManager;
    ASSERT_TRUE(fileManager.serveOn(bus.connect("file-manager")));
    bus.connect("desktop");
    SystemDesktop system("desktop");
    // Nothing to fall back on: no xdg-open, no xdg-mime.
    const ScopedPath noTools(dir.filePath("no-tools"));
    PrivacyServices withFileManager = services();
    withFileManager.desktop = &system;
    DataInventoryView view(withFileManager);
    QSignalSpy answered(&view, &DataInventoryView::folderOpenAnswered);

    view.openInFileManager();
    ASSERT_TRUE(waitFor([&] { return answered.count() == 1; }));
    EXPECT_EQ(fileManager.shown, QStringList {QUrl::fromLocalFile(locations.dataDirectory).toString()});
    EXPECT_TRUE(view.statusText().isEmpty());

    fileManager.refuses = true;
    view.openInFileManager();
    ASSERT_TRUE(waitFor([&] { return answered.count() == 2; }, 15000));
    EXPECT_TRUE(view.statusText().startsWith("No file manager answered")) << view.statusText().toStdString();
    EXPECT_TRUE(view.offersPathToCopy());
}

TEST_F(DataInventoryViewTest, TheFolderHandlerHasOpenedTheFolderOnlyWhenItEndsWell)
{
    PrivateBus bus;
    if (!bus.isUp())
        GTEST_SKIP() << "no dbus-daemon to run a private bus";
    bus.connect("desktop"); // no file manager on it
    SystemDesktop system("desktop");
    const QString tools = dir.filePath("tools");
    QDir().mkpath(tools);
    ASSERT_TRUE(writeScript(tools + "/xdg-mime", "echo files.desktop\n"));
    // xdg-open's status when the program it started for the folder failed, once the test lets it end
    // (or ten seconds have passed, so that it never outlives the test).
    const QByteArray go = dir.filePath("go").toLocal8Bit();
    ASSERT_TRUE(writeScript(tools + "/xdg-open",
        "i=0\nuntil [ -e '" + go + "' ] || [ $i -ge 200 ]; do /bin/sleep 0.05; i=$((i + 1)); done\nexit 4\n"));
    const ScopedPath path(tools);
    PrivacyServices withHandler = services();
    withHandler.desktop = &system;
    DataInventoryView view(withHandler);
    QSignalSpy answered(&view, &DataInventoryView::folderOpenAnswered);

    view.openInFileManager();
    // The page goes on answering while the handler runs, and is not answered before it ends.
    bool ticked = false;
    QTimer::singleShot(50, [&] { ticked = true; });
    EXPECT_TRUE(waitFor([&] { return ticked; }, 1000));
    EXPECT_EQ(answered.count(), 0);
    QFile(QString::fromLocal8Bit(go)).open(QIODevice::WriteOnly);
    ASSERT_TRUE(waitFor([&] { return answered.count() == 1; }, 15000));
    EXPECT_TRUE(view.statusText().startsWith("No file manager answered")) << view.statusText().toStdString();
    EXPECT_TRUE(view.offersPathToCopy());

    ASSERT_TRUE(writeScript(tools + "/xdg-open", "exit 0\n"));
    view.openInFileManager();
    ASSERT_TRUE(waitFor([&] { return answered.count() == 2; }, 15000));
    EXPECT_TRUE(view.statusText().isEmpty()) << view.statusText().toStdString();
}

// Qt's own file dialog writes the folder saved into to $XDG_CONFIG_HOME/QtProject.conf as it goes, a file the
// privacy pages neither name nor erase nor look for. An export through it leaves no such file, before and
// after Clear Everything, and the removal check's "Nothing Stays Behind" holds.
TEST_F(DataInventoryViewTest, AnExportThroughTheFileDialogLeavesNoFileThePrivacyPagesDoNotKnow)
{
    const QString qtSettings
        = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/QtProject.conf";
    QFile::remove(qtSettings);
    SystemFileDialogs fileDialogs;
    PrivacyServices s = services();
    s.dialogs = &fileDialogs;
    DataInventoryView view(s);
    showLoaded(view);

    view.exportAllData();
    QPointer<QFileDialog> dialog = view.findChild<QFileDialog*>();
    ASSERT_TRUE(dialog);
    const QString exported = dir.filePath("export.json");
    dialog->selectFile(exported);
    static_cast<QDialog*>(dialog.data())->accept();
    ASSERT_TRUE(waitFor([&] { return !view.isExporting(); }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(dialog);
    EXPECT_TRUE(QFileInfo::exists(exported));
    EXPECT_FALSE(QFileInfo::exists(qtSettings));

    GranularClearView erase(s);
    QSignalSpy cleared(&erase, &GranularClearView::cleared);
    erase.requestClearEverything();
    ASSERT_TRUE(waitFor([&] { return cleared.count() == 1; }));
    UninstallGuideView guide(s);
    guide.pressStep(UninstallGuideView::kVerify);
    ASSERT_TRUE(waitFor([&] { return !guide.isVerifying(); }));
    EXPECT_EQ(guide.verdictText(), "Nothing Stays Behind ✓");
    EXPECT_FALSE(QFileInfo::exists(qtSettings));
}

// Opened before setup has written anything, the card follows what is written while it is on screen: the
// settings file and a first day of assistance history show without opening the page again. One day is a
// day. A hidden card measures nothing.
TEST_F(DataInventoryViewTest, AmountsFollowFilesWrittenWhileTheCardIsShown)
{
    DataInventoryView view(services());
    showLoaded(view);
    EXPECT_EQ(view.rowTexts().value(1).value(1), "0 days");
    EXPECT_EQ(view.rowTexts().value(5).value(2), "Zero KB");

    defaults.setBool("hasFinishedOnboarding", true);
    defaults.sync();
    assistance.record(AssistanceCategory::memory, "Model Unloaded", "Unloaded m", "RAM restored", 0, 0, 0);
    const qint64 settingsBytes = QFileInfo(locations.settingsFile).size();
    ASSERT_GT(settingsBytes, 0);
    clock.advance(InventoryRefresh::kRefreshMs);
    ASSERT_TRUE(waitFor([&] { return view.rowTexts().value(5).value(2) != "Zero KB"; }));
    EXPECT_EQ(view.rowTexts()[5][2], NumberText::byteText(settingsBytes));
    EXPECT_EQ(view.rowTexts()[1][1], "1 day");
    EXPECT_GE(view.inventory()->totalSizeBytes(), settingsBytes + view.inventory()->memoryHistorySizeBytes);

    view.hide();
    clock.advance(3 * InventoryRefresh::kRefreshMs);
    EXPECT_EQ(clock.pending(), 0);
}
