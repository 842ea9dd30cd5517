#include "ui/Palette.h"
#include "core/SystemColors.h"
#include "core/UserDefaults.h"
#include "records/ThemeManager.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(PaletteTest, LightThemeUsesTheLightNamedColoursAndBlackText)
{
    const Palette light = Palette::forTheme(AppTheme::light);
    EXPECT_EQ(light.text, QColor(Qt::black));
    EXPECT_EQ(light.red, SystemColors::light::red);
    EXPECT_EQ(light.secondaryText, SystemColors::light::secondaryLabel);
    for (AppTheme dark : {AppTheme::standard, AppTheme::cyberpunk, AppTheme::nordic, AppTheme::ink}) {
        const Palette p = Palette::forTheme(dark);
        EXPECT_EQ(p.text, QColor(Qt::white));
        EXPECT_EQ(p.red, SystemColors::red);
        EXPECT_FALSE(p.light);
    }
    EXPECT_NEAR(withOpacity(SystemColors::secondaryLabel, 0.5).alphaF(), 140 / 255.0 * 0.5, 0.01);
}

TEST(PaletteTest, FollowersSeeAThemeChangeAtOnceUntilTheyAreGone)
{
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath("settings.conf"));
    ThemeManager themes(defaults);
    auto receiver = std::make_unique<QObject>();
    QList<AppTheme> seen;
    followTheme(themes, receiver.get(), [&](const Palette& p) { seen << p.theme; });

    themes.setCurrentTheme(AppTheme::light);
    themes.setCurrentTheme(AppTheme::nordic);
    EXPECT_EQ(seen, (QList<AppTheme> {AppTheme::light, AppTheme::nordic}));

    receiver.reset();
    themes.setCurrentTheme(AppTheme::ink);
    EXPECT_EQ(seen.size(), 2);
}
