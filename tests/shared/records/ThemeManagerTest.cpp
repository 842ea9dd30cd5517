#include "records/ThemeManager.h"
#include "records/ActivePersonaTracker.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct ThemeManagerTest : testing::Test
{
    QTemporaryDir dir;
    UserDefaults defaults {dir.filePath("defaults.conf")};
};

} // namespace

TEST_F(ThemeManagerTest, NoStoredValueStartsStandardAndWritesNothing)
{
    ThemeManager manager(defaults);
    EXPECT_EQ(manager.currentTheme(), AppTheme::standard);
    EXPECT_FALSE(defaults.contains("appTheme"));
}

TEST_F(ThemeManagerTest, StartsFromAnExactStoredRawValueOnly)
{
    defaults.setString("appTheme", "Ink");
    EXPECT_EQ(ThemeManager(defaults).currentTheme(), AppTheme::ink);

    defaults.setString("appTheme", "light");
    EXPECT_EQ(ThemeManager(defaults).currentTheme(), AppTheme::standard);
    EXPECT_EQ(defaults.string("appTheme"), QStringLiteral("light"));
}

TEST_F(ThemeManagerTest, EveryAssignmentIsPublishedAndStoredEvenWhenUnchanged)
{
    ThemeManager manager(defaults);
    QSignalSpy published(&manager, &ThemeManager::currentThemeChanged);
    QSignalSpy written(&defaults, &UserDefaults::valueChanged);
    manager.setCurrentTheme(AppTheme::light);
    EXPECT_EQ(defaults.string("appTheme"), QStringLiteral("Light"));
    manager.setCurrentTheme(AppTheme::nordic);
    manager.setCurrentTheme(AppTheme::nordic);
    EXPECT_EQ(published.count(), 3);
    EXPECT_EQ(written.count(), 3);
    EXPECT_EQ(published.last().at(0).value<AppTheme>(), AppTheme::nordic);
    EXPECT_EQ(ThemeManager(defaults).currentTheme(), AppTheme::nordic);
}

TEST(AppThemeTest, ForegroundsResolveAgainstTheThemesOwnLightness)
{
    for (AppTheme theme : allCases<AppTheme>()) {
        const bool light = theme == AppTheme::light;
        EXPECT_EQ(isLight(theme), light);
        EXPECT_EQ(textColor(theme), light ? QColor(Qt::black) : QColor(Qt::white));
        // Secondary text must stay readable on the theme's own background, whatever the desktop uses.
        EXPECT_EQ(secondaryTextColor(theme).lightness() > 128, contentBackground(theme).lightness() < 128);
    }
    EXPECT_EQ(accentColor(AppTheme::ink), textColor(AppTheme::ink));
    EXPECT_EQ(secondaryAccent(AppTheme::ink), secondaryTextColor(AppTheme::ink));
    EXPECT_EQ(accentColor(AppTheme::cyberpunk).spec(), QColor::Rgb);
    EXPECT_EQ(static_cast<int>(backgroundMaterial(AppTheme::cyberpunk)), 21);
}

TEST(ActivePersonaTrackerTest, EveryUpdateNotifiesEvenWithoutAChange)
{
    auto& tracker = ActivePersonaTracker::shared();
    EXPECT_TRUE(tracker.activePersonas().isEmpty());
    QSignalSpy changed(&tracker, &ActivePersonaTracker::activePersonasChanged);
    tracker.updateActivePersonas({"Compile Mode", "Battery Mode"});
    tracker.updateActivePersonas({"Battery Mode", "Compile Mode"});
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(tracker.activePersonas(), (QSet<QString> {"Compile Mode", "Battery Mode"}));
    tracker.updateActivePersonas({});
    EXPECT_EQ(changed.count(), 3);
    EXPECT_TRUE(tracker.activePersonas().isEmpty());

    // The property's setter behaves as the update does.
    tracker.setActivePersonas({"Battery Mode"});
    tracker.setActivePersonas({"Battery Mode"});
    EXPECT_EQ(changed.count(), 5);
    EXPECT_EQ(changed.last().first().value<QSet<QString>>(), QSet<QString> {"Battery Mode"});
    tracker.setActivePersonas({});
    EXPECT_EQ(changed.count(), 6);
    EXPECT_TRUE(tracker.activePersonas().isEmpty());
}
