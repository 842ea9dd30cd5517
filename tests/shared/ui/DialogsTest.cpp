#include "ui/Dialogs.h"

#include "records/ThemeManager.h"
#include "ui/Palette.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
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

namespace {

// Qt's file dialog as the user leaves it: accepted, or closed without a choice; then gone.
void closeFileDialog(QWidget& parent, bool accept)
{
    QPointer<QFileDialog> dialog = parent.findChild<QFileDialog*>();
    ASSERT_TRUE(dialog);
    if (accept)
        static_cast<QDialog*>(dialog.data())->accept(); // QFileDialog hides the slot it overrides
    else
        dialog->reject();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(dialog);
}

} // namespace

// Qt's dialog writes the folders it was used in to the settings file that every Qt program of the user
// shares, as it goes. The program's dialogs leave that file as they found it: absent stays absent, and
// another program's entries stay as they were.
TEST(DialogsTest, FileDialogsLeaveTheSettingsFileQtProgramsShareAsTheyFoundIt)
{
    const QString shared = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/QtProject.conf";
    QFile::remove(shared);
    QWidget parent;
    parent.show();
    SystemDialogs dialogs;
    QTemporaryDir dir;

    QString chosen;
    dialogs.chooseSaveFile(&parent, "Export", dir.filePath("export.json"), [&](const QString& p) { chosen = p; });
    closeFileDialog(parent, true);
    EXPECT_EQ(chosen, dir.filePath("export.json"));
    EXPECT_FALSE(QFile::exists(shared));
    dialogs.chooseFolder(&parent, "Folder", [&](const QString& p) { chosen = p; });
    closeFileDialog(parent, false);
    EXPECT_FALSE(QFile::exists(shared));

    {
        QSettings other(QSettings::UserScope, "QtProject");
        other.setValue("FileDialog/history", QStringList {"file:///elsewhere"});
        other.setValue("Qt/customColors/size", 0);
    }
    dialogs.chooseSaveFile(&parent, "Export", dir.filePath("again.json"), [&](const QString& p) { chosen = p; });
    closeFileDialog(parent, true);
    dialogs.chooseFolder(&parent, "Folder", [&](const QString& p) { chosen = p; });
    closeFileDialog(parent, true);
    QSettings after(QSettings::UserScope, "QtProject");
    after.setFallbacksEnabled(false);
    EXPECT_EQ(after.allKeys(), (QStringList {"FileDialog/history", "Qt/customColors/size"}));
    EXPECT_EQ(after.value("FileDialog/history").toStringList(), QStringList {"file:///elsewhere"});
    QFile::remove(shared);
}
