#include "ui/Dialogs.h"

#include "records/ThemeManager.h"
#include "ui/Palette.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

// A window takes the application's palette, not its parent's: without its own it would be drawn in the
// light system style over a dark theme.
TEST(DialogsTest, QuestionsAndFileDialogsAreDrawnInTheThemeAndFollowIt)
{
    ThemeManager::shared().setCurrentTheme(AppTheme::standard);
    const Palette dark = Palette::forTheme(AppTheme::standard);
    const Palette light = Palette::forTheme(AppTheme::light);
    QWidget parent;
    parent.show();
    SystemDialogs dialogs;

    std::optional<bool> answer;
    dialogs.confirm(
        &parent, {"Erase everything?", "It cannot be undone.", "Erase", true}, [&](bool yes) { answer = yes; });
    auto* box = parent.findChild<QMessageBox*>();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->palette().color(QPalette::Window), dark.background);
    EXPECT_EQ(box->palette().color(QPalette::WindowText), dark.text);
    for (auto* button : box->findChildren<QPushButton*>())
        EXPECT_EQ(button->palette().color(QPalette::ButtonText), dark.text) << button->text().toStdString();
    ThemeManager::shared().setCurrentTheme(AppTheme::light);
    EXPECT_EQ(box->palette().color(QPalette::Window), light.background);
    box->reject();
    EXPECT_EQ(answer, false);

    QTemporaryDir dir;
    std::optional<QString> chosen;
    dialogs.chooseSaveFile(&parent, "Export", dir.filePath("export.json"), [&](const QString& p) { chosen = p; });
    auto* save = parent.findChild<QFileDialog*>();
    ASSERT_TRUE(save);
    // The desktop's own dialog would not take the palette.
    EXPECT_TRUE(save->testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(save->palette().color(QPalette::Window), light.background);
    ThemeManager::shared().setCurrentTheme(AppTheme::standard);
    EXPECT_EQ(save->palette().color(QPalette::Text), dark.text);
    save->reject();
    EXPECT_EQ(chosen, QString());
}
