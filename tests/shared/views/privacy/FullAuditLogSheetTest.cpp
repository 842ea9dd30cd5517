#include "PrivacyFixture.h"

#include "records/ThemeManager.h"
#include "views/privacy/FullAuditLogSheet.h"
#include "views/privacy/PrivacyExports.h"

#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QRegularExpression>
#include <QScrollBar>

namespace {

class FullAuditLogSheetTest : public PrivacyFixture
{
protected:
    std::vector<AuditEvent> sample()
    {
        std::vector<AuditEvent> events {
            event("SIGSTOP", "Froze chrome"),
            event("Spotlight", "Paused indexing"),
            event("Power", "Read CPU power"),
            event("Low-power", "Entered saver"),
            event("System", "Checked version"),
        };
        events[0].targetProcess = "firefox";
        return events;
    }
};

std::vector<std::string> actions(const std::vector<AuditEvent>& events)
{
    std::vector<std::string> out;
    for (const auto& e : events)
        out.push_back(e.actionDescription);
    return out;
}

} // namespace

TEST_F(FullAuditLogSheetTest, SearchMatchesActionOrCategoryAndChipsMatchCategoryInAnyCase)
{
    const auto events = sample();
    using S = FullAuditLogSheet;
    EXPECT_EQ(S::filtered(events, "", "All").size(), events.size());
    EXPECT_EQ(actions(S::filtered(events, "CHROME", "All")), std::vector<std::string> {"Froze chrome"});
    EXPECT_EQ(actions(S::filtered(events, "spotlight", "All")), std::vector<std::string> {"Paused indexing"});
    // The process acted on is part of the row, so a search finds it.
    EXPECT_EQ(actions(S::filtered(events, "firefox", "All")), std::vector<std::string> {"Froze chrome"});
    EXPECT_EQ(
        actions(S::filtered(events, "", "Power")), (std::vector<std::string> {"Read CPU power", "Entered saver"}));
    EXPECT_EQ(actions(S::filtered(events, "saver", "Power")), std::vector<std::string> {"Entered saver"});
    EXPECT_TRUE(S::filtered(events, " ", "SIGCONT").empty());
}

TEST_F(FullAuditLogSheetTest, ListFollowsChipsWhileExportsAlwaysWriteTheWholeLog)
{
    for (const auto& e : sample())
        logger.log(e);
    FullAuditLogSheet sheet(services());
    sheet.show();
    ASSERT_TRUE(waitFor([&] { return sheet.events().size() == 5; }));
    EXPECT_EQ(sheet.countText(), "5 total privileged events recorded locally");
    EXPECT_FALSE(sheet.isEmptyStateShown());

    sheet.selectFilter("SIGCONT");
    EXPECT_TRUE(sheet.isEmptyStateShown());
    sheet.selectFilter("Spotlight");
    sheet.setSearchText("paused");
    EXPECT_EQ(sheet.listedEvents().size(), 1u);

    dialogs.chosenPath = dir.filePath("log.csv");
    sheet.exportCsv();
    QFile csv(dialogs.chosenPath);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll().count('\n'), 6);

    dialogs.chosenPath = dir.filePath("log.json");
    sheet.exportJson();
    QFile json(dialogs.chosenPath);
    ASSERT_TRUE(json.open(QIODevice::ReadOnly));
    EXPECT_EQ(Json::parse(json.readAll().toStdString()).size(), 5u);

    dialogs.chosenPath = dir.filePath("missing/log.json");
    sheet.exportJson();
    EXPECT_TRUE(sheet.statusText().startsWith("Export failed: "));
}

TEST_F(FullAuditLogSheetTest, RowsNameTheProcessAndTheIndexerChipKeepsTheStoredCategory)
{
    logger.log(AuditEvent {Uuid::random(), now(), "SIGSTOP", "Suspended process", "firefox", 4242, true});
    logger.log(
        AuditEvent {Uuid::random(), now(), "SIGCONT", "Resumed process failed: No such process", "make", 77, false});
    logger.log(event("Spotlight", "Paused file indexing"));
    FullAuditLogSheet sheet(services());
    sheet.show();
    ASSERT_TRUE(waitFor([&] { return sheet.events().size() == 3; }));
    EXPECT_EQ(sheet.rowTexts(),
        (QStringList {"Paused file indexing", "Resumed process make (PID 77) failed: No such process",
            "Suspended process firefox (PID 4242)"}));

    sheet.setSearchText("FIREFOX");
    EXPECT_EQ(sheet.rowTexts(), QStringList {"Suspended process firefox (PID 4242)"});
    sheet.setSearchText("file indexing");
    EXPECT_EQ(sheet.listedEvents().size(), 1u);
    sheet.setSearchText("");

    // Labelled for this system, filtering on the value the audit files hold.
    EXPECT_EQ(sheet.chipLabels(), (QStringList {"All", "SIGSTOP", "SIGCONT", "File indexing", "Power", "System"}));
    sheet.selectFilter("Spotlight");
    EXPECT_EQ(sheet.rowTexts(), QStringList {"Paused file indexing"});
    EXPECT_EQ(Json::parse(PrivacyExports::auditLogJson(sheet.events()).toStdString())[0]["category"], "Spotlight");
}

TEST_F(FullAuditLogSheetTest, AnEmptyLogShowsTheEmptyStateAndStillExports)
{
    FullAuditLogSheet sheet(services());
    sheet.show();
    settle();
    EXPECT_EQ(sheet.countText(), "0 total privileged events recorded locally");
    EXPECT_TRUE(sheet.isEmptyStateShown());
    dialogs.chosenPath = dir.filePath("empty.csv");
    sheet.exportCsv();
    QFile csv(dialogs.chosenPath);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll(), "Timestamp,Category,Action,Success\n");
}

TEST_F(FullAuditLogSheetTest, TheSearchFieldReadsOnTheDarkSheetAndTheChipsLeaveItRoom)
{
    ThemeManager::shared().setCurrentTheme(AppTheme::standard);
    FullAuditLogSheet sheet(services());
    sheet.show();
    settle();
    QLineEdit* field = sheet.searchField();
    EXPECT_GE(field->width(), FullAuditLogSheet::kSearchMinWidth);

    // Typed text in the theme's light text colour, not the desktop's black.
    field->setText(QStringLiteral("WWWWWWWW"));
    const QImage image = sheet.grab(QRect(field->mapTo(&sheet, QPoint()), field->size())).toImage();
    int light = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            light += image.pixelColor(x, y).lightness() > 150;
    EXPECT_GT(light, 20);
}

TEST_F(FullAuditLogSheetTest, LongRowsEndInAnEllipsisWithinTheListAndItsBarFollowsTheDarkTheme)
{
    ThemeManager::shared().setCurrentTheme(AppTheme::standard);
    const std::string path = "/opt/models/" + std::string(300, 'x') + "/llama-server";
    logger.log(AuditEvent {Uuid::random(), now(), "SIGSTOP", "Suspended process", path, 4242, false});
    for (int i = 0; i < 30; ++i)
        logger.log(event("System", "Checked version"));
    FullAuditLogSheet sheet(services());
    sheet.show();
    ASSERT_TRUE(waitFor([&] { return sheet.events().size() == 31; }));
    settle();

    QListView* list = sheet.list();
    EXPECT_EQ(list->horizontalScrollBar()->maximum(), 0);
    const int longRow = int(sheet.rowTexts().indexOf(QRegularExpression("Suspended process .*")));
    ASSERT_GE(longRow, 0);
    const QModelIndex index = list->model()->index(longRow, 0);
    // The whole row, with its status mark at the trailing edge, lies inside the list's visible width.
    EXPECT_LE(list->visualRect(index).right(), list->viewport()->width() - 1);
    EXPECT_TRUE(index.data(Qt::ToolTipRole).toString().contains(QString::fromStdString(path)));

    // The scroll bar is drawn dark on the dark sheet, not in the desktop's light grey.
    QScrollBar* bar = list->verticalScrollBar();
    ASSERT_TRUE(bar->isVisible());
    const QImage image = sheet.grab(QRect(bar->mapTo(&sheet, QPoint()), bar->size())).toImage();
    int light = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            light += image.pixelColor(x, y).lightness() > 150;
    EXPECT_EQ(light, 0);
}
