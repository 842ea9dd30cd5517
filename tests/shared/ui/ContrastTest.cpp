#include "ui/Contrast.h"
#include "ui/Palette.h"

#include <gtest/gtest.h>

TEST(ContrastTest, RatiosAndTheTextColoursChosenOnFills)
{
    EXPECT_NEAR(Contrast::ratio(Qt::black, Qt::white), 21.0, 0.01);
    EXPECT_NEAR(Contrast::ratio(QColor(0x77, 0x77, 0x77), Qt::white), 4.48, 0.01);
    EXPECT_DOUBLE_EQ(Contrast::ratio(Qt::red, Qt::red), 1.0);

    // White stays on the standard blue; on Cyberpunk's cyan and on Ink's white it turns black.
    const Palette standard = Palette::forTheme(AppTheme::standard);
    EXPECT_EQ(Contrast::readableOn(standard.accent, Qt::white), QColor(Qt::white));
    EXPECT_EQ(Contrast::readableOn(Palette::forTheme(AppTheme::cyberpunk).accent, Qt::white), QColor(Qt::black));
    EXPECT_EQ(Contrast::readableOn(Palette::forTheme(AppTheme::ink).accent, Qt::white), QColor(Qt::black));

    // A pale colour is shaded just enough; one that reads already is left as it is.
    const QColor amber = Palette::statusAmber();
    const QColor shaded = Contrast::readableShade(amber, QColor(0xe6, 0xe6, 0xea));
    EXPECT_GE(Contrast::ratio(shaded, QColor(0xe6, 0xe6, 0xea)), Contrast::kMinimumTextRatio);
    EXPECT_LT(Contrast::ratio(shaded, QColor(0xe6, 0xe6, 0xea)), Contrast::kMinimumTextRatio + 0.5);
    EXPECT_EQ(Contrast::readableShade(amber, standard.background), amber);
    EXPECT_EQ(Contrast::over(QColor(0, 0, 0, 128), Qt::white).red(), 127);
}

TEST(ContrastTest, TheLightThemesStatusColoursReadAsTextOnItsBackground)
{
    const Palette light = Palette::forTheme(AppTheme::light);
    for (const QColor& c : {light.red, light.orange, light.yellow, light.green, light.cyan, light.purple}) {
        EXPECT_GE(Contrast::ratio(c, light.background), Contrast::kMinimumTextRatio) << c.name().toStdString();
        // Text fixed to white is black on the light theme; it reads on these fills too.
        EXPECT_GE(Contrast::ratio(light.onTint(), c), Contrast::kMinimumTextRatio) << c.name().toStdString();
    }
}
