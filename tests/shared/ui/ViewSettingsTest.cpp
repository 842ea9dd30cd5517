#include "ui/ViewSettings.h"
#include "core/UserDefaults.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct ViewSettingsTest : testing::Test
{
    QTemporaryDir dir;
    UserDefaults defaults {dir.filePath("settings.conf")};
};

} // namespace

TEST_F(ViewSettingsTest, DefaultsBeforeAnyWrite)
{
    const ViewSettings settings(defaults);
    EXPECT_TRUE(settings.showMenuBarSparkline());
    EXPECT_TRUE(settings.showMenuBarCPURing());
    EXPECT_TRUE(settings.showMenuBarTextReadouts());
    EXPECT_FALSE(settings.hasFinishedOnboarding());
    EXPECT_FALSE(settings.useTelemetryCharts());
    EXPECT_EQ(settings.popoverSelectedTab(), 1);
    EXPECT_TRUE(defaults.allKeys().isEmpty());
}

TEST_F(ViewSettingsTest, ChangeInOneWindowIsSeenAtOnceInAnother)
{
    ViewSettings popover(defaults);
    ViewSettings settingsWindow(defaults);
    QSignalSpy changed(&popover, &ViewSettings::valueChanged);
    QSignalSpy menuBar(&popover, &ViewSettings::menuBarSettingsChanged);

    settingsWindow.setShowMenuBarCPURing(false);
    EXPECT_FALSE(popover.showMenuBarCPURing());
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toString(), "showMenuBarCPURing");
    EXPECT_EQ(menuBar.count(), 1);

    settingsWindow.setPopoverSelectedTab(3);
    EXPECT_EQ(popover.popoverSelectedTab(), 3);
    EXPECT_EQ(menuBar.count(), 1); // not a label setting
}

TEST_F(ViewSettingsTest, StoredValuesSurviveANewStoreAndBadValuesFallBack)
{
    ViewSettings(defaults).setShowMenuBarTextReadouts(false);
    defaults.setValue(ViewSettings::popoverSelectedTabKey, QStringLiteral("not a number"));
    defaults.sync();
    UserDefaults reopened(dir.filePath("settings.conf"));
    const ViewSettings settings(reopened);
    EXPECT_FALSE(settings.showMenuBarTextReadouts());
    EXPECT_EQ(settings.popoverSelectedTab(), 1);
}
